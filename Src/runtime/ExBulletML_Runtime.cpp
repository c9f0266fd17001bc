// Stand-in bodies: the interpreter work replaces this file.
#include "runtime/ExBulletML_Runtime.h"

#include "runtime/VecParamAllocator.h"

void ExBulletML_Runtime::destroy() {
    this->~ExBulletML_Runtime();
    BMLRuntimeAllocator::instance().release(this);
}

std::int32_t ExBulletML_Runtime::stop(std::int32_t flag) {
    if (flag != 0) currentNode_ = nullptr;
    return flag;
}

std::int32_t ExBulletML_Runtime::run() { return 0; }

void ExBulletML_Runtime::setup(BulletML_Node* node) {
    currentNode_ = node;
    startNode_ = node;
}

void ExBulletML_Runtime::restart() { currentNode_ = startNode_; }

void ExBulletML_Runtime::clear() {}

ExBulletML_Runtime* takeRuntimeFromPool() { return BMLRuntimeAllocator::instance().get(); }

void refillRuntimePool() { BMLRuntimeAllocator::instance().refill(); }

void releaseParamVector(VecParam* vector) { VecParamAllocator::instance().release(vector); }

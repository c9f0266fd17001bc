#include "objects/DSoundObjectAllocator.h"

#include <new>

#include "objects/DSoundObject.h"

DSoundObjectAllocator::DSoundObjectAllocator() : blocks_(kBlocks) {}

DSoundObjectAllocator::~DSoundObjectAllocator() { freeBlocks(); }

DSoundObjectAllocator& DSoundObjectAllocator::instance() {
    static DSoundObjectAllocator pool;
    return pool;
}

void DSoundObjectAllocator::prefill() {
    while (allocated_ < kBlocks) {
        blocks_.pushBack(::operator new(sizeof(DSoundObject), std::align_val_t{alignof(DSoundObject)}));
        ++allocated_;
    }
}

void* DSoundObjectAllocator::get() { return blocks_.popFront(); }

void DSoundObjectAllocator::release(void* block) {
    if (!block) return;
    // The queue holds every block the pool made: a full queue means a block
    // not made here, which is freed rather than lost.
    if (!blocks_.pushBack(block)) ::operator delete(block, std::align_val_t{alignof(DSoundObject)});
}

void DSoundObjectAllocator::freeBlocks() {
    while (void* block = blocks_.popFront()) {
        ::operator delete(block, std::align_val_t{alignof(DSoundObject)});
        --allocated_;
    }
}

#include "objects/SelectableObjectAllocator.h"

#include <new>

#include "objects/SelectableObject.h"
#include "services/DebugInfo.h"

SelectableObjectAllocator::SelectableObjectAllocator() : blocks_(kBlocks) {}

SelectableObjectAllocator::~SelectableObjectAllocator() { freeBlocks(); }

SelectableObjectAllocator& SelectableObjectAllocator::instance() {
    static SelectableObjectAllocator pool;
    return pool;
}

void SelectableObjectAllocator::fill() {
    while (allocated_ < kBlocks) {
        blocks_.pushBack(::operator new(sizeof(SelectableObject), std::align_val_t{alignof(SelectableObject)}));
        ++allocated_;
    }
}

void* SelectableObjectAllocator::get() {
    if (blocks_.empty()) {
        logLine("SelectableObjectAllocator::get() Pool is Empty!");
        return nullptr;
    }
    return blocks_.popBack();
}

void SelectableObjectAllocator::giveBack(void* block) {
    if (block) blocks_.pushBack(block);
}

void SelectableObjectAllocator::freeBlocks() {
    while (void* block = blocks_.popBack()) {
        ::operator delete(block, std::align_val_t{alignof(SelectableObject)});
        --allocated_;
    }
}

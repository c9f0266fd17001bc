// Stand-in bodies: the interpreter work replaces this file.
#include "runtime/VecParamAllocator.h"

VecParamAllocator& VecParamAllocator::instance() {
    static VecParamAllocator pool;
    return pool;
}

VecParam* VecParamAllocator::get() { return nullptr; }

void VecParamAllocator::refill() {}

void VecParamAllocator::release(VecParam*) {}

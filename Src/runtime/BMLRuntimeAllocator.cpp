// Stand-in bodies: the interpreter work replaces this file.
#include "runtime/BMLRuntimeAllocator.h"

#include <new>

BMLRuntimeAllocator& BMLRuntimeAllocator::instance() {
    static BMLRuntimeAllocator pool;
    return pool;
}

void BMLRuntimeAllocator::prefill() {}

ExBulletML_Runtime* BMLRuntimeAllocator::get() { return nullptr; }

void BMLRuntimeAllocator::refill() {}

// The stand-in hands out no blocks; a runtime that ends here came from the
// heap.
void BMLRuntimeAllocator::release(void* block) { ::operator delete(block); }

void BMLRuntimeAllocator::freeBlocks() {}

// The runtime pool as the objects use it. Stand-in of the interpreter work,
// which replaces it with the real pool behind the same signatures; this one
// holds no blocks and hands out nothing.
#pragma once
#include <cstddef>

class ExBulletML_Runtime;

class BMLRuntimeAllocator {
public:
    static BMLRuntimeAllocator& instance();

    void prefill();
    // A runtime, or null when the pool is empty.
    ExBulletML_Runtime* get();
    // Tops the ready stock up.
    void refill();
    // Gives a runtime's block back (after its destructor has run).
    void release(void* block);
    // Frees the blocks still held (release path).
    void freeBlocks();
};

// Stand-in for the object pool, until the objects work brings the real one
// (which replaces this file): the stand-in's objects come from the heap, so
// filling and freeing only count.
#pragma once
#include <cstdint>

class BulletObjectAllocator {
public:
    static BulletObjectAllocator& instance();
    void fill() { filled_ = true; }
    void freeBlocks() { filled_ = false; }
    void refill() {}

private:
    bool filled_ = false;
};

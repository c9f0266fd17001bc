// The pool of sound objects: 60 raw blocks the size of one DSoundObject,
// allocated at start-up and handed out first in, first out. An empty pool
// gives nothing, without a log line; blocks are freed only at shut-down.
#pragma once
#include <cstddef>

#include "services/BlockQueue.h"

class DSoundObjectAllocator {
public:
    static constexpr std::size_t kBlocks = 60;

    DSoundObjectAllocator();
    DSoundObjectAllocator(const DSoundObjectAllocator&) = delete;
    DSoundObjectAllocator& operator=(const DSoundObjectAllocator&) = delete;
    virtual ~DSoundObjectAllocator();

    static DSoundObjectAllocator& instance();

    // Allocates the blocks not yet allocated (once at start-up).
    void prefill();
    // The oldest free block, or null.
    void* get();
    // A block whose object's destructor has already run.
    void release(void* block);
    // Frees every free block (release path).
    void freeBlocks();

    std::size_t count() const { return blocks_.size(); }

private:
    BlockQueue<void> blocks_;
    std::size_t allocated_ = 0;
};

// The pool of menu entries: 500 raw blocks the size of one SelectableObject,
// handed out last in, first out. The caller constructs the object in the
// block. An empty pool logs "SelectableObjectAllocator::get() Pool is Empty!".
#pragma once
#include <cstddef>

#include "services/BlockQueue.h"

class SelectableObjectAllocator {
public:
    static constexpr std::size_t kBlocks = 500;

    SelectableObjectAllocator();
    SelectableObjectAllocator(const SelectableObjectAllocator&) = delete;
    SelectableObjectAllocator& operator=(const SelectableObjectAllocator&) = delete;
    virtual ~SelectableObjectAllocator();

    static SelectableObjectAllocator& instance();

    void fill();
    // The block at the back, or null after logging the empty line.
    void* get();
    void giveBack(void* block);
    // Frees every block still held (release path).
    void freeBlocks();

    std::size_t count() const { return blocks_.size(); }

private:
    BlockQueue<void> blocks_;
    std::size_t allocated_ = 0;
};

// A first-in first-out queue of block pointers in a ring of fixed capacity
// (the pool's block count), so taking and returning blocks never allocates.
#pragma once
#include <cstddef>
#include <memory>

class PoolQueue {
public:
    explicit PoolQueue(std::size_t capacity) : slots_(new void*[capacity]), capacity_(capacity) {}

    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    // False (and nothing stored) when full: a pool never holds more blocks
    // than it allocated.
    bool pushBack(void* block) {
        if (size_ == capacity_) return false;
        slots_[wrap(head_ + size_)] = block;
        ++size_;
        return true;
    }
    // The block `ahead` places behind the front (0: the front), or null.
    void* peek(std::size_t ahead) const { return ahead < size_ ? slots_[wrap(head_ + ahead)] : nullptr; }
    void* popFront() {
        if (size_ == 0) return nullptr;
        void* block = slots_[head_];
        head_ = wrap(head_ + 1);
        --size_;
        return block;
    }
    void* popBack() {
        if (size_ == 0) return nullptr;
        --size_;
        return slots_[wrap(head_ + size_)];
    }

private:
    // A slot index below twice the capacity brought into the ring (no
    // division: the pools take and give blocks many times a frame).
    std::size_t wrap(std::size_t index) const { return index < capacity_ ? index : index - capacity_; }

    std::unique_ptr<void*[]> slots_;
    std::size_t capacity_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

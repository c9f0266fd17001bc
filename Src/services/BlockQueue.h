// A double-ended queue of pointers with a fixed capacity set once: the pools'
// stocks. Pushing and popping never allocate, so steady play allocates
// nothing (a std::deque allocates and frees chunks as it wanders).
#pragma once
#include <cstddef>
#include <memory>

template <typename T>
class BlockQueue {
public:
    BlockQueue() = default;
    explicit BlockQueue(std::size_t capacity) { reserve(capacity); }

    // Sets the capacity (the queue must be empty).
    void reserve(std::size_t capacity) {
        slots_ = std::make_unique<T*[]>(capacity);
        capacity_ = capacity;
        head_ = 0;
        size_ = 0;
    }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    bool full() const { return size_ == capacity_; }

    // False (and nothing stored) when the queue is full.
    bool pushBack(T* item) {
        if (full()) return false;
        slots_[wrap(head_ + size_)] = item;
        ++size_;
        return true;
    }
    // The item `ahead` places behind the front (0: the front), or null.
    T* peek(std::size_t ahead) const { return ahead < size_ ? slots_[wrap(head_ + ahead)] : nullptr; }
    T* popFront() {
        if (empty()) return nullptr;
        T* item = slots_[head_];
        head_ = wrap(head_ + 1);
        --size_;
        return item;
    }
    T* popBack() {
        if (empty()) return nullptr;
        --size_;
        return slots_[wrap(head_ + size_)];
    }

private:
    // A slot index below twice the capacity brought into the ring (no
    // division: the pools take and give blocks many times a frame).
    std::size_t wrap(std::size_t index) const { return index < capacity_ ? index : index - capacity_; }

    std::unique_ptr<T*[]> slots_;
    std::size_t capacity_ = 0;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

// A stack with room for the usual nesting inside itself: a runtime's walk
// stacks live in the runtime's pool block, so pushing and popping never touch
// the heap until a script nests deeper than the inline room (then the stack
// moves to one heap array, which it keeps until it is destroyed).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

template <typename T, std::size_t Inline>
class RuntimeStack {
    static_assert(std::is_trivially_copyable_v<T>, "stack entries are copied as bytes");

public:
    RuntimeStack() = default;
    RuntimeStack(const RuntimeStack&) = delete;
    RuntimeStack& operator=(const RuntimeStack&) = delete;
    ~RuntimeStack() {
        if (data_ != inline_) ::operator delete(data_);
    }

    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    void clear() { size_ = 0; }
    void push(T value) {
        if (size_ == capacity_) grow();
        data_[size_++] = value;
    }
    // Callers check empty() first.
    T pop() { return data_[--size_]; }
    T top() const { return data_[size_ - 1]; }
    T operator[](std::size_t index) const { return data_[index]; }
    bool onHeap() const { return data_ != inline_; }

private:
    // Out of line and cold: callers push in hot walk steps, where the rare
    // growth would otherwise cost them saved registers on every call.
    [[gnu::noinline, gnu::cold]] void grow() {
        std::size_t capacity = capacity_ * 2;
        T* data = static_cast<T*>(::operator new(capacity * sizeof(T)));
        std::memcpy(data, data_, size_ * sizeof(T));
        if (data_ != inline_) ::operator delete(data_);
        data_ = data;
        capacity_ = capacity;
    }

    // The bookkeeping before the entries, so that a shallow stack's size and
    // top share one cache line.
    T* data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = Inline;
    T inline_[Inline];
};

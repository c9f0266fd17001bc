// A stack with room for the usual nesting in storage its owner gives it: a
// runtime's walk stacks live in the runtime's pool block, so pushing and
// popping never touch the heap until a script nests deeper than the inline
// room (then the stack moves to one heap array, which it keeps until it is
// destroyed). The bookkeeping is apart from the entries, so an owner can keep
// every stack's size and pointer together on one cache line and the entries,
// which are not written until pushed, further on.
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
    // `storage`: room for Inline entries, left unwritten until pushed.
    explicit RuntimeStack(T* storage) : data_(storage) {}
    RuntimeStack(const RuntimeStack&) = delete;
    RuntimeStack& operator=(const RuntimeStack&) = delete;
    ~RuntimeStack() {
        if (onHeap()) ::operator delete(data_);
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
    // Growth doubles the room, so only the inline storage has Inline.
    bool onHeap() const { return capacity_ != Inline; }

private:
    // Out of line and cold: callers push in hot walk steps, where the rare
    // growth would otherwise cost them saved registers on every call.
    [[gnu::noinline, gnu::cold]] void grow() {
        std::uint32_t capacity = capacity_ * 2;
        T* data = static_cast<T*>(::operator new(std::size_t{capacity} * sizeof(T)));
        std::memcpy(data, data_, std::size_t{size_} * sizeof(T));
        if (onHeap()) ::operator delete(data_);
        data_ = data;
        capacity_ = capacity;
    }

    static_assert(Inline > 0 && Inline <= 0x40000000u, "the room fits the 32-bit count when doubled");

    T* data_;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = Inline;
};

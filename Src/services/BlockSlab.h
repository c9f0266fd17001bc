// The blocks of a fixed pool carved from one allocation. A heap block per pool
// block writes the heap's bookkeeping into every page when the pool is filled,
// so the whole pool is resident from start-up; one region leaves the pages of
// blocks never handed out unwritten, and so not resident, unless its pool asks
// for them at start-up (populate). Blocks are never
// freed one by one: the region goes when the slab is reset or destroyed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/Memory.h"

// Under AddressSanitizer each block is followed by a poisoned gap, so an
// overrun from one block into the next is still caught as it was when every
// block was a heap allocation of its own.
#if defined(__SANITIZE_ADDRESS__)
#define VORLY_SLAB_REDZONES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLY_SLAB_REDZONES 1
#endif
#endif
#ifdef VORLY_SLAB_REDZONES
#include <sanitizer/asan_interface.h>
#endif

class BlockSlab {
public:
    BlockSlab() = default;
    BlockSlab(const BlockSlab&) = delete;
    BlockSlab& operator=(const BlockSlab&) = delete;
    BlockSlab(BlockSlab&& other) noexcept { *this = static_cast<BlockSlab&&>(other); }
    BlockSlab& operator=(BlockSlab&& other) noexcept {
        if (this != &other) {
            reset();
            region_ = other.region_;
            base_ = other.base_;
            stride_ = other.stride_;
            count_ = other.count_;
            other.region_ = nullptr;
            other.base_ = nullptr;
            other.count_ = 0;
        }
        return *this;
    }
    ~BlockSlab() { reset(); }

    // Room for `count` blocks of `size` bytes, each aligned to `align` (a
    // power of two), left unwritten. A former region is freed first.
    void allocate(std::size_t size, std::size_t align, std::size_t count) {
        reset();
        if (align < alignof(std::max_align_t)) align = alignof(std::max_align_t);
        stride_ = (size + kRedzone + align - 1) / align * align;
        // An ordinary heap block with room to round its start up to the
        // alignment: the heap's own aligned allocation asks for more than
        // the block it gives back, so a slab made again after a release of
        // the same size would not get the same, resident, memory back.
        region_ = static_cast<std::byte*>(::operator new(stride_ * count + (align - alignof(std::max_align_t))));
        const auto start = reinterpret_cast<std::uintptr_t>(region_);
        base_ = region_ + ((align - start % align) % align);
        count_ = count;
#ifdef VORLY_SLAB_REDZONES
        for (std::size_t i = 0; i < count; ++i) ASAN_POISON_MEMORY_REGION(base_ + i * stride_ + size, stride_ - size);
#endif
    }
    void reset() {
#ifdef VORLY_SLAB_REDZONES
        if (base_) ASAN_UNPOISON_MEMORY_REGION(base_, stride_ * count_);
#endif
        if (region_) ::operator delete(region_);
        region_ = nullptr;
        base_ = nullptr;
        count_ = 0;
    }

    // The pool is emptied with `blocksBack` of the slab's blocks given back:
    // all of them frees the region; fewer keeps it for the rest of the
    // process (the blocks still out stay valid) and leaves this slab empty.
    void release(std::size_t blocksBack) {
        if (!base_) return;
        if (blocksBack == count_) {
            reset();
            return;
        }
        static std::vector<BlockSlab>* kept = new std::vector<BlockSlab>();
        kept->push_back(static_cast<BlockSlab&&>(*this));
    }

    // Asks for the region to be backed by large pages. For a pool that hands
    // its blocks out first in, first out: each new block lies on a page last
    // used long ago, whose translation has left the processor's cache; a few
    // large pages stay in it. A large page becomes resident as a whole.
    void adviseLargePages() const {
        if (base_) ::adviseLargePages(base_, stride_ * count_);
    }

    // The region's pages made resident now (at start-up), so that the
    // frames that first hand its blocks out take no page faults.
    void populate() const {
        if (base_) ::populatePages(base_, stride_ * count_);
    }

    bool empty() const { return base_ == nullptr; }
    std::size_t count() const { return count_; }
    void* block(std::size_t index) const { return base_ + index * stride_; }
    // Whether `pointer` is the start of one of this slab's blocks.
    bool owns(const void* pointer) const {
        if (!base_ || !pointer) return false;
        const auto address = reinterpret_cast<std::uintptr_t>(pointer);
        const auto begin = reinterpret_cast<std::uintptr_t>(base_);
        return address >= begin && address < begin + stride_ * count_ && (address - begin) % stride_ == 0;
    }

private:
#ifdef VORLY_SLAB_REDZONES
    static constexpr std::size_t kRedzone = 32;
#else
    static constexpr std::size_t kRedzone = 0;
#endif
    // The heap block, and the first block's start inside it.
    std::byte* region_ = nullptr;
    std::byte* base_ = nullptr;
    std::size_t stride_ = 0;
    std::size_t count_ = 0;
};

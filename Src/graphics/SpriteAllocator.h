// The pool of sprites: 10,000 raw blocks the size of one Sprite, allocated
// once at start-up as one region whose pages are written only as blocks are
// used, and handed out first in, first out, plus a stock of
// sprites constructed ahead (topped up six at a time before drawing). An
// empty pool logs "SpriteAllocator EMPTY" and gives nothing; it never falls
// back to the heap. Blocks go back to the heap only at shut-down.
#pragma once
#include <cstddef>
#include <cstdint>

#include "services/BlockQueue.h"
#include "services/BlockSlab.h"

class Sprite;

class SpriteAllocator {
public:
    static constexpr std::size_t kBlocks = 10000;
    // The ready stock is topped up while it holds fewer than this.
    static constexpr std::size_t kReadyLimit = 5001;
    static constexpr int kRefillCount = 6;

    SpriteAllocator();
    SpriteAllocator(const SpriteAllocator&) = delete;
    SpriteAllocator& operator=(const SpriteAllocator&) = delete;

    // Never destroyed: sprites still held at exit go with the process.
    static SpriteAllocator& instance();

    // handedOut = 0; allocates the blocks onto the free store (a second fill
    // adds nothing beyond the pool's size).
    void fill();
    // The front block of the free store, or null after logging the empty line.
    void* get();
    // A sprite at (x, y) of that size with the texture rectangle as fractions
    // and the texture's size in texels: the front ready sprite, else one
    // constructed in a fresh block; null when the pool is empty.
    Sprite* make(float x, float y, float width, float height, float u0, float v0, float du, float dv,
                 float textureWidth, float textureHeight);
    // While the free store is not empty and fewer than 5,001 sprites are
    // ready: six more default sprites (the test is made once, before the six).
    void refill();
    // A sprite's destroy: the destructor, then its block to the back of the
    // free store.
    void release(Sprite* sprite);
    // Frees the free store's blocks and the ready sprites (release path); the
    // region goes when all its blocks were back, else it stays with them.
    void freeBlocks();

    std::size_t freeCount() const { return free_.size(); }
    std::size_t readyCount() const { return ready_.size(); }
    std::uint32_t handedOut() const { return handedOut_; }

private:
    BlockQueue<void> free_;
    BlockQueue<Sprite> ready_;
    std::uint32_t handedOut_ = 0;
    // Blocks allocated and not yet freed, wherever they are.
    std::size_t allocated_ = 0;
    BlockSlab slab_;
};

// The pool of script objects: 10,000 raw blocks the size of one BulletObject,
// allocated at start-up as one region whose pages are written only as blocks
// are used, and handed out first in, first out, plus a stock of
// objects constructed ahead (topped up a few a frame). An empty pool logs
// "BulletObjectAllocator EMPTY" and gives nothing; it never falls back to the
// heap.
#pragma once
#include <cstddef>
#include <cstdint>

#include "services/BlockQueue.h"
#include "services/BlockSlab.h"

class BulletObject;

class BulletObjectAllocator {
public:
    static constexpr std::size_t kBlocks = 10000;
    // The ready stock is topped up while it holds fewer than this.
    static constexpr std::size_t kReadyLimit = 3001;
    static constexpr int kRefillCount = 6;

    BulletObjectAllocator();
    BulletObjectAllocator(const BulletObjectAllocator&) = delete;
    BulletObjectAllocator& operator=(const BulletObjectAllocator&) = delete;
    // Frees every block it still holds.
    virtual ~BulletObjectAllocator();

    // Defined here: every object made and destroyed asks for the pool, and
    // an out-of-line call with its guard test costs more than the test alone.
    static BulletObjectAllocator& instance() {
        static BulletObjectAllocator pool;
        return pool;
    }

    // outstanding = 0; allocates the blocks into the raw stock.
    void fill();
    // A raw block (counted as outstanding even when there is none), or null
    // after logging the empty line.
    void* takeBlock();
    // A fresh object: from the ready stock, else constructed in a raw block.
    BulletObject* get();
    // Tops the ready stock up by six while it holds fewer than 3,001.
    void refill();
    // A block whose object's destructor has already run.
    void giveBack(void* block) {
        if (!block) return;
        --outstanding_;
        raw_.pushBack(block);
    }
    // Frees every block in both stocks (release path); objects in use are the
    // object manager's to destroy first. The region goes when all its blocks
    // were back; else it stays, and the blocks still out with it.
    void freeBlocks();

    std::size_t rawCount() const { return raw_.size(); }
    std::size_t readyCount() const { return ready_.size(); }
    std::int32_t outstanding() const { return outstanding_; }

private:
    BlockQueue<void> raw_;
    BlockQueue<BulletObject> ready_;
    std::int32_t outstanding_ = 0;
    // Blocks allocated and not yet freed, wherever they are.
    std::size_t allocated_ = 0;
    BlockSlab slab_;
};

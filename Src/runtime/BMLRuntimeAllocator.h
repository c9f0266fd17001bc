// The runtime pool: 10000 blocks the size of one runtime, allocated once by
// the game initialisation (prefill) as one region whose pages are written only
// as blocks are used, and a stock of runtimes already built in
// their blocks, topped up a few per frame so that taking one is a queue pop.
// Blocks are reused first in, first out and never go back to the heap until
// freeBlocks at shut-down. Main thread only.
#pragma once
#include <cstddef>

#include "runtime/PoolQueue.h"
#include "services/BlockSlab.h"

class ExBulletML_Runtime;

class BMLRuntimeAllocator {
public:
    static constexpr std::size_t kBlockCount = 10000;
    static constexpr std::size_t kRefillCount = 6;
    static constexpr std::size_t kReadyLimit = 5000;

    BMLRuntimeAllocator();
    virtual ~BMLRuntimeAllocator();

    // Never destroyed: runtimes still held or ready at exit go with the
    // process, as the vector pool's blocks do. Defined here: every runtime
    // taken and destroyed asks for the pool.
    static BMLRuntimeAllocator& instance() {
        static BMLRuntimeAllocator& pool = *new BMLRuntimeAllocator;
        return pool;
    }

    // Allocates the blocks into the raw queue (once; a second call adds none).
    void prefill();
    // The oldest ready runtime, else one built in a raw block, else null
    // (logged).
    ExBulletML_Runtime* get();
    // Six more ready runtimes while at most 5000 are ready.
    void refill();
    // A block whose runtime was destroyed goes to the back of the raw queue
    // (dropped when the queue is full: a block of an earlier fill, whose
    // memory stays with that fill's region).
    void release(void* block) {
        if (block) raw_.pushBack(block);
    }
    // Empties the raw queue (shut-down); the region is freed when every block
    // of it was there.
    void freeBlocks();

    std::size_t rawCount() const { return raw_.size(); }
    std::size_t readyCount() const { return ready_.size(); }

private:
    void* popBlock();

    PoolQueue raw_;
    PoolQueue ready_;
    BlockSlab slab_;
    bool filled_ = false;
};

// The parameter-vector pool: 20000 blocks of 64 bytes allocated when the
// program loads, as one region whose pages are written only as blocks are used (the static instance's constructor), a stock of cleared
// vectors topped up one per frame. Vectors come back uncleared and are
// cleared when taken from the raw queue again. First in, first out. Main
// thread only.
#pragma once
#include <cstddef>
#include <new>

#include "runtime/PoolQueue.h"
#include "script/VecParam.h"
#include "services/BlockSlab.h"

class VecParamAllocator {
public:
    static constexpr std::size_t kBlockCount = 20000;
    static constexpr std::size_t kReadyLimit = 1000;

    VecParamAllocator();
    virtual ~VecParamAllocator();

    // Built when the program loads, before the entry runs, and never
    // destroyed: its blocks go with the process, still reachable from here.
    // Defined here: every runtime made and destroyed asks for the pool.
    static VecParamAllocator& instance() {
        static VecParamAllocator& pool = *new VecParamAllocator;
        return pool;
    }

    // The oldest ready vector, else a cleared raw one, else null (logged).
    VecParam* get();
    // One more ready vector while at most 1000 are ready.
    void refill();
    void release(VecParam* vector) {
        // A full raw queue means the block was never this pool's: free it
        // rather than lose it (the pool's own blocks are never freed one by
        // one).
        if (vector && !raw_.pushBack(vector) && !slab_.owns(vector)) ::operator delete(vector);
    }

    std::size_t rawCount() const { return raw_.size(); }
    std::size_t readyCount() const { return ready_.size(); }

private:
    VecParam* popBlock();

    PoolQueue raw_;
    PoolQueue ready_;
    BlockSlab slab_;
};

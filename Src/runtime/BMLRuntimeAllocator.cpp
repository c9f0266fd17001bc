#include "runtime/BMLRuntimeAllocator.h"

#include <new>

#include "runtime/ExBulletML_Runtime.h"
#include "services/DebugInfo.h"
#include "services/Prefetch.h"

namespace {
// Blocks taken ahead of the one being taken whose cache lines are asked for.
constexpr std::size_t kPrefetchAhead = 4;
}
// Blocks start on cache-line boundaries: what every run reads (the walk
// position, the guards and the observer) is then the block's first line,
// and the hot bytes asked for ahead of a take are whole lines.
static_assert(kCacheLineBytes % alignof(ExBulletML_Runtime) == 0);

BMLRuntimeAllocator::BMLRuntimeAllocator() : raw_(kBlockCount), ready_(kBlockCount) {}

// Frees no block: freeBlocks does that at shut-down.
BMLRuntimeAllocator::~BMLRuntimeAllocator() = default;

void BMLRuntimeAllocator::prefill() {
    if (filled_) return;
    filled_ = true;
    slab_.allocate(sizeof(ExBulletML_Runtime), kCacheLineBytes, kBlockCount);
    slab_.adviseLargePages();
    // Runtimes are handed out in turn through the whole pool: every page is
    // used in play soon enough, and is better faulted in now than in a frame.
    slab_.populate();
    for (std::size_t i = 0; i < kBlockCount; ++i) raw_.pushBack(slab_.block(i));
}

void* BMLRuntimeAllocator::popBlock() {
    if (raw_.empty()) {
        logLine("BMLRuntimeAllocator EMPTY");
        return nullptr;
    }
    prefetchBlockForWriting(raw_.peek(kPrefetchAhead), ExBulletML_Runtime::kHotBytes);
    return raw_.popFront();
}

ExBulletML_Runtime* BMLRuntimeAllocator::get() {
    if (!ready_.empty()) {
        prefetchBlockForWriting(ready_.peek(kPrefetchAhead), ExBulletML_Runtime::kHotBytes);
        return static_cast<ExBulletML_Runtime*>(ready_.popFront());
    }
    void* block = popBlock();
    return block ? new (block) ExBulletML_Runtime : nullptr;
}

void BMLRuntimeAllocator::refill() {
    // Both conditions are tested once before the six: the stock may reach 5006.
    if (raw_.empty() || ready_.size() > kReadyLimit) return;
    for (std::size_t i = 0; i < kRefillCount; ++i) {
        void* block = popBlock();
        if (block) ready_.pushBack(new (block) ExBulletML_Runtime);
    }
}

void BMLRuntimeAllocator::freeBlocks() {
    std::size_t back = 0;
    while (void* block = raw_.popBack()) back += slab_.owns(block);
    slab_.release(back);
    filled_ = false;
}

ExBulletML_Runtime* takeRuntimeFromPool() { return BMLRuntimeAllocator::instance().get(); }

void refillRuntimePool() { BMLRuntimeAllocator::instance().refill(); }

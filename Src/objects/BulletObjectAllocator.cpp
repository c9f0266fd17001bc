#include "objects/BulletObjectAllocator.h"

#include <new>

#include "objects/BulletObject.h"
#include "services/DebugInfo.h"
#include "services/Prefetch.h"

namespace {
// Blocks taken ahead of the one being taken whose cache lines are asked for.
constexpr std::size_t kPrefetchAhead = 4;
}
// Blocks start on cache-line boundaries: every frame's walk reads an
// object's first two lines and the list link to the frame timers in its
// fifth, three lines, where a block placed anywhere spans four or five.
static_assert(kCacheLineBytes % alignof(BulletObject) == 0);

BulletObjectAllocator::BulletObjectAllocator() : raw_(kBlocks), ready_(kBlocks) {}

BulletObjectAllocator::~BulletObjectAllocator() { freeBlocks(); }

void BulletObjectAllocator::fill() {
    outstanding_ = 0;
    // A second fill adds nothing beyond the pool's size. Blocks of an earlier
    // fill still out count; a fill with the region still there adds none.
    if (allocated_ >= kBlocks || !slab_.empty()) return;
    const std::size_t count = kBlocks - allocated_;
    slab_.allocate(sizeof(BulletObject), kCacheLineBytes, count);
    slab_.adviseLargePages();
    // Blocks are handed out in turn through the whole pool: every page is
    // used in play soon enough, and is better faulted in now than in a frame.
    slab_.populate();
    for (std::size_t i = 0; i < count; ++i) raw_.pushBack(slab_.block(i));
    allocated_ += count;
}

void* BulletObjectAllocator::takeBlock() {
    ++outstanding_;
    if (raw_.empty()) {
        logLine("BulletObjectAllocator EMPTY");
        return nullptr;
    }
    prefetchBlockForWriting(raw_.peek(kPrefetchAhead), sizeof(BulletObject));
    return raw_.popFront();
}

BulletObject* BulletObjectAllocator::get() {
    if (!ready_.empty()) {
        prefetchBlockForWriting(ready_.peek(kPrefetchAhead), sizeof(BulletObject));
        return ready_.popFront();
    }
    void* block = takeBlock();
    return block ? new (block) BulletObject() : nullptr;
}

void BulletObjectAllocator::refill() {
    if (raw_.empty() || ready_.size() >= kReadyLimit) return;
    for (int i = 0; i < kRefillCount; ++i) {
        void* block = takeBlock();
        if (block) ready_.pushBack(new (block) BulletObject());
    }
}

void BulletObjectAllocator::freeBlocks() {
    std::size_t back = 0;
    while (BulletObject* object = ready_.popBack()) {
        object->~BulletObject();
        back += slab_.owns(object);
        --allocated_;
    }
    while (void* block = raw_.popBack()) {
        back += slab_.owns(block);
        --allocated_;
    }
    slab_.release(back);
}

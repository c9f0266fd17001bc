#include "objects/BulletObjectAllocator.h"

#include <new>

#include "objects/BulletObject.h"
#include "services/DebugInfo.h"
#include "services/Prefetch.h"

namespace {
// Blocks taken ahead of the one being taken whose cache lines are asked for.
constexpr std::size_t kPrefetchAhead = 4;
}

BulletObjectAllocator::BulletObjectAllocator() : raw_(kBlocks), ready_(kBlocks) {}

BulletObjectAllocator::~BulletObjectAllocator() { freeBlocks(); }

BulletObjectAllocator& BulletObjectAllocator::instance() {
    static BulletObjectAllocator pool;
    return pool;
}

void BulletObjectAllocator::fill() {
    outstanding_ = 0;
    // A second fill adds nothing beyond the pool's size.
    while (allocated_ < kBlocks) {
        raw_.pushBack(::operator new(sizeof(BulletObject), std::align_val_t{alignof(BulletObject)}));
        ++allocated_;
    }
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

void BulletObjectAllocator::giveBack(void* block) {
    if (!block) return;
    --outstanding_;
    raw_.pushBack(block);
}

void BulletObjectAllocator::freeBlocks() {
    while (BulletObject* object = ready_.popBack()) {
        object->~BulletObject();
        ::operator delete(object, std::align_val_t{alignof(BulletObject)});
        --allocated_;
    }
    while (void* block = raw_.popBack()) {
        ::operator delete(block, std::align_val_t{alignof(BulletObject)});
        --allocated_;
    }
}

#include "graphics/SpriteAllocator.h"

#include <new>

#include "graphics/Sprite.h"
#include "services/DebugInfo.h"

SpriteAllocator::SpriteAllocator() : free_(kBlocks), ready_(kBlocks) {}

SpriteAllocator& SpriteAllocator::instance() {
    static SpriteAllocator& pool = *new SpriteAllocator;
    return pool;
}

void SpriteAllocator::fill() {
    handedOut_ = 0;
    // Blocks of an earlier fill still out count; a fill with the region still
    // there adds none.
    if (allocated_ >= kBlocks || !slab_.empty()) return;
    const std::size_t count = kBlocks - allocated_;
    slab_.allocate(sizeof(Sprite), alignof(Sprite), count);
    for (std::size_t i = 0; i < count; ++i) free_.pushBack(slab_.block(i));
    allocated_ += count;
}

void* SpriteAllocator::get() {
    if (free_.empty()) {
        logLine("SpriteAllocator EMPTY");
        return nullptr;
    }
    ++handedOut_;
    return free_.popFront();
}

Sprite* SpriteAllocator::make(float x, float y, float width, float height, float u0, float v0, float du, float dv,
                              float textureWidth, float textureHeight) {
    Sprite* sprite = ready_.popFront();
    if (!sprite) {
        void* block = get();
        if (!block) return nullptr;
        sprite = new (block) Sprite();
    }
    sprite->setup(x, y, width, height, u0, v0, du, dv, textureWidth, textureHeight);
    return sprite;
}

void SpriteAllocator::refill() {
    if (free_.empty() || ready_.size() >= kReadyLimit) return;
    for (int i = 0; i < kRefillCount; ++i) {
        void* block = get();
        if (block) ready_.pushBack(new (block) Sprite());
    }
}

void SpriteAllocator::release(Sprite* sprite) {
    if (!sprite) return;
    sprite->~Sprite();
    if (handedOut_ > 0) --handedOut_;
    free_.pushBack(sprite);
}

void SpriteAllocator::freeBlocks() {
    std::size_t back = 0;
    while (Sprite* sprite = ready_.popBack()) {
        sprite->~Sprite();
        back += slab_.owns(sprite);
        --allocated_;
    }
    while (void* block = free_.popBack()) {
        back += slab_.owns(block);
        --allocated_;
    }
    slab_.release(back);
}

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
    while (allocated_ < kBlocks) {
        free_.pushBack(::operator new(sizeof(Sprite), std::align_val_t{alignof(Sprite)}));
        ++allocated_;
    }
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
    while (Sprite* sprite = ready_.popBack()) {
        sprite->~Sprite();
        ::operator delete(static_cast<void*>(sprite), std::align_val_t{alignof(Sprite)});
        --allocated_;
    }
    while (void* block = free_.popBack()) {
        ::operator delete(block, std::align_val_t{alignof(Sprite)});
        --allocated_;
    }
}

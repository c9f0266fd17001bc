#include "graphics/SpriteManager.h"

#include "graphics/D3DObject.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/Texture.h"
#include "services/Managers.h"

SpriteManager::~SpriteManager() {
    for (Sprite* sprite = first_; sprite;) {
        Sprite* next = sprite->nextInManager;
        sprite->destroy(0);
        sprite = next;
    }
    first_ = last_ = nullptr;
    spriteCount_ = 0;
    if (textOwner_ && texture_) texture_->setState(1);
    texture_.reset();
}

void SpriteManager::setTexture(const std::shared_ptr<Texture>& texture) {
    texture_ = texture;
    textureWidth_ = texture ? texture->getWidth() : 0.0f;
    textureHeight_ = texture ? texture->getHeight() : 0.0f;
}

bool SpriteManager::hasTexture() const { return texture_ && texture_->getD3DTexture(); }

Sprite* SpriteManager::createSprite(float x, float y, float width, float height, float u0, float v0, float du,
                                    float dv) {
    Sprite* sprite = SpriteAllocator::instance().make(x, y, width, height, u0, v0, du, dv, textureWidth_,
                                                      textureHeight_);
    if (!sprite) return nullptr;
    sprite->nextInManager = nullptr;
    if (last_) {
        last_->nextInManager = sprite;
    } else {
        first_ = sprite;
    }
    last_ = sprite;
    ++spriteCount_;
    sprite->setBlend(static_cast<std::uint8_t>(defaultBlend_));
    return sprite;
}

void SpriteManager::deactivateAll() {
    for (Sprite* sprite = first_; sprite; sprite = sprite->nextInManager) sprite->setActive(0);
}

void SpriteManager::rebuildLists() {
    if (!first_) return;
    counts_.fill(0);
    // First pass: dead sprites go, active ones are counted by key.
    std::uint32_t filed = 0;
    Sprite* previous = nullptr;
    for (Sprite* sprite = first_; sprite;) {
        Sprite* next = sprite->nextInManager;
        if (sprite->getState() != 0) {
            if (previous) {
                previous->nextInManager = next;
            } else {
                first_ = next;
            }
            if (last_ == sprite) last_ = previous;
            --spriteCount_;
            sprite->destroy(0);
        } else {
            previous = sprite;
            // A blend group above 7 has no key: filed nowhere.
            if (sprite->isActive() && sprite->getBlend() < Sprite::kBlendGroups) {
                ++counts_[std::size_t(sprite->getLayer()) * Sprite::kBlendGroups + sprite->getBlend()];
                ++filed;
            }
        }
        sprite = next;
    }
    std::uint32_t start = 0;
    for (std::uint32_t key = 0; key < kKeys; ++key) {
        starts_[key] = start;
        start += counts_[key];
    }
    if (filed_.size() < filed) filed_.resize(filed);
    // Second pass: each active sprite at the next place of its key's run.
    std::array<std::uint32_t, kKeys> next = starts_;
    for (Sprite* sprite = first_; sprite; sprite = sprite->nextInManager) {
        if (sprite->isActive() && sprite->getBlend() < Sprite::kBlendGroups)
            filed_[next[std::size_t(sprite->getLayer()) * Sprite::kBlendGroups + sprite->getBlend()]++] = sprite;
    }
}

std::uint32_t SpriteManager::filedCount(std::int32_t layer, std::int32_t blend) const {
    if (layer < 0 || layer >= Sprite::kLayers || blend < 0 || blend >= std::int32_t(Sprite::kBlendGroups)) return 0;
    return counts_[std::size_t(layer) * Sprite::kBlendGroups + std::size_t(blend)];
}

HRESULT SpriteManager::drawLayerBlend(std::int32_t layer, std::int32_t blend, SpriteManagerManager& batch) {
    const std::uint32_t count = filedCount(layer, blend);
    if (count == 0 || !hasTexture()) return S_OK;
    const std::size_t key = std::size_t(layer) * Sprite::kBlendGroups + std::size_t(blend);
    if (D3DObject* d3d = g_d3dObject) {
        // Bound every time; the id is forgotten at once because the mesh and
        // particle passes compare texture ids of another numbering, which a
        // sprite manager's id could match by chance.
        d3d->bindTexture(texture_->getD3DTexture(), id_);
        d3d->forgetBoundTexture();
        d3d->setBlendMode(blend);
    }
    return batch.drawBatch(count, filed_.data() + starts_[key]);
}

HRESULT SpriteManager::drawLayer(std::int32_t layer, SpriteManagerManager& batch) {
    if (!first_) return S_OK;
    for (std::uint8_t blend : kDrawnBlends) {
        const HRESULT hr = drawLayerBlend(layer, blend, batch);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

void SpriteManager::updateTextIfLock(std::uint32_t lock) {
    if (textOwner_ && texture_ && texture_->getUpdateLock() == lock) texture_->updateText();
}

void SpriteManager::copyTextIfLock(std::uint32_t lock) {
    if (textOwner_ && texture_ && texture_->getUpdateLock() == lock) texture_->copyFromSource();
}

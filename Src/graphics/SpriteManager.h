// The sprites that share one texture: created from the sprite pool in
// creation order, sorted each frame into 40 layers x 8 blend groups, drawn
// key by key through the sprite manager of managers' batch. Not a
// ResourceObject: id, name and state are plain fields the resource manager
// template reaches through its accessor set.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/ResourceManager.h"
#include "graphics/Sprite.h"
#include "platform/HResult.h"
#include "services/NamePool.h"

class SpriteManagerManager;
class Texture;

class SpriteManager {
public:
    static constexpr std::uint32_t kKeys = Sprite::kLayers * Sprite::kBlendGroups;  // 320
    // The blend groups a layer draws, in this order; 0, 1 and 4 are filed
    // but never drawn.
    static constexpr std::uint8_t kDrawnBlends[5] = {3, 5, 2, 6, 7};

    SpriteManager() = default;
    SpriteManager(const SpriteManager&) = delete;
    SpriteManager& operator=(const SpriteManager&) = delete;
    // Destroys its sprites; a text owner sets its texture's state to 1 so
    // that the texture manager lets it go after Present.
    virtual ~SpriteManager();

    // Binds the texture and reads its size (0 x 0 without one).
    void setTexture(const std::shared_ptr<Texture>& texture);
    const std::shared_ptr<Texture>& getTexture() const { return texture_; }
    float getTextureWidth() const { return textureWidth_; }
    float getTextureHeight() const { return textureHeight_; }

    // A pool sprite of the manager's texture (UVs as fractions), appended to
    // its sprites with the default blend group; null (nothing filed) when the
    // pool is empty.
    Sprite* createSprite(float x, float y, float width, float height, float u0, float v0, float du, float dv);
    void deactivateAll();
    // The per-frame sort: dead sprites go back to the pool, active ones are
    // filed under layer x 8 + blend in creation order; an empty manager
    // keeps last frame's lists.
    void rebuildLists();
    // One key's list through the batch; nothing when it is empty or the
    // manager has no texture.
    virtual HRESULT drawLayerBlend(std::int32_t layer, std::int32_t blend, SpriteManagerManager& batch);
    // Blend groups 3, 5, 2, 6, 7 of the layer, when the manager has sprites.
    HRESULT drawLayer(std::int32_t layer, SpriteManagerManager& batch);
    std::uint32_t getSpriteCount() const { return spriteCount_; }
    // The sprites filed this frame under a key.
    std::uint32_t filedCount(std::int32_t layer, std::int32_t blend) const;

    // Text textures: advanced only by a manager that owns its texture.
    void updateTextIfLock0() { updateTextIfLock(0); }
    void updateTextIfLock1() { updateTextIfLock(1); }
    void copyTextIfLock0() { copyTextIfLock(0); }
    void copyTextIfLock1() { copyTextIfLock(1); }

    std::uint32_t getId() const { return id_; }
    void setId(std::uint32_t id) { id_ = id; }
    NameHandle getName() const { return name_; }
    void setName(NameHandle name) { name_ = name; }
    bool nameEquals(NameHandle name) const { return name_ == name; }
    std::uint32_t getState() const { return state_; }
    void setState(std::uint32_t state) { state_ = state; }
    std::uint32_t getTextOwner() const { return textOwner_; }
    void setTextOwner(std::uint32_t owner) { textOwner_ = owner; }
    std::uint32_t isEnabled() const { return enabled_; }
    void setEnabled(std::uint32_t enabled) { enabled_ = enabled; }
    std::uint32_t isVisible() const { return visible_; }
    void setVisible(std::uint32_t visible) { visible_ = visible; }
    std::uint32_t getDefaultBlend() const { return defaultBlend_; }
    void setDefaultBlend(std::uint32_t blend) { defaultBlend_ = blend; }

private:
    void updateTextIfLock(std::uint32_t lock);
    void copyTextIfLock(std::uint32_t lock);
    bool hasTexture() const;

    std::shared_ptr<Texture> texture_;
    std::uint32_t defaultBlend_ = 3;
    std::uint32_t visible_ = 1;
    // Per key: how many are filed and where its run starts in filed_ (a
    // counting sort, so each key keeps creation order and the arrays keep
    // their capacity from frame to frame).
    std::array<std::uint32_t, kKeys> counts_{};
    std::array<std::uint32_t, kKeys> starts_{};
    std::vector<Sprite*> filed_;
    float textureWidth_ = 0.0f, textureHeight_ = 0.0f;
    std::uint32_t id_ = 0;
    NameHandle name_ = 0;
    std::uint32_t enabled_ = 1;
    std::uint32_t state_ = 0;
    std::uint32_t textOwner_ = 0;
    // Every sprite, in creation order (an intrusive list through the sprites).
    Sprite* first_ = nullptr;
    Sprite* last_ = nullptr;
    std::uint32_t spriteCount_ = 0;
};

// The template reaches a sprite manager's id, name and state as plain fields.
template <>
struct ResourceAccess<SpriteManager> {
    static std::uint32_t tag(SpriteManager& r) { return r.getId(); }
    static void setTag(SpriteManager& r, std::uint32_t tag) { r.setId(tag); }
    static bool nameEquals(SpriteManager& r, const NameHandle& name) { return r.nameEquals(name); }
    static void setName(SpriteManager& r, const NameHandle& name) { r.setName(name); }
    static NameHandle name(SpriteManager& r) { return r.getName(); }
    static std::uint32_t state(SpriteManager& r) { return r.getState(); }
    static void setState(SpriteManager& r, std::uint32_t state) { r.setState(state); }
};

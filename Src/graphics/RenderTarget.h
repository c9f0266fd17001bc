// A place the frame can be drawn into: the device's back buffer (mode 1), or
// a texture with its own depth surface whose picture a display sprite shows
// (mode 0, the effect target; mode 2, the full-frame target).
//
// The texture's sprite manager is kept out of the sprite managers' table, so
// that only the target's own draw shows it; it stays in their name cache, so
// a reset finds it again.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxResource.h"
#include "services/ResourceObject.h"

class Sprite;
class SpriteManager;
class Texture;

// What a render target reads of the device object.
struct RenderTargetDevice {
    std::uint32_t backBufferWidth = 0;
    std::uint32_t backBufferHeight = 0;
    D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
    D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
    bool useDepthStencil = true;
    // The virtual screen the display sprites' places are given in.
    float virtualWidth = 640.0f;
    float virtualHeight = 480.0f;
};

class RenderTarget : public ResourceObject {
public:
    static constexpr std::uint32_t kModeEffect = 0;
    static constexpr std::uint32_t kModeBackBuffer = 1;
    static constexpr std::uint32_t kModeFull = 2;

    explicit RenderTarget(const RenderTargetDevice& device);
    ~RenderTarget() override;

    // Forwards the flag to the display sprite (when there is one) and keeps
    // flag != 0 as its own active flag; returns the flag.
    std::int32_t setActive(std::int32_t flag) override;

    HRESULT configure(std::uint32_t width, std::uint32_t height, D3DFORMAT colourFormat, D3DFORMAT depthFormat,
                      std::uint32_t mode);
    HRESULT setup();
    // Answers E_FAIL with no device call while the target has no colour
    // surface (released, or a setup after a reset failed).
    HRESULT select();
    // Draws the display sprite's layers; nothing without a sprite manager.
    HRESULT draw();
    // Lets go of the device surfaces (before a device reset or destruction).
    HRESULT release();
    HRESULT detachSprites();
    // Mode 0 with a display sprite: on, the whole 640 x 480 screen shows
    // texels 0..512 x 0..480; off, the play field (140, 0) 360 x 480 shows
    // texels 140..500. Otherwise only the flag is kept.
    void setFullView(std::uint32_t flag);
    void setDisplayBlendMode(std::uint32_t mode) { displayBlendMode_ = mode; }
    void setColor(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        colorA_ = a;
        colorR_ = r;
        colorG_ = g;
        colorB_ = b;
    }
    void setSpriteTargetIndex(std::uint32_t index);
    bool hasSurfaces() const { return colour_.get() != nullptr; }

    std::uint32_t getMode() const { return mode_; }
    std::uint32_t getWidth() const { return width_; }
    std::uint32_t getHeight() const { return height_; }
    GfxSurface* colourSurface() const { return colour_.get(); }
    GfxSurface* depthSurface() const { return depth_.get(); }
    Sprite* getSprite() const { return sprite_; }
    const std::shared_ptr<SpriteManager>& getSpriteManager() const { return spriteManager_; }
    const std::shared_ptr<Texture>& getTexture() const { return texture_; }
    std::uint32_t getFullView() const { return fullView_; }
    std::uint32_t getDisplayBlendMode() const { return displayBlendMode_; }
    // The script layer's names for the display sprite's blend mode.
    void setColorMode(std::uint32_t mode) { setDisplayBlendMode(mode); }

private:
    HRESULT setupTexture();
    float deviceX(float x) const;
    float deviceY(float y) const;

    RenderTargetDevice device_;
    GfxRef<GfxSurface> colour_;
    GfxRef<GfxSurface> depth_;
    Sprite* sprite_ = nullptr;
    std::shared_ptr<SpriteManager> spriteManager_;
    std::shared_ptr<Texture> texture_;
    std::uint32_t width_ = 256;
    std::uint32_t height_ = 256;
    std::uint32_t mode_ = kModeEffect;
    D3DFORMAT colourFormat_ = D3DFMT_A8R8G8B8;
    D3DFORMAT depthFormat_ = D3DFMT_D16;
    std::uint32_t fullView_ = 0;
    std::uint32_t displayBlendMode_ = 2;
    std::uint32_t colorA_ = 255, colorR_ = 255, colorG_ = 255, colorB_ = 255;
};

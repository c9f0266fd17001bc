// The render state every draw call of the frame shares: the blend mode of
// each texture stage with a cache that sets only what changes, the texture
// bound on the current stage, the full-scene antialiasing switch, fog with
// timed changes, the two ambient colours (ordinary passes and effect pass),
// the one directional light, and the table of render targets.
//
// The first base of the device object (D3DObject), which answers the device
// questions below.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "graphics/FogInfo.h"
#include "graphics/RenderTarget.h"
#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxTypes.h"

class RenderManager {
public:
    RenderManager();
    virtual ~RenderManager();
    RenderManager(const RenderManager&) = delete;
    RenderManager& operator=(const RenderManager&) = delete;

    // Blend modes: 1 alpha blend of the texture alone, 2 additive, 3 alpha
    // blend modulated by the vertex colour (the sprite default), 4
    // subtractive, 5 colour added, 6 opaque, 7 plain additive; any other value
    // turns blending off.
    HRESULT setBlendMode(std::int32_t mode);
    HRESULT bindTexture(GfxTexture* texture, std::uint32_t textureId);
    std::uint32_t getBoundTextureId() const { return boundTextureId_; }
    void forgetBoundTexture() { boundTextureId_ = 0; }
    // The game reset's name for forgetting the bound texture.
    void invalidateStateCache() { forgetBoundTexture(); }
    std::uint32_t setMultiSampleAntialias(std::uint32_t value);

    HRESULT setFog(float start, float end, D3DCOLOR colour);
    void changeFog(float start, float end, D3DCOLOR colour, std::int32_t frames);
    void stepFog();
    void applyFog() { fog_.reapply(); }

    void setAmbient(float a, float r, float g, float b, std::int32_t which);
    void changeAmbient(float a, float r, float g, float b, std::int32_t frames, std::int32_t which);
    // The script commands' name for changeAmbient.
    void changeLight(float a, float r, float g, float b, std::int32_t frames, std::int32_t which) {
        changeAmbient(a, r, g, b, frames, which);
    }
    void setLight(std::int32_t num, float a, float r, float g, float b, float x, float y, float z);
    void changeLightColor(std::int32_t num, float a, float r, float g, float b, float x, float y, float z,
                          std::int32_t frames);
    // The script commands' name for changeLightColor.
    void changeLightDirection(std::int32_t num, float a, float r, float g, float b, float x, float y, float z,
                              std::int32_t frames) {
        changeLightColor(num, a, r, g, b, x, y, z, frames);
    }
    void clearLightChange();
    void resetLighting();
    void restoreLighting();
    HRESULT updateLighting();
    void beginEffectLighting();
    void endEffectLighting();

    HRESULT createRenderTarget(std::uint32_t index, std::uint32_t width, std::uint32_t height, std::uint32_t mode);
    // Null when there is none (the lookup leaves an empty entry, as the
    // walks below skip).
    RenderTarget* getRenderTarget(std::uint32_t index);
    // The same without leaving an entry: for indices that come from scripts,
    // which may name any 32-bit number.
    RenderTarget* findRenderTarget(std::uint32_t index) const {
        const auto found = targets_.find(index);
        return found == targets_.end() ? nullptr : found->second.get();
    }
    HRESULT selectRenderTarget(std::uint32_t index);
    HRESULT drawRenderTarget(std::uint32_t index);
    HRESULT setRenderTargetActive(std::uint32_t index, std::int32_t flag);
    HRESULT releaseRenderTargets();
    HRESULT restoreRenderTargets();
    // True while the effect target (mode 0) is the selected one: virtual
    // units are then its texels.
    bool isDrawingIntoEffectTarget() const { return drawingIntoEffectTarget_; }

    // What tests and the frame read.
    std::int32_t cachedBlendMode(std::uint32_t stage) const { return blendCache_.at(stage); }
    const FogInfo& currentFog() const { return fog_; }
    bool fogChanging() const { return fogChanging_ != 0; }
    const D3DLIGHT9& light() const { return light_; }
    bool lightInUse() const { return lightInUse_ != 0; }
    const std::array<float, 4>& ambient(std::int32_t which) const { return ambient_[which == 0 ? 0 : 1]; }

protected:
    // The device object's answers.
    virtual const D3DCAPS9& adapterCaps() const = 0;
    virtual std::uint32_t getMultiSampleLevel() const = 0;
    virtual RenderTargetDevice renderTargetDevice() const = 0;

    // Drops every render target (the device object's destruction).
    void destroyRenderTargets() { targets_.clear(); }

private:
    struct AmbientChange {
        std::array<float, 4> target{};
        std::array<float, 4> step{};
        std::int32_t frames = 0;
        std::uint32_t changing = 0;
    };

    void applyAmbient0();
    void stepAmbient(std::uint32_t which);
    void stepLight();

    std::map<std::uint32_t, std::unique_ptr<RenderTarget>> targets_;
    std::array<std::int32_t, 8> blendCache_{};
    std::uint32_t boundTextureId_ = 0;
    std::uint32_t antialias_ = 0;
    std::uint32_t currentStage_ = 0;
    FogInfo fog_;
    FogInfo fogTarget_;
    FogInfo fogStep_;
    D3DLIGHT9 light_;
    // The direction last given to setLight, unnormalised.
    float lightDirX_ = 0.0f, lightDirY_ = 0.0f, lightDirZ_ = 0.0f;
    D3DCOLORVALUE lightTarget_;
    D3DCOLORVALUE lightStep_;
    std::int32_t lightFrames_ = 0;
    // Ambient 0 (ordinary passes) and 1 (effect pass), as a, r, g, b.
    std::array<std::array<float, 4>, 2> ambient_{{{0.0f, 255.0f, 255.0f, 255.0f}, {0.0f, 255.0f, 255.0f, 255.0f}}};
    std::array<AmbientChange, 2> ambientChange_;
    std::uint32_t lightChanging_ = 0;
    std::uint32_t fogChanging_ = 0;
    std::int32_t fogFrames_ = 0;
    std::uint32_t lightInUse_ = 0;
    bool drawingIntoEffectTarget_ = false;
};

#include "graphics/RenderManager.h"

#include <algorithm>

#include "graphics/D3DDevice.h"
#include "platform/gfx/D3DXMath.h"
#include "services/DebugInfo.h"

namespace {
constexpr const char* kSource = "RenderManager";

void renderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    if (GfxDevice* device = g_d3dDevice) device->setRenderState(state, value);
}

D3DLIGHT9 defaultLight() {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Range = 0.0f;
    return light;
}
}  // namespace

RenderManager::RenderManager() : light_(defaultLight()) {}

RenderManager::~RenderManager() = default;

// ---------------------------------------------------------------------------
// Blend modes

namespace {
// The stage states of the three kinds of rows.
void selectTexture(GfxDevice* device, std::uint32_t stage, bool alphaToo) {
    device->setTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->setTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    if (!alphaToo) return;
    device->setTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->setTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
}

void modulate(GfxDevice* device, std::uint32_t stage, D3DTEXTUREOP colourOp) {
    device->setTextureStageState(stage, D3DTSS_COLOROP, colourOp);
    device->setTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->setTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->setTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->setTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->setTextureStageState(stage, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

void blendRow(GfxDevice* device, std::uint32_t enable, D3DBLENDOP op, D3DBLEND source, D3DBLEND destination) {
    device->setRenderState(D3DRS_ALPHABLENDENABLE, enable);
    device->setRenderState(D3DRS_BLENDOP, op);
    device->setRenderState(D3DRS_SRCBLEND, source);
    device->setRenderState(D3DRS_DESTBLEND, destination);
}
}  // namespace

HRESULT RenderManager::setBlendMode(std::int32_t mode) {
    GfxDevice* device = g_d3dDevice;
    // Without a device nothing is set, so the cache stays as the device is.
    if (!device || currentStage_ >= blendCache_.size()) return S_OK;
    std::int32_t previous = blendCache_[currentStage_];
    if (mode == previous) return S_OK;
    blendCache_[currentStage_] = mode;
    const std::uint32_t stage = currentStage_;

    // Modes 1, 2 and 3 share blending on, ADD and SRCALPHA: between them only
    // what differs is set.
    if (mode == 1 && previous == 3) {
        selectTexture(device, stage, true);
        return S_OK;
    }
    if (mode == 1 && previous == 2) {
        device->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        selectTexture(device, stage, true);
        return S_OK;
    }
    if (mode == 2 && previous == 1) {
        device->setRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        modulate(device, stage, D3DTOP_MODULATE);
        return S_OK;
    }
    if (mode == 3 && previous == 2) {
        device->setRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        return S_OK;
    }
    if (mode == 3 && previous == 1) {
        modulate(device, stage, D3DTOP_MODULATE);
        return S_OK;
    }

    switch (mode) {
        case 1:
            blendRow(device, 1, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            selectTexture(device, stage, true);
            break;
        case 2:
            blendRow(device, 1, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
            modulate(device, stage, D3DTOP_MODULATE);
            break;
        case 3:
            blendRow(device, 1, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            modulate(device, stage, D3DTOP_MODULATE);
            break;
        case 4:
            blendRow(device, 1, D3DBLENDOP_REVSUBTRACT, D3DBLEND_SRCALPHA, D3DBLEND_ONE);
            modulate(device, stage, D3DTOP_MODULATE);
            break;
        case 5:
            blendRow(device, 1, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            modulate(device, stage, D3DTOP_ADD);
            break;
        case 6:
            // Opaque: the blend factors and the alpha operations stay as the
            // previous mode left them.
            device->setRenderState(D3DRS_ALPHABLENDENABLE, 0);
            selectTexture(device, stage, false);
            break;
        case 7:
            blendRow(device, 1, D3DBLENDOP_ADD, D3DBLEND_ONE, D3DBLEND_ONE);
            modulate(device, stage, D3DTOP_MODULATE);
            break;
        default:
            blendRow(device, 0, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            selectTexture(device, stage, false);
            break;
    }
    return S_OK;
}

HRESULT RenderManager::bindTexture(GfxTexture* texture, std::uint32_t textureId) {
    GfxDevice* device = g_d3dDevice;
    // Without a device nothing is bound, so nothing is remembered either.
    if (!device) return E_FAIL;
    boundTextureId_ = textureId;
    return device->setTexture(currentStage_, texture);
}

std::uint32_t RenderManager::setMultiSampleAntialias(std::uint32_t value) {
    if (value != antialias_) {
        antialias_ = value;
        if (getMultiSampleLevel() != 0) renderState(D3DRS_MULTISAMPLEANTIALIAS, value);
    }
    return antialias_;
}

// ---------------------------------------------------------------------------
// Fog

HRESULT RenderManager::setFog(float start, float end, D3DCOLOR colour) {
    // Without vertex fog the fog stays off; that is no failure of the caller.
    fog_.enable(adapterCaps(), start, end, colour);
    return S_OK;
}

void RenderManager::changeFog(float start, float end, D3DCOLOR colour, std::int32_t frames) {
    if (frames == 0) frames = 1;
    fogFrames_ = frames;
    fogTarget_.set(start, end, colour);
    fogChanging_ = 1;
    const float n = static_cast<float>(frames);
    fogStep_.start = (fogTarget_.start - fog_.start) / n;
    fogStep_.end = (fogTarget_.end - fog_.end) / n;
    fogStep_.a = (fogTarget_.a - fog_.a) / n;
    fogStep_.r = (fogTarget_.r - fog_.r) / n;
    fogStep_.g = (fogTarget_.g - fog_.g) / n;
    fogStep_.b = (fogTarget_.b - fog_.b) / n;
}

void RenderManager::stepFog() {
    if (!fogChanging_) return;
    --fogFrames_;
    if (fogFrames_ < 0) return;
    if (fogFrames_ == 0) {
        fog_.enable(adapterCaps(), fogTarget_.start, fogTarget_.end, fogTarget_.colour);
        fogChanging_ = 0;
        return;
    }
    fog_.start += fogStep_.start;
    fog_.end += fogStep_.end;
    fog_.a += fogStep_.a;
    fog_.r += fogStep_.r;
    fog_.g += fogStep_.g;
    fog_.b += fogStep_.b;
    fog_.apply();
}

// ---------------------------------------------------------------------------
// Ambient and light

void RenderManager::applyAmbient0() {
    GfxDevice* device = g_d3dDevice;
    if (!device) return;
    const std::array<float, 4>& c = ambient_[0];
    HRESULT result = device->setRenderState(D3DRS_AMBIENT, packColor(c[0], c[1], c[2], c[3]));
    if (FAILED(result)) logFailure(kSource, 858, result);
}

void RenderManager::setAmbient(float a, float r, float g, float b, std::int32_t which) {
    ambient_[which == 0 ? 0 : 1] = {a, r, g, b};
    if (which == 0) applyAmbient0();
}

void RenderManager::changeAmbient(float a, float r, float g, float b, std::int32_t frames, std::int32_t which) {
    const std::uint32_t index = which == 0 ? 0 : 1;
    if (frames == 0) frames = 1;
    AmbientChange& change = ambientChange_[index];
    change.target = {a, r, g, b};
    for (int i = 0; i < 4; ++i) {
        change.step[i] = (change.target[i] - ambient_[index][i]) / static_cast<float>(frames);
    }
    change.frames = frames;
    change.changing = 1;
}

void RenderManager::stepAmbient(std::uint32_t which) {
    AmbientChange& change = ambientChange_[which];
    if (!change.changing) return;
    --change.frames;
    if (change.frames < 0) return;
    if (change.frames == 0) {
        ambient_[which] = change.target;
        change.changing = 0;
    } else {
        for (int i = 0; i < 4; ++i) ambient_[which][i] += change.step[i];
    }
    // Ambient 1 is only stored: the effect pass applies it.
    if (which == 0) applyAmbient0();
}

void RenderManager::setLight(std::int32_t, float a, float r, float g, float b, float x, float y, float z) {
    light_ = D3DLIGHT9{};
    light_.Type = D3DLIGHT_DIRECTIONAL;
    light_.Diffuse = {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
    lightDirX_ = x;
    lightDirY_ = y;
    lightDirZ_ = z;
    D3DXVECTOR3 direction(x, y, z);
    D3DXVec3Normalize(&direction, &direction);
    light_.Direction = direction;
    lightInUse_ = 1;
    GfxDevice* device = g_d3dDevice;
    if (!device) return;
    HRESULT result = device->setLight(0, &light_);
    if (FAILED(result)) logFailure(kSource, 718, result);
    result = device->lightEnable(0, 1);
    if (FAILED(result)) logFailure(kSource, 721, result);
}

void RenderManager::changeLightColor(std::int32_t, float a, float r, float g, float b, float, float, float,
                                     std::int32_t frames) {
    if (frames == 0) frames = 1;
    lightTarget_ = {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
    const float n = static_cast<float>(frames);
    lightStep_ = {(lightTarget_.r - light_.Diffuse.r) / n, (lightTarget_.g - light_.Diffuse.g) / n,
                  (lightTarget_.b - light_.Diffuse.b) / n, (lightTarget_.a - light_.Diffuse.a) / n};
    lightFrames_ = frames;
    lightChanging_ = 1;
}

void RenderManager::stepLight() {
    if (!lightChanging_) return;
    --lightFrames_;
    if (lightFrames_ < 0) return;
    int line;
    if (lightFrames_ == 0) {
        light_.Diffuse = lightTarget_;
        lightChanging_ = 0;
        line = 812;
    } else {
        light_.Diffuse.r += lightStep_.r;
        light_.Diffuse.g += lightStep_.g;
        light_.Diffuse.b += lightStep_.b;
        light_.Diffuse.a += lightStep_.a;
        line = 821;
    }
    if (GfxDevice* device = g_d3dDevice) {
        HRESULT result = device->setLight(0, &light_);
        if (FAILED(result)) logFailure(kSource, line, result);
    }
}

void RenderManager::clearLightChange() {
    lightChanging_ = 0;
    ambientChange_[0].changing = 0;
    ambientChange_[1].changing = 0;
    fogChanging_ = 0;
    ambientChange_[0].step = {};
    ambientChange_[1].step = {};
}

void RenderManager::resetLighting() {
    light_ = defaultLight();
    GfxDevice* device = g_d3dDevice;
    if (device && lightInUse_) device->setLight(0, &light_);
    if (device) device->lightEnable(0, 0);
    clearLightChange();
    setAmbient(ambient_[0][0], ambient_[0][1], ambient_[0][2], ambient_[0][3], 0);
    renderState(D3DRS_LIGHTING, 1);
    renderState(D3DRS_DITHERENABLE, 1);
}

void RenderManager::restoreLighting() {
    if (GfxDevice* device = g_d3dDevice) {
        if (lightInUse_) {
            device->setLight(0, &light_);
            device->lightEnable(0, 1);
        } else {
            device->lightEnable(0, 0);
        }
    }
    setAmbient(ambient_[0][0], ambient_[0][1], ambient_[0][2], ambient_[0][3], 0);
    renderState(D3DRS_LIGHTING, 1);
    renderState(D3DRS_DITHERENABLE, 1);
}

HRESULT RenderManager::updateLighting() {
    stepAmbient(0);
    stepAmbient(1);
    stepLight();
    return S_OK;
}

void RenderManager::beginEffectLighting() {
    const std::array<float, 4>& c = ambient_[1];
    renderState(D3DRS_AMBIENT, packColor(c[0], c[1], c[2], c[3]));
    if (GfxDevice* device = g_d3dDevice; device && lightInUse_) device->lightEnable(0, 0);
}

void RenderManager::endEffectLighting() {
    const std::array<float, 4>& c = ambient_[0];
    renderState(D3DRS_AMBIENT, packColor(c[0], c[1], c[2], c[3]));
    if (GfxDevice* device = g_d3dDevice; device && lightInUse_) device->lightEnable(0, 1);
}

// ---------------------------------------------------------------------------
// Render targets

namespace {
std::uint32_t fullTargetSide(std::uint32_t backBufferSide) {
    std::uint32_t side = 1024;
    while (side < backBufferSide && side < 0x80000000u) side <<= 1;
    return side;
}
}  // namespace

HRESULT RenderManager::createRenderTarget(std::uint32_t index, std::uint32_t width, std::uint32_t height,
                                          std::uint32_t mode) {
    targets_.erase(index);
    const RenderTargetDevice device = renderTargetDevice();
    auto target = std::make_unique<RenderTarget>(device);
    if (mode == RenderTarget::kModeBackBuffer) {
        target->configure(device.backBufferWidth, device.backBufferHeight, device.backBufferFormat,
                          device.depthFormat, RenderTarget::kModeBackBuffer);
        RenderTarget* stored = (targets_[index] = std::move(target)).get();
        stored->setup();
        return stored->select();
    }
    const std::uint32_t storedMode = mode == RenderTarget::kModeFull ? RenderTarget::kModeFull
                                                                     : RenderTarget::kModeEffect;
    if (storedMode == RenderTarget::kModeFull) {
        // The full-frame target holds the whole back buffer: the smallest
        // power of two at least as large as each side, never below 1024.
        width = std::max(width, fullTargetSide(device.backBufferWidth));
        height = std::max(height, fullTargetSide(device.backBufferHeight));
    }
    if (adapterCaps().TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) height = width;
    RenderTarget* stored = (targets_[index] = std::move(target)).get();
    HRESULT result = stored->configure(width, height, device.backBufferFormat, device.depthFormat, storedMode);
    if (SUCCEEDED(result)) result = stored->setup();
    if (FAILED(result)) {
        targets_.erase(index);
        return result;
    }
    stored->setSpriteTargetIndex(index);
    return S_OK;
}

RenderTarget* RenderManager::getRenderTarget(std::uint32_t index) { return targets_[index].get(); }

HRESULT RenderManager::selectRenderTarget(std::uint32_t index) {
    RenderTarget* target = getRenderTarget(index);
    if (!target) return E_FAIL;
    const HRESULT result = target->select();
    if (SUCCEEDED(result)) drawingIntoEffectTarget_ = target->getMode() == RenderTarget::kModeEffect;
    return result;
}

HRESULT RenderManager::drawRenderTarget(std::uint32_t index) {
    RenderTarget* target = getRenderTarget(index);
    if (!target) return E_FAIL;
    target->draw();
    return S_OK;
}

HRESULT RenderManager::setRenderTargetActive(std::uint32_t index, std::int32_t flag) {
    RenderTarget* target = getRenderTarget(index);
    if (!target) return E_FAIL;
    target->setActive(flag);
    return S_OK;
}

HRESULT RenderManager::releaseRenderTargets() {
    // The device's own selection would keep a texture target alive through
    // the reset: the back buffer is selected again first.
    for (auto& [index, target] : targets_) {
        if (target && target->getMode() == RenderTarget::kModeBackBuffer && target->hasSurfaces()) {
            target->select();
            break;
        }
    }
    for (auto& [index, target] : targets_) {
        if (target) target->release();
    }
    // A released target's texture may have been the one bound.
    forgetBoundTexture();
    drawingIntoEffectTarget_ = false;
    return S_OK;
}

HRESULT RenderManager::restoreRenderTargets() {
    for (auto& [index, target] : targets_) {
        if (!target) continue;
        target->setup();
        target->detachSprites();
        target->setSpriteTargetIndex(index);
    }
    return S_OK;
}

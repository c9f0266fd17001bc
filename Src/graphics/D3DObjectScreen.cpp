// The virtual screen: conversions, viewports, clears, the debug font, texture
// memory and the state modes.
#include <cmath>
#include <cstdint>

#include "graphics/D3DObject.h"
#include "platform/gfx/GfxDevice.h"
#include "services/DebugInfo.h"

namespace {
// Products and quotients in extended precision, rounded to float once.
float scale(long double value, long double numerator, long double denominator) {
    return static_cast<float>(numerator * value / denominator);
}

// A converted coordinate truncated toward zero; a negative one is no place on
// the device and becomes 0 for the unsigned viewport fields.
std::uint32_t viewportValue(float value) {
    const float truncated = std::trunc(value);
    return truncated > 0.0f ? static_cast<std::uint32_t>(truncated) : 0u;
}

std::int32_t rectValue(float value) {
    const float truncated = std::trunc(value);
    if (!(truncated >= -2147483648.0f)) return INT32_MIN;
    if (truncated >= 2147483648.0f) return INT32_MAX;
    return static_cast<std::int32_t>(truncated);
}

D3DCOLOR clearColour(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return ((red & 0xFF) << 16) | ((green & 0xFF) << 8) | (blue & 0xFF);
}
}  // namespace

void D3DObject::setVirtualScreenSize(std::int32_t width, std::int32_t height) {
    virtualWidth_ = static_cast<float>(width);
    virtualHeight_ = static_cast<float>(height);
}

// Into the effect target, virtual units are its texels: its display sprite
// maps texels 140..500 onto the play field whatever the back buffer's size.
float D3DObject::toDeviceX(float x) const {
    return isDrawingIntoEffectTarget() ? x : scale(x, backBufferWidth_, virtualWidth_);
}
float D3DObject::toDeviceY(float y) const {
    return isDrawingIntoEffectTarget() ? y : scale(y, backBufferHeight_, virtualHeight_);
}
float D3DObject::toVirtualX(float x) const { return scale(x, virtualWidth_, backBufferWidth_); }
float D3DObject::toVirtualY(float y) const { return scale(y, virtualHeight_, backBufferHeight_); }

D3DObject::FloatRect D3DObject::toDeviceRect(float x, float y, float width, float height) const {
    return {toDeviceX(x), toDeviceY(y), toDeviceX(width), toDeviceY(height)};
}

HRESULT D3DObject::setViewport() {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    D3DVIEWPORT9 viewport{0, 0, backBufferWidth_, backBufferHeight_, 0.0f, 1.0f};
    return device->setViewport(&viewport);
}

HRESULT D3DObject::setVirtualViewport(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    D3DVIEWPORT9 viewport{viewportValue(toDeviceX(static_cast<float>(x))),
                          viewportValue(toDeviceY(static_cast<float>(y))),
                          viewportValue(toDeviceX(static_cast<float>(width))),
                          viewportValue(toDeviceY(static_cast<float>(height))), 0.0f, 1.0f};
    return device->setViewport(&viewport);
}

HRESULT D3DObject::clearDeviceRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                                   D3DCOLOR colour) {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    D3DRECT rect{rectValue(toDeviceX(static_cast<float>(left))), rectValue(toDeviceY(static_cast<float>(top))),
                 rectValue(toDeviceX(static_cast<float>(right))), rectValue(toDeviceY(static_cast<float>(bottom)))};
    return device->clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
}

HRESULT D3DObject::clearRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (!clearEnabled_) return S_OK;
    return clearDeviceRect(left, top, right, bottom, clearColour(clearRed_, clearGreen_, clearBlue_));
}

HRESULT D3DObject::clearRectColor(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                                  std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return clearDeviceRect(left, top, right, bottom, clearColour(red, green, blue));
}

void D3DObject::setClearColor(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    clearRed_ = red;
    clearGreen_ = green;
    clearBlue_ = blue;
    clearEnabled_ = 1;
}

HRESULT D3DObject::createFont() {
    D3DXFONT_DESC desc;
    desc.Height = static_cast<std::int32_t>(std::trunc(toDeviceY(20.0f)));
    desc.Width = 0;
    desc.Weight = 700;
    // One level suits screen text.
    desc.MipLevels = 1;
    desc.Italic = 0;
    desc.CharSet = 128;  // Shift-JIS
    desc.FaceName.clear();
    HRESULT result = DebugFont::create(g_d3dDevice, desc, &font_);
    if (FAILED(result)) logHresult(result);
    return result;
}

std::int32_t D3DObject::drawText(std::int32_t x, std::int32_t y, std::string_view text) {
    if (!font_) return E_FAIL;
    TextRect rect;
    rect.left = rectValue(toDeviceX(static_cast<float>(x)));
    rect.top = rectValue(toDeviceY(static_cast<float>(y)));
    rect.right = rectValue(toDeviceX(static_cast<float>(20 * (static_cast<std::int64_t>(text.size()) + 1))));
    rect.bottom = rectValue(toDeviceY(static_cast<float>(static_cast<std::int64_t>(y) + 20)));
    const std::int32_t drawn = font_->drawText(text, rect, DT_NOCLIP, 0xFFFF4040u);
    // The font leaves texture stage 0 empty.
    forgetBoundTexture();
    return drawn;
}

std::uint32_t D3DObject::getAvailableTextureMem() const {
    GfxDevice* device = g_d3dDevice;
    return device ? device->getAvailableTextureMem() : 0;
}

std::int64_t D3DObject::getTextureMemoryUsed() const {
    GfxDevice* device = g_d3dDevice;
    return device ? std::int64_t(textureMemoryAtStart_) - std::int64_t(device->getAvailableTextureMem()) : 0;
}

void D3DObject::setRenderMode(std::int32_t mode) {
    GfxDevice* device = g_d3dDevice;
    if (!device || mode == stateModeCache_) return;
    stateModeCache_ = mode;
    switch (mode) {
        case 2:  // lit 3-D meshes
            device->setFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
            device->setRenderState(D3DRS_ZENABLE, 1);
            device->setRenderState(D3DRS_ZWRITEENABLE, 1);
            device->setRenderState(D3DRS_LIGHTING, 1);
            device->setRenderState(D3DRS_FOGENABLE, 1);
            device->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
            device->setSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
            break;
        case 3:  // unlit 3-D quads
            device->setFVF(D3DFVF_XYZ | D3DFVF_TEX1);
            device->setRenderState(D3DRS_ZENABLE, 1);
            device->setRenderState(D3DRS_ZWRITEENABLE, 1);
            device->setRenderState(D3DRS_LIGHTING, 0);
            device->setRenderState(D3DRS_FOGENABLE, 1);
            device->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
            device->setSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
            break;
        default:  // 2-D sprites
            device->setFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
            device->setRenderState(D3DRS_ZENABLE, 0);
            device->setRenderState(D3DRS_ZWRITEENABLE, 0);
            device->setRenderState(D3DRS_LIGHTING, 0);
            device->setRenderState(D3DRS_FOGENABLE, 0);
            device->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
            device->setSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
            setMultiSampleAntialias(0);
            break;
    }
}

void D3DObject::setOpaqueMode(std::int32_t flag) {
    GfxDevice* device = g_d3dDevice;
    if (!device || flag == alphaTestCache_) return;
    alphaTestCache_ = flag;
    if (flag) {
        device->setRenderState(D3DRS_ALPHATESTENABLE, 0);
        device->setRenderState(D3DRS_ZENABLE, 1);
        device->setRenderState(D3DRS_ZWRITEENABLE, 1);
    } else {
        // Texels with alpha below 128 are dropped; the depth states stay.
        device->setRenderState(D3DRS_ALPHATESTENABLE, 1);
        device->setRenderState(D3DRS_ALPHAREF, 0x80);
        device->setRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    }
}

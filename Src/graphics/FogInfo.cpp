#include "graphics/FogInfo.h"

#include <cmath>

#include "graphics/D3DDevice.h"
#include "platform/gfx/GfxDevice.h"

namespace {
std::uint32_t channel(float value) {
    // A value outside the int range (or not a number) reads 0: its
    // truncation would be undefined.
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(value))) & 0xFF;
}
}  // namespace

D3DCOLOR packColor(float a, float r, float g, float b) {
    return (channel(a) << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
}

HRESULT FogInfo::enable(const D3DCAPS9& caps, float fogStart, float fogEnd, D3DCOLOR fogColour) {
    if (!(caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX)) {
        supported = 0;
        return E_FAIL;
    }
    supported = 1;
    enabled = 1;
    set(fogStart, fogEnd, fogColour);
    if (GfxDevice* device = g_d3dDevice) {
        device->setRenderState(D3DRS_FOGENABLE, enabled);
        device->setRenderState(D3DRS_FOGCOLOR, colour);
        device->setRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        device->setRenderState(D3DRS_FOGSTART, floatBits(start));
        device->setRenderState(D3DRS_FOGEND, floatBits(end));
    }
    return S_OK;
}

void FogInfo::set(float fogStart, float fogEnd, D3DCOLOR fogColour) {
    start = fogStart;
    end = fogEnd;
    colour = fogColour;
    a = static_cast<float>((fogColour >> 24) & 0xFF);
    r = static_cast<float>((fogColour >> 16) & 0xFF);
    g = static_cast<float>((fogColour >> 8) & 0xFF);
    b = static_cast<float>(fogColour & 0xFF);
}

void FogInfo::apply() {
    colour = packColor(a, r, g, b);
    if (GfxDevice* device = g_d3dDevice) {
        device->setRenderState(D3DRS_FOGCOLOR, colour);
        device->setRenderState(D3DRS_FOGSTART, floatBits(start));
        device->setRenderState(D3DRS_FOGEND, floatBits(end));
    }
}

HRESULT FogInfo::reapply() {
    if (!supported) return E_FAIL;
    if (GfxDevice* device = g_d3dDevice) {
        device->setRenderState(D3DRS_FOGCOLOR, colour);
        device->setRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        device->setRenderState(D3DRS_FOGSTART, floatBits(start));
        device->setRenderState(D3DRS_FOGEND, floatBits(end));
    }
    return S_OK;
}

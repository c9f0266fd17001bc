#include "platform/gfx/AdapterSurvey.h"

#include <algorithm>

AdapterSurvey AdapterSurvey::standard() {
    AdapterSurvey s;
    s.identifier.Description = "VorlyEngine synthetic adapter";
    s.identifier.Driver = "vorly";
    s.identifier.DeviceName = "\\\\.\\DISPLAY1";

    D3DCAPS9& c = s.caps;
    c.DeviceType = D3DDEVTYPE_HAL;
    c.AdapterOrdinal = 0;
    c.Caps2 = D3DCAPS2_DYNAMICTEXTURES;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_EXECUTEVIDEOMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                D3DDEVCAPS_TLVERTEXVIDEOMEMORY | D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
                D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
                D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                          D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP;
    c.RasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX |
                   D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_ANISOTROPY | D3DPRASTERCAPS_SCISSORTEST;
    c.ZCmpCaps = D3DPCMPCAPS_ALL;
    c.AlphaCmpCaps = D3DPCMPCAPS_ALL;
    c.SrcBlendCaps = c.DestBlendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR |
                                       D3DPBLENDCAPS_INVSRCCOLOR | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA |
                                       D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA |
                                       D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR |
                                       D3DPBLENDCAPS_SRCALPHASAT;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC |
                          D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                           D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
    c.MaxTextureWidth = c.MaxTextureHeight = 4096;
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = 4096;
    c.MaxAnisotropy = 16;
    c.MaxVertexW = 1e10f;
    c.FVFCaps = 8;  // texture coordinate sets
    c.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                      D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X | D3DTEXOPCAPS_ADD |
                      D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_SUBTRACT;
    c.MaxTextureBlendStages = 1;
    c.MaxSimultaneousTextures = 1;
    c.VertexProcessingCaps = D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS;
    c.MaxActiveLights = 1;
    c.MaxPointSize = 64.0f;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 16;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = D3DVS_VERSION(2, 0);
    c.MaxVertexShaderConst = 256;
    c.PixelShaderVersion = D3DPS_VERSION(2, 0);
    c.PixelShader1xMaxValue = 8.0f;

    const D3DFORMAT displayFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5};
    const std::uint32_t sizes[][2] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}};
    for (D3DFORMAT format : displayFormats)
        for (const auto& size : sizes) s.modes.push_back({size[0], size[1], 60, format});
    s.desktop = {1600, 1200, 60, D3DFMT_X8R8G8B8};

    s.deviceTypes = {
        {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8}, {D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5},
        {D3DFMT_X1R5G5B5, D3DFMT_X1R5G5B5}, {D3DFMT_R5G6B5, D3DFMT_R5G6B5},
    };
    s.textureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5,
                        D3DFMT_A4R4G4B4, D3DFMT_DXT1,     D3DFMT_DXT2,   D3DFMT_DXT3,     D3DFMT_DXT4,
                        D3DFMT_DXT5};
    s.renderTargetFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};
    s.depthFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8};
    s.totalTextureMemory = 512u << 20;
    return s;
}

void AdapterSurvey::offerAnisotropy(float driverMaxAnisotropy, bool softwareRenderer) {
    const float level = softwareRenderer ? 1.0f : std::min(driverMaxAnisotropy, 16.0f);
    if (level >= 2.0f) {
        caps.MaxAnisotropy = std::uint32_t(level);
        return;
    }
    caps.MaxAnisotropy = 1;
    caps.RasterCaps &= ~std::uint32_t(D3DPRASTERCAPS_ANISOTROPY);
    caps.TextureFilterCaps &= ~std::uint32_t(D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC);
}

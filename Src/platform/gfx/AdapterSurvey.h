// The synthetic adapter every backend reports: display modes, formats and
// capabilities fixed here, so the engine's survey, its device creation and
// the scripts' capability queries give the same answers on every machine.
// Tests change a copy to describe other adapters.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx/GfxTypes.h"

struct AdapterSurvey {
    D3DADAPTER_IDENTIFIER9 identifier;
    D3DCAPS9 caps;
    // Every display mode of every display format.
    std::vector<D3DDISPLAYMODE> modes;
    // The desktop's mode (getAdapterDisplayMode).
    D3DDISPLAYMODE desktop;
    // (display format, back-buffer format) pairs accepted by checkDeviceType.
    std::set<std::pair<D3DFORMAT, D3DFORMAT>> deviceTypes;
    // Formats accepted by checkDeviceFormat, per usage kind.
    std::set<D3DFORMAT> textureFormats;
    std::set<D3DFORMAT> renderTargetFormats;
    std::set<D3DFORMAT> depthFormats;
    // Device creation and its results.
    std::uint32_t totalTextureMemory = 0;  // bytes, what getAvailableTextureMem starts from

    // The adapter of a typical Direct3D 9 board at 60 Hz: the six display
    // sizes 320 x 240 to 1600 x 1200 at 60 Hz in X8R8G8B8, R5G6B5 and
    // X1R5G5B5; the five back-buffer/display pairs; depth D16, D24X8, D24S8;
    // the 16- and 32-bit texture formats and DXT1 to DXT5 (no R8G8B8);
    // vertex fog, shader version 2.0, no square-only or power-of-two
    // textures, anisotropic filtering up to 16, one texture stage and one
    // light (what the OpenGL backend emulates), no bump mapping, no
    // multisampling.
    static AdapterSurvey standard();

    // The anisotropic filtering a driver really offers: up to
    // `driverMaxAnisotropy` (below 2: none). A renderer that draws on the
    // CPU reports none whatever it offers, since there the filter costs about
    // half of a sprite frame. Without it the survey answers as an adapter
    // without the capability (no anisotropic filter or raster caps,
    // MaxAnisotropy 1); every other fact stays.
    void offerAnisotropy(float driverMaxAnisotropy, bool softwareRenderer);
};

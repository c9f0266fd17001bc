// A drawn frame as a picture: render target 0 read back after the frame
// (rows top first, A8R8G8B8) and written out with the PNG writer. The
// frame tool and the OpenGL fixtures read their frames through it.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"

struct FramePicture {
    std::uint32_t width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::vector<std::uint32_t> argb;  // rows top first
    std::uint32_t at(std::uint32_t x, std::uint32_t y) const { return argb.at(std::size_t(y) * width + x); }
};

// Render target 0 of the device into `picture`; the device's result when
// it cannot be read (the picture is then empty).
HRESULT captureFrame(GfxDevice* device, FramePicture& picture);
// The picture as the bytes of an 8-bit RGB PNG file (the alpha channel is
// left out, as the frame captures of a run leave it). False when encoding fails.
bool encodeFramePng(const FramePicture& picture, std::vector<std::uint8_t>& png);

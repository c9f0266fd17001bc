// Pictures out: a texture level read back as A8R8G8B8 and PNG files written
// with libpng as 8-bit RGBA (the texture tool and frame captures).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"

// One level of a texture as A8R8G8B8 pixels, rows top first, whatever its
// format (formats without alpha read alpha 255; DXT blocks expanded).
HRESULT readTextureLevel(GfxTexture* texture, std::uint32_t level, std::vector<std::uint32_t>& argb,
                         std::uint32_t& width, std::uint32_t& height);

// A8R8G8B8 pixels (rows top first) as the bytes of an 8-bit RGBA PNG file.
// False when libpng fails (the output is then empty).
bool encodePngRgba(std::uint32_t width, std::uint32_t height, const std::uint32_t* argb,
                   std::vector<std::uint8_t>& out);
// The same as 8-bit RGB (alpha dropped).
bool encodePngRgb(std::uint32_t width, std::uint32_t height, const std::uint32_t* argb,
                  std::vector<std::uint8_t>& out);

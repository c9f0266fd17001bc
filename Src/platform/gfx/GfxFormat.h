// Sizes and pixel layouts of the texture and surface formats.
#pragma once
#include <cstdint>

#include "platform/gfx/GfxTypes.h"

bool isDepthFormat(D3DFORMAT format);
// A depth format with stencil bits (D15S1, D24S8, D24X4S4, D24FS8).
bool hasStencilBits(D3DFORMAT format);
// DXT1 to DXT5: 4 x 4 blocks of 8 (DXT1) or 16 bytes.
bool isBlockCompressed(D3DFORMAT format);
// Bits per pixel of an uncompressed format; 0 for an unknown one.
std::uint32_t bitsPerPixel(D3DFORMAT format);
// A format a texture or surface of this layer can hold.
bool isKnownPixelFormat(D3DFORMAT format);
// The size of a mip level along one axis (never below 1).
std::uint32_t levelExtent(std::uint32_t size, std::uint32_t level);
// The number of levels of a full mip chain down to 1 x 1.
std::uint32_t fullMipCount(std::uint32_t width, std::uint32_t height);
// Bytes of one row (of blocks, for compressed formats) and the row count.
std::uint32_t rowPitch(D3DFORMAT format, std::uint32_t width);
std::uint32_t rowCount(D3DFORMAT format, std::uint32_t height);
std::uint64_t levelBytes(D3DFORMAT format, std::uint32_t width, std::uint32_t height);
// Where a locked rectangle of a level starts in the level's bytes; a
// compressed level is locked by whole 4 x 4 blocks. A null rectangle is the
// whole level; false for a rectangle that is empty or reaches outside.
bool lockedRectOffset(D3DFORMAT format, std::uint32_t width, std::uint32_t height, const D3DRECT* rect,
                      std::uint64_t& offset);

// One pixel of a 16- or 32-bit colour format to and from A8R8G8B8 (formats
// without alpha read alpha 255; formats of fewer bits replicate their top
// bits into the low ones).
std::uint32_t encodePixel(D3DFORMAT format, D3DCOLOR argb);
D3DCOLOR decodePixel(D3DFORMAT format, std::uint32_t pixel);

// Expands one level of DXT1..DXT5 data to A8R8G8B8 pixels (width x height,
// rows top first). DXT2 and DXT4 are expanded like DXT3 and DXT5, their
// colours staying premultiplied.
void decodeBlockCompressed(D3DFORMAT format, const std::uint8_t* blocks, std::uint32_t width, std::uint32_t height,
                           std::uint32_t* argbOut);

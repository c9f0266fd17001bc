// D3DX's image loading: an image file held in memory (BMP, JPEG, TGA, PNG,
// DDS, told apart by their content) becomes a texture of the device, with the
// names, arguments and results of D3DXGetImageInfoFromFileInMemory and
// D3DXCreateTextureFromFileInMemoryEx. The texture is made with
// GfxDevice::createTexture and filled through lockRect, so every backend sees
// the same calls.
//
// The texture always has the file's own size: no rounding up to a power of
// two and no resampling, so texels stay exact and every texture coordinate,
// being a fraction of the file's size, is unchanged. The filter arguments only
// concern resizing and are accepted unused. A side of 0 or above 4096 is
// refused from the header, before anything is allocated.
#pragma once
#include <cstdint>

#include "platform/HResult.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxTypes.h"

enum D3DXIMAGE_FILEFORMAT : std::uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
};

constexpr std::uint32_t D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr std::uint32_t D3DX_FILTER_POINT = 2;
constexpr std::uint32_t D3DX_FILTER_LINEAR = 3;

struct D3DXIMAGE_INFO {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t Depth = 0;
    std::uint32_t MipLevels = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_BMP;
};

// The largest side an image file may have.
constexpr std::uint32_t kMaxImageSide = 4096;

// The file's size, depth 1, its mip count (1 but for DDS), its format and
// kind. Format: a DDS file's own format; for the other kinds A8R8G8B8 when
// the picture carries alpha (an alpha channel, tRNS, an alpha mask or
// attribute bits), else X8R8G8B8. D3DXERR_INVALIDDATA for anything else.
HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, std::uint32_t size, D3DXIMAGE_INFO* info);

// Width, height and format must be D3DX_DEFAULT/0 and D3DFMT_UNKNOWN (taken
// from the file, the only use the engine makes). mipLevels 1 makes one level;
// 0 or D3DX_DEFAULT a full chain down to 1 x 1; another count at most the full
// chain. A DDS file that holds the levels asked for gives them as stored;
// otherwise each further level is the rounded mean of the 2 x 2 texels above
// it (fewer at an odd edge), and a compressed file is then held as A8R8G8B8.
// Texture formats: a DDS keeps its own (DXT1-5, A8R8G8B8, X8R8G8B8, R5G6B5,
// A1R5G5B5, X1R5G5B5, A4R4G4B4), any other layout becomes A8R8G8B8 (X8R8G8B8
// without alpha); the other kinds are A8R8G8B8 or X8R8G8B8 as their info says.
// colorKey (when not 0) is compared with every decoded or uncompressed pixel
// as A8R8G8B8, formats without alpha reading alpha 255; a match becomes 0.
// DXT blocks stay as stored. palette is ignored. On failure *texture is null.
HRESULT D3DXCreateTextureFromFileInMemoryEx(GfxDevice* device, const void* data, std::uint32_t size,
                                            std::uint32_t width, std::uint32_t height, std::uint32_t mipLevels,
                                            std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                            std::uint32_t filter, std::uint32_t mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, void* palette, GfxTexture** texture);

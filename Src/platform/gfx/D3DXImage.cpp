#include "platform/gfx/D3DXImage.h"

#include <cstring>
#include <vector>

#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/GfxResource.h"
#include "platform/gfx/ImageReaders.h"

using image::Bytes;

namespace {
enum class Kind { Bmp, Png, Jpeg, Dds, Tga };

// By content: "BM", the PNG signature, FF D8, "DDS "; anything else is tried
// as TGA, whose header reader refuses what is not plausible.
Kind detect(Bytes file) {
    static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return Kind::Bmp;
    if (file.size() >= 8 && std::memcmp(file.data(), kPng, 8) == 0) return Kind::Png;
    if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xD8) return Kind::Jpeg;
    if (file.size() >= 4 && std::memcmp(file.data(), "DDS ", 4) == 0) return Kind::Dds;
    return Kind::Tga;
}

bool readHeader(Kind kind, Bytes file, image::ImageHeader& header) {
    switch (kind) {
    case Kind::Bmp:
        return image::readBmpHeader(file, header);
    case Kind::Png:
        return image::readPngHeader(file, header);
    case Kind::Jpeg:
        return image::readJpegHeader(file, header);
    case Kind::Tga:
        return image::readTgaHeader(file, header);
    case Kind::Dds:
        break;
    }
    return false;
}

bool decode(Kind kind, Bytes file, const image::PixelTarget& target) {
    switch (kind) {
    case Kind::Bmp:
        return image::decodeBmp(file, target);
    case Kind::Png:
        return image::decodePng(file, target);
    case Kind::Jpeg:
        return image::decodeJpeg(file, target);
    case Kind::Tga:
        return image::decodeTga(file, target);
    case Kind::Dds:
        break;
    }
    return false;
}

std::uint32_t wantedLevels(std::uint32_t mipLevels, std::uint32_t width, std::uint32_t height) {
    const std::uint32_t full = fullMipCount(width, height);
    if (mipLevels == 0 || mipLevels == D3DX_DEFAULT || mipLevels > full) return full;
    return mipLevels;
}

std::uint32_t readTexel(const std::uint8_t* row, std::uint32_t x, std::uint32_t bytes) {
    if (bytes == 2) return image::read16(row + x * 2);
    std::uint32_t v;
    std::memcpy(&v, row + x * 4, 4);
    return v;
}

void writeTexel(std::uint8_t* row, std::uint32_t x, std::uint32_t bytes, std::uint32_t value) {
    if (bytes == 2) {
        const std::uint16_t v = std::uint16_t(value);
        std::memcpy(row + x * 2, &v, 2);
    } else {
        std::memcpy(row + x * 4, &value, 4);
    }
}

// A locked level of a 16- or 32-bit texture.
struct LockedLevel {
    GfxTexture* texture;
    std::uint32_t level;
    D3DLOCKED_RECT rect{};
    bool locked = false;
    LockedLevel(GfxTexture* t, std::uint32_t l, std::uint32_t flags) : texture(t), level(l) {
        locked = SUCCEEDED(texture->lockRect(level, &rect, nullptr, flags));
    }
    ~LockedLevel() {
        if (locked) texture->unlockRect(level);
    }
    std::uint8_t* row(std::uint32_t y) const {
        return static_cast<std::uint8_t*>(rect.pBits) + static_cast<std::ptrdiff_t>(rect.Pitch) * y;
    }
};

// Pixels equal to the key (read as A8R8G8B8) become 0 in the level's format.
void applyColourKey(const LockedLevel& level, D3DFORMAT format, std::uint32_t width, std::uint32_t height,
                    D3DCOLOR key) {
    if (key == 0) return;
    const std::uint32_t bytes = bitsPerPixel(format) / 8;
    const std::uint32_t clear = encodePixel(format, 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row = level.row(y);
        for (std::uint32_t x = 0; x < width; ++x)
            if (decodePixel(format, readTexel(row, x, bytes)) == key) writeTexel(row, x, bytes, clear);
    }
}

// Levels 1.. of a 16- or 32-bit texture, each texel the rounded mean of the
// 2 x 2 texels above it that exist.
HRESULT buildMipChain(GfxTexture* texture, D3DFORMAT format, std::uint32_t width, std::uint32_t height,
                      std::uint32_t levels) {
    const std::uint32_t bytes = bitsPerPixel(format) / 8;
    for (std::uint32_t level = 1; level < levels; ++level) {
        const std::uint32_t pw = levelExtent(width, level - 1), ph = levelExtent(height, level - 1);
        const std::uint32_t w = levelExtent(width, level), h = levelExtent(height, level);
        LockedLevel parent(texture, level - 1, D3DLOCK_READONLY);
        LockedLevel child(texture, level, 0);
        if (!parent.locked || !child.locked) return D3DERR_INVALIDCALL;
        for (std::uint32_t y = 0; y < h; ++y) {
            for (std::uint32_t x = 0; x < w; ++x) {
                std::uint32_t sum[4] = {0, 0, 0, 0}, count = 0;
                for (std::uint32_t dy = 0; dy < 2; ++dy) {
                    for (std::uint32_t dx = 0; dx < 2; ++dx) {
                        const std::uint32_t sx = x * 2 + dx, sy = y * 2 + dy;
                        if (sx >= pw || sy >= ph) continue;
                        const D3DCOLOR c = decodePixel(format, readTexel(parent.row(sy), sx, bytes));
                        for (int i = 0; i < 4; ++i) sum[i] += (c >> (8 * i)) & 0xFF;
                        ++count;
                    }
                }
                D3DCOLOR mean = 0;
                for (int i = 0; i < 4; ++i) mean |= ((sum[i] + count / 2) / count) << (8 * i);
                writeTexel(child.row(y), x, bytes, encodePixel(format, mean));
            }
        }
    }
    return D3D_OK;
}

HRESULT createFromDds(GfxDevice* device, Bytes file, std::uint32_t mipLevels, std::uint32_t usage, D3DPOOL pool,
                      D3DCOLOR key, D3DXIMAGE_INFO& info, GfxRef<GfxTexture>& out) {
    image::DdsLayout layout;
    if (!image::readDdsLayout(file, layout)) return D3DXERR_INVALIDDATA;
    info = layout.info;
    const std::uint32_t width = info.Width, height = info.Height;
    const std::uint32_t levels = wantedLevels(mipLevels, width, height);
    const bool asStored = layout.levelCount >= levels;
    const bool compressed = isBlockCompressed(layout.textureFormat);
    const D3DFORMAT format = asStored || !compressed ? layout.textureFormat : D3DFMT_A8R8G8B8;
    GfxRef<GfxTexture> texture;
    if (HRESULT hr = device->createTexture(width, height, levels, usage, format, pool, texture.put()); FAILED(hr))
        return hr;
    const std::uint32_t copied = asStored ? levels : 1;
    for (std::uint32_t level = 0; level < copied; ++level) {
        const std::uint32_t w = levelExtent(width, level), h = levelExtent(height, level);
        LockedLevel target(texture.get(), level, 0);
        if (!target.locked) return D3DERR_INVALIDCALL;
        const std::uint8_t* stored = file.data() + layout.levelOffset[level];
        if (format == layout.storedFormat) {
            // As stored, row by row through the pitch.
            const std::uint32_t pitch = rowPitch(format, w), rows = rowCount(format, h);
            for (std::uint32_t r = 0; r < rows; ++r) std::memcpy(target.row(r), stored + std::size_t(pitch) * r, pitch);
        } else if (compressed) {
            // Level 0 of a compressed file expanded for the generated chain,
            // straight into the level when its rows are packed.
            if (target.rect.Pitch == std::int32_t(w * 4)) {
                decodeBlockCompressed(layout.storedFormat, stored, w, h,
                                      reinterpret_cast<std::uint32_t*>(target.rect.pBits));
            } else {
                std::vector<std::uint32_t> argb(std::size_t(w) * h);
                decodeBlockCompressed(layout.storedFormat, stored, w, h, argb.data());
                for (std::uint32_t r = 0; r < h; ++r)
                    std::memcpy(target.row(r), argb.data() + std::size_t(w) * r, w * 4);
            }
        } else {
            const std::size_t storedPitch = std::size_t(w) * layout.bytesPerPixel;
            for (std::uint32_t r = 0; r < h; ++r)
                image::convertDdsRow(layout, stored + storedPitch * r, w,
                                     reinterpret_cast<std::uint32_t*>(target.row(r)));
        }
        if (!isBlockCompressed(format)) applyColourKey(target, format, w, h, key);
    }
    if (!asStored) {
        if (HRESULT hr = buildMipChain(texture.get(), format, width, height, levels); FAILED(hr)) return hr;
    }
    out = texture;
    return D3D_OK;
}

HRESULT createFromPicture(GfxDevice* device, Kind kind, Bytes file, std::uint32_t mipLevels, std::uint32_t usage,
                          D3DPOOL pool, D3DCOLOR key, D3DXIMAGE_INFO& info, GfxRef<GfxTexture>& out) {
    image::ImageHeader header;
    if (!readHeader(kind, file, header)) return D3DXERR_INVALIDDATA;
    info = header.info;
    const std::uint32_t width = info.Width, height = info.Height;
    const std::uint32_t levels = wantedLevels(mipLevels, width, height);
    const D3DFORMAT format = header.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    GfxRef<GfxTexture> texture;
    if (HRESULT hr = device->createTexture(width, height, levels, usage, format, pool, texture.put()); FAILED(hr))
        return hr;
    {
        LockedLevel target(texture.get(), 0, 0);
        if (!target.locked) return D3DERR_INVALIDCALL;
        const image::PixelTarget pixels{static_cast<std::uint8_t*>(target.rect.pBits), target.rect.Pitch, width,
                                        height};
        if (!decode(kind, file, pixels)) return D3DXERR_INVALIDDATA;
        applyColourKey(target, format, width, height, key);
    }
    if (HRESULT hr = buildMipChain(texture.get(), format, width, height, levels); FAILED(hr)) return hr;
    out = texture;
    return D3D_OK;
}
}  // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, std::uint32_t size, D3DXIMAGE_INFO* info) {
    if (!info) return D3DERR_INVALIDCALL;
    if (!data || size == 0) return D3DXERR_INVALIDDATA;
    const Bytes file(static_cast<const std::uint8_t*>(data), size);
    const Kind kind = detect(file);
    if (kind == Kind::Dds) {
        image::DdsLayout layout;
        if (!image::readDdsLayout(file, layout)) return D3DXERR_INVALIDDATA;
        *info = layout.info;
        return D3D_OK;
    }
    image::ImageHeader header;
    if (!readHeader(kind, file, header)) return D3DXERR_INVALIDDATA;
    *info = header.info;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(GfxDevice* device, const void* data, std::uint32_t size,
                                            std::uint32_t width, std::uint32_t height, std::uint32_t mipLevels,
                                            std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, std::uint32_t,
                                            std::uint32_t, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, void*,
                                            GfxTexture** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    if (!data || size == 0) return D3DXERR_INVALIDDATA;
    // The size and format always come from the file.
    auto fromFile = [](std::uint32_t v) { return v == 0 || v == D3DX_DEFAULT; };
    if (!fromFile(width) || !fromFile(height) || format != D3DFMT_UNKNOWN) return D3DERR_INVALIDCALL;
    const Bytes file(static_cast<const std::uint8_t*>(data), size);
    const Kind kind = detect(file);
    D3DXIMAGE_INFO info;
    GfxRef<GfxTexture> made;
    const HRESULT hr = kind == Kind::Dds ? createFromDds(device, file, mipLevels, usage, pool, colorKey, info, made)
                                         : createFromPicture(device, kind, file, mipLevels, usage, pool, colorKey,
                                                             info, made);
    if (FAILED(hr)) return hr;
    if (srcInfo) *srcInfo = info;
    made->addRef();
    *texture = made.get();
    return D3D_OK;
}

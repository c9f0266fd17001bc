#include "platform/gfx/GfxFormat.h"

#include <algorithm>

bool isDepthFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8:
        return true;
    default:
        return false;
    }
}

bool hasStencilBits(D3DFORMAT format) {
    return format == D3DFMT_D15S1 || format == D3DFMT_D24S8 || format == D3DFMT_D24X4S4 || format == D3DFMT_D24FS8;
}

bool isBlockCompressed(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

std::uint32_t bitsPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8:
        return 32;
    case D3DFMT_R8G8B8:
        return 24;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_D16:
        return 16;
    case D3DFMT_A8:
    case D3DFMT_L8:
        return 8;
    default:
        return 0;
    }
}

bool isKnownPixelFormat(D3DFORMAT format) { return bitsPerPixel(format) != 0 || isBlockCompressed(format); }

std::uint32_t levelExtent(std::uint32_t size, std::uint32_t level) {
    std::uint32_t extent = level < 32 ? size >> level : 0;
    return std::max<std::uint32_t>(extent, 1);
}

std::uint32_t fullMipCount(std::uint32_t width, std::uint32_t height) {
    std::uint32_t levels = 1;
    std::uint32_t size = std::max(width, height);
    while (size > 1) {
        size >>= 1;
        ++levels;
    }
    return levels;
}

std::uint32_t rowPitch(D3DFORMAT format, std::uint32_t width) {
    if (isBlockCompressed(format)) {
        std::uint32_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
        return std::max<std::uint32_t>(1, (width + 3) / 4) * blockBytes;
    }
    return width * (bitsPerPixel(format) / 8);
}

std::uint32_t rowCount(D3DFORMAT format, std::uint32_t height) {
    return isBlockCompressed(format) ? std::max<std::uint32_t>(1, (height + 3) / 4) : height;
}

std::uint64_t levelBytes(D3DFORMAT format, std::uint32_t width, std::uint32_t height) {
    return std::uint64_t(rowPitch(format, width)) * rowCount(format, height);
}

bool lockedRectOffset(D3DFORMAT format, std::uint32_t width, std::uint32_t height, const D3DRECT* rect,
                      std::uint64_t& offset) {
    offset = 0;
    if (!rect) return true;
    if (rect->x1 < 0 || rect->y1 < 0 || rect->x2 > std::int32_t(width) || rect->y2 > std::int32_t(height) ||
        rect->x1 >= rect->x2 || rect->y1 >= rect->y2)
        return false;
    const std::uint64_t pitch = rowPitch(format, width);
    if (isBlockCompressed(format))
        offset = std::uint64_t(rect->y1 / 4) * pitch + std::uint64_t(rect->x1 / 4) * (format == D3DFMT_DXT1 ? 8 : 16);
    else
        offset = std::uint64_t(rect->y1) * pitch + std::uint64_t(rect->x1) * (bitsPerPixel(format) / 8);
    return true;
}

namespace {

std::uint32_t expand(std::uint32_t value, int bits) {
    // Replicates the top bits into the low ones: 5-bit 31 becomes 255.
    std::uint32_t v = value << (8 - bits);
    return v | (v >> bits);
}

std::uint32_t channel(D3DCOLOR argb, int shift) { return (argb >> shift) & 0xFF; }

}  // namespace

std::uint32_t encodePixel(D3DFORMAT format, D3DCOLOR argb) {
    std::uint32_t a = channel(argb, 24), r = channel(argb, 16), g = channel(argb, 8), b = channel(argb, 0);
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return argb;
    case D3DFMT_X8R8G8B8:
        return argb | 0xFF000000u;
    case D3DFMT_A8B8G8R8:
        return (a << 24) | (b << 16) | (g << 8) | r;
    case D3DFMT_X8B8G8R8:
        return 0xFF000000u | (b << 16) | (g << 8) | r;
    case D3DFMT_R8G8B8:
        return argb & 0xFFFFFF;
    case D3DFMT_R5G6B5:
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case D3DFMT_A1R5G5B5:
        return ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case D3DFMT_X1R5G5B5:
        return 0x8000 | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case D3DFMT_A4R4G4B4:
        return ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    case D3DFMT_X4R4G4B4:
        return 0xF000 | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    case D3DFMT_A8:
        return a;
    case D3DFMT_L8:
        return (r * 77 + g * 150 + b * 29) >> 8;
    case D3DFMT_A8L8:
        return (a << 8) | ((r * 77 + g * 150 + b * 29) >> 8);
    default:
        return 0;
    }
}

D3DCOLOR decodePixel(D3DFORMAT format, std::uint32_t p) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return p;
    case D3DFMT_X8R8G8B8:
        return p | 0xFF000000u;
    case D3DFMT_A8B8G8R8:
        return D3DCOLOR_ARGB(p >> 24, p, p >> 8, p >> 16);
    case D3DFMT_X8B8G8R8:
        return D3DCOLOR_ARGB(0xFF, p, p >> 8, p >> 16);
    case D3DFMT_R8G8B8:
        return 0xFF000000u | (p & 0xFFFFFF);
    case D3DFMT_R5G6B5:
        return D3DCOLOR_ARGB(0xFF, expand((p >> 11) & 31, 5), expand((p >> 5) & 63, 6), expand(p & 31, 5));
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5: {
        std::uint32_t a = format == D3DFMT_X1R5G5B5 || (p & 0x8000) ? 0xFF : 0;
        return D3DCOLOR_ARGB(a, expand((p >> 10) & 31, 5), expand((p >> 5) & 31, 5), expand(p & 31, 5));
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: {
        std::uint32_t a = format == D3DFMT_X4R4G4B4 ? 0xFF : ((p >> 12) & 15) * 17;
        return D3DCOLOR_ARGB(a, ((p >> 8) & 15) * 17, ((p >> 4) & 15) * 17, (p & 15) * 17);
    }
    case D3DFMT_A8:
        return (p & 0xFF) << 24;
    case D3DFMT_L8:
        return D3DCOLOR_ARGB(0xFF, p, p, p);
    case D3DFMT_A8L8:
        return D3DCOLOR_ARGB(p >> 8, p, p, p);
    default:
        return 0;
    }
}

namespace {

std::uint16_t read16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

D3DCOLOR from565(std::uint32_t c) {
    return D3DCOLOR_ARGB(0xFF, expand((c >> 11) & 31, 5), expand((c >> 5) & 63, 6), expand(c & 31, 5));
}

D3DCOLOR mix(D3DCOLOR c0, D3DCOLOR c1, std::uint32_t w0, std::uint32_t w1) {
    std::uint32_t sum = w0 + w1;
    auto part = [&](int shift) { return (channel(c0, shift) * w0 + channel(c1, shift) * w1) / sum; };
    return D3DCOLOR_ARGB(0xFF, part(16), part(8), part(0));
}

// The four colours of a colour block; DXT1 with c0 <= c1 has three and a
// transparent black.
void colourPalette(const std::uint8_t* block, bool dxt1, D3DCOLOR palette[4]) {
    std::uint16_t c0 = read16(block), c1 = read16(block + 2);
    palette[0] = from565(c0);
    palette[1] = from565(c1);
    if (!dxt1 || c0 > c1) {
        palette[2] = mix(palette[0], palette[1], 2, 1);
        palette[3] = mix(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = mix(palette[0], palette[1], 1, 1);
        palette[3] = 0;
    }
}

void alphaPalette(std::uint32_t a0, std::uint32_t a1, std::uint32_t alphas[8]) {
    alphas[0] = a0;
    alphas[1] = a1;
    if (a0 > a1) {
        for (std::uint32_t i = 1; i <= 6; ++i) alphas[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (std::uint32_t i = 1; i <= 4; ++i) alphas[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        alphas[6] = 0;
        alphas[7] = 255;
    }
}

}  // namespace

void decodeBlockCompressed(D3DFORMAT format, const std::uint8_t* blocks, std::uint32_t width, std::uint32_t height,
                           std::uint32_t* argbOut) {
    const bool dxt1 = format == D3DFMT_DXT1;
    const bool explicitAlpha = format == D3DFMT_DXT2 || format == D3DFMT_DXT3;
    const std::uint32_t blockBytes = dxt1 ? 8 : 16;
    const std::uint32_t blocksWide = std::max<std::uint32_t>(1, (width + 3) / 4);
    const std::uint32_t blocksHigh = std::max<std::uint32_t>(1, (height + 3) / 4);
    for (std::uint32_t by = 0; by < blocksHigh; ++by) {
        for (std::uint32_t bx = 0; bx < blocksWide; ++bx) {
            const std::uint8_t* block = blocks + (std::uint64_t(by) * blocksWide + bx) * blockBytes;
            const std::uint8_t* colour = dxt1 ? block : block + 8;
            D3DCOLOR palette[4];
            colourPalette(colour, dxt1, palette);
            std::uint32_t alphas[8] = {};
            std::uint64_t alphaBits = 0;
            if (!dxt1) {
                for (int i = 7; i >= 0; --i) alphaBits = (alphaBits << 8) | block[i];
                if (!explicitAlpha) alphaPalette(block[0], block[1], alphas);
            }
            for (std::uint32_t py = 0; py < 4; ++py) {
                for (std::uint32_t px = 0; px < 4; ++px) {
                    std::uint32_t x = bx * 4 + px, y = by * 4 + py;
                    if (x >= width || y >= height) continue;
                    std::uint32_t i = py * 4 + px;
                    std::uint32_t index = (colour[4 + py] >> (px * 2)) & 3;
                    D3DCOLOR c = palette[index];
                    if (!dxt1) {
                        std::uint32_t a = explicitAlpha ? ((alphaBits >> (4 * i)) & 15) * 17
                                                        : alphas[(alphaBits >> (16 + 3 * i)) & 7];
                        c = (c & 0xFFFFFF) | (a << 24);
                    }
                    argbOut[std::uint64_t(y) * width + x] = c;
                }
            }
        }
    }
}

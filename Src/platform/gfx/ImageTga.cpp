// TGA: image types 1 (colour-mapped), 2 (true colour), 3 (grey) and their
// run-length forms 9, 10, 11; 8, 15, 16, 24 and 32 bits; the origin bits;
// alpha when the attribute bits say the pixels carry it. A run may go on into
// the next row, never past the picture's end or the file's.
#include <algorithm>

#include "platform/gfx/ImageReaders.h"

namespace image {
namespace {
struct TgaInfo {
    std::uint32_t type = 0, width = 0, height = 0, bits = 0;
    std::uint32_t mapFirst = 0, mapLength = 0, mapBits = 0;
    std::size_t mapOffset = 0, dataOffset = 0;
    bool topDown = false, rightToLeft = false, alpha = false;
};

bool parse(Bytes file, TgaInfo& tga) {
    if (file.size() < 18) return false;
    const std::uint8_t* p = file.data();
    const std::uint32_t idLength = p[0], mapType = p[1];
    tga.type = p[2];
    tga.mapFirst = read16(p + 3);
    tga.mapLength = read16(p + 5);
    tga.mapBits = p[7];
    tga.width = read16(p + 12);
    tga.height = read16(p + 14);
    tga.bits = p[16];
    const std::uint32_t descriptor = p[17];
    const std::uint32_t attributeBits = descriptor & 0x0F;
    if (mapType > 1 || (descriptor & 0xC0) != 0) return false;
    if (!sideAllowed(tga.width) || !sideAllowed(tga.height)) return false;
    const std::uint32_t base = tga.type & 7;
    if ((tga.type & ~8u) != base || base < 1 || base > 3) return false;
    if (mapType == 1 && (tga.mapBits != 15 && tga.mapBits != 16 && tga.mapBits != 24 && tga.mapBits != 32))
        return false;
    switch (base) {
    case 1:
        if (mapType != 1 || tga.bits != 8 || tga.mapLength == 0) return false;
        tga.alpha = attributeBits > 0 && (tga.mapBits == 32 || tga.mapBits == 16);
        break;
    case 2:
        if (tga.bits != 15 && tga.bits != 16 && tga.bits != 24 && tga.bits != 32) return false;
        tga.alpha = attributeBits > 0 && (tga.bits == 32 || tga.bits == 16);
        break;
    default:
        if (tga.bits != 8) return false;
        break;
    }
    tga.topDown = (descriptor & 0x20) != 0;
    tga.rightToLeft = (descriptor & 0x10) != 0;
    tga.mapOffset = 18 + std::size_t(idLength);
    const std::size_t mapBytes = mapType == 1 ? std::size_t(tga.mapLength) * ((tga.mapBits + 7) / 8) : 0;
    tga.dataOffset = tga.mapOffset + mapBytes;
    if (tga.dataOffset > file.size()) return false;
    // The declared size must fit the pixel data the file holds before
    // anything is allocated for it: plain rows hold every pixel, and a run
    // packet (its byte and at least one pixel) stands for at most 128 pixels.
    const std::uint64_t pixels = std::uint64_t(tga.width) * tga.height;
    const std::uint64_t pixelBytes = (tga.bits + 7) / 8;
    const std::uint64_t dataBytes = file.size() - tga.dataOffset;
    if (!(tga.type & 8)) return pixels * pixelBytes <= dataBytes;
    return (pixels + 127) / 128 * (1 + pixelBytes) <= dataBytes;
}

std::uint32_t colourOf(const std::uint8_t* p, std::uint32_t bits, bool alpha) {
    switch (bits) {
    case 8:
        return D3DCOLOR_XRGB(p[0], p[0], p[0]);
    case 15:
    case 16: {
        const std::uint32_t v = read16(p);
        auto five = [](std::uint32_t c) { return (c << 3) | (c >> 2); };
        const std::uint32_t a = alpha ? ((v & 0x8000) ? 0xFF : 0) : 0xFF;
        return D3DCOLOR_ARGB(a, five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
    }
    case 24:
        return D3DCOLOR_XRGB(p[2], p[1], p[0]);
    default:
        return D3DCOLOR_ARGB(alpha ? p[3] : 0xFF, p[2], p[1], p[0]);
    }
}
}  // namespace

bool readTgaHeader(Bytes file, ImageHeader& header) {
    TgaInfo tga;
    if (!parse(file, tga)) return false;
    header.info = D3DXIMAGE_INFO{};
    header.info.Width = tga.width;
    header.info.Height = tga.height;
    header.info.Depth = 1;
    header.info.MipLevels = 1;
    header.hasAlpha = tga.alpha;
    header.info.Format = tga.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    header.info.ResourceType = D3DRTYPE_TEXTURE;
    header.info.ImageFileFormat = D3DXIFF_TGA;
    return true;
}

bool decodeTga(Bytes file, const PixelTarget& target) {
    TgaInfo tga;
    if (!parse(file, tga) || tga.width != target.width || tga.height != target.height) return false;
    const bool mapped = (tga.type & 7) == 1;
    const std::uint32_t pixelBytes = (tga.bits + 7) / 8;
    const std::uint32_t entryBytes = (tga.mapBits + 7) / 8;
    auto colour = [&](const std::uint8_t* p) {
        if (!mapped) return colourOf(p, tga.bits, tga.alpha);
        const std::uint32_t index = p[0];
        if (index < tga.mapFirst || index - tga.mapFirst >= tga.mapLength) return 0xFF000000u;
        return colourOf(file.data() + tga.mapOffset + std::size_t(index - tga.mapFirst) * entryBytes, tga.mapBits,
                        tga.alpha);
    };
    const std::uint64_t total = std::uint64_t(tga.width) * tga.height;
    std::uint64_t done = 0;
    auto put = [&](std::uint32_t argb) {
        const std::uint32_t fileRow = std::uint32_t(done / tga.width), fileColumn = std::uint32_t(done % tga.width);
        const std::uint32_t y = tga.topDown ? fileRow : tga.height - 1 - fileRow;
        const std::uint32_t x = tga.rightToLeft ? tga.width - 1 - fileColumn : fileColumn;
        target.row(y)[x] = argb;
        ++done;
    };
    std::size_t at = tga.dataOffset;
    if (!(tga.type & 8)) {
        if (at + total * pixelBytes > file.size()) return false;
        while (done < total) {
            put(colour(file.data() + at));
            at += pixelBytes;
        }
        return true;
    }
    while (done < total) {
        if (at >= file.size()) return false;
        const std::uint32_t packet = file[at++];
        const std::uint32_t count = (packet & 0x7F) + 1;
        if (done + count > total) return false;
        if (packet & 0x80) {
            if (at + pixelBytes > file.size()) return false;
            const std::uint32_t argb = colour(file.data() + at);
            at += pixelBytes;
            for (std::uint32_t i = 0; i < count; ++i) put(argb);
        } else {
            if (at + std::size_t(count) * pixelBytes > file.size()) return false;
            for (std::uint32_t i = 0; i < count; ++i) {
                put(colour(file.data() + at));
                at += pixelBytes;
            }
        }
    }
    return true;
}

}  // namespace image

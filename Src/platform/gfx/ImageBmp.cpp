// BMP: the file header, an info header of 12 (OS/2 core), 40, 108 or 124
// bytes, 1/4/8-bit palettes, 16-bit (555 or bit fields), 24- and 32-bit
// pixels, RLE8 and RLE4, bottom-up and top-down rows padded to 4 bytes.
#include <algorithm>
#include <cstring>

#include "platform/gfx/ImageReaders.h"

namespace image {

MaskChannel::MaskChannel(std::uint32_t mask) : mask_(mask) {
    if (!mask) return;
    while (!((mask >> shift_) & 1)) ++shift_;
    std::uint32_t top = mask >> shift_;
    while (top) {
        ++width_;
        top >>= 1;
    }
}

std::uint32_t MaskChannel::read(std::uint32_t pixel) const {
    if (!mask_) return 0;
    std::uint32_t value = (pixel & mask_) >> shift_;
    if (width_ >= 8) return (value >> (width_ - 8)) & 0xFF;
    std::uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << width_) | value;
        filled += int(width_);
    }
    return (out >> (filled - 8)) & 0xFF;
}

namespace {
constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

struct BmpInfo {
    std::uint32_t width = 0, height = 0;
    bool topDown = false;
    std::uint32_t bits = 0, compression = kRgb;
    std::uint32_t dataOffset = 0;
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
    std::size_t paletteOffset = 0;
    std::uint32_t paletteCount = 0, paletteEntry = 4;
};

bool parse(Bytes file, BmpInfo& bmp) {
    if (file.size() < 18 || file[0] != 'B' || file[1] != 'M') return false;
    const std::uint8_t* p = file.data();
    bmp.dataOffset = read32(p + 10);
    const std::uint32_t headerSize = read32(p + 14);
    if (headerSize != 12 && headerSize != 40 && headerSize != 108 && headerSize != 124) return false;
    if (file.size() < 14 + std::size_t(headerSize)) return false;
    const std::uint8_t* h = p + 14;
    std::int64_t width, height;
    std::uint32_t planes;
    if (headerSize == 12) {
        width = read16(h + 4);
        height = read16(h + 6);
        planes = read16(h + 8);
        bmp.bits = read16(h + 10);
        bmp.paletteEntry = 3;
    } else {
        width = std::int32_t(read32(h + 4));
        height = std::int32_t(read32(h + 8));
        planes = read16(h + 12);
        bmp.bits = read16(h + 14);
        bmp.compression = read32(h + 16);
        bmp.paletteCount = read32(h + 32);
    }
    if (planes != 1) return false;
    if (height < 0) {
        bmp.topDown = true;
        height = -height;
    }
    if (!sideAllowed(std::uint64_t(width < 0 ? 0 : width)) || !sideAllowed(std::uint64_t(height))) return false;
    bmp.width = std::uint32_t(width);
    bmp.height = std::uint32_t(height);

    std::size_t afterHeader = 14 + std::size_t(headerSize);
    switch (bmp.compression) {
    case kRgb:
        if (bmp.bits != 1 && bmp.bits != 4 && bmp.bits != 8 && bmp.bits != 16 && bmp.bits != 24 && bmp.bits != 32)
            return false;
        if (bmp.bits == 16) {
            bmp.red = 0x7C00;
            bmp.green = 0x03E0;
            bmp.blue = 0x001F;
        } else if (bmp.bits == 32) {
            // Without bit fields the fourth byte is unused: no alpha.
            bmp.red = 0xFF0000;
            bmp.green = 0xFF00;
            bmp.blue = 0xFF;
        }
        break;
    case kRle8:
    case kRle4:
        if (bmp.bits != (bmp.compression == kRle8 ? 8u : 4u) || bmp.topDown) return false;
        break;
    case kBitFields:
    case kAlphaBitFields: {
        if (bmp.bits != 16 && bmp.bits != 32) return false;
        const bool withAlpha = bmp.compression == kAlphaBitFields || headerSize >= 108;
        const std::size_t maskBytes = withAlpha ? 16 : 12;
        // A 40-byte header is followed by its masks; the larger ones hold them.
        const std::size_t masksAt = headerSize == 40 ? afterHeader : 14 + 40;
        if (headerSize == 12 || file.size() < masksAt + maskBytes) return false;
        bmp.red = read32(p + masksAt);
        bmp.green = read32(p + masksAt + 4);
        bmp.blue = read32(p + masksAt + 8);
        bmp.alpha = withAlpha ? read32(p + masksAt + 12) : 0;
        if (headerSize == 40) afterHeader += maskBytes;
        const std::uint32_t limit = bmp.bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        if ((bmp.red | bmp.green | bmp.blue | bmp.alpha) & ~limit) return false;
        if (!(bmp.red | bmp.green | bmp.blue)) return false;
        break;
    }
    default:
        return false;
    }

    if (bmp.bits <= 8) {
        const std::uint32_t most = 1u << bmp.bits;
        if (bmp.paletteCount == 0 || bmp.paletteCount > most) bmp.paletteCount = most;
        bmp.paletteOffset = afterHeader;
        // The palette must lie in the file: a count the file cannot hold is
        // cut to the entries that are there, and at least one must be.
        const std::size_t room = file.size() > afterHeader ? (file.size() - afterHeader) / bmp.paletteEntry : 0;
        bmp.paletteCount = std::uint32_t(std::min<std::size_t>(bmp.paletteCount, room));
        if (bmp.paletteCount == 0) return false;
    }
    if (bmp.dataOffset >= file.size()) return false;
    if (bmp.compression != kRle8 && bmp.compression != kRle4) {
        const std::uint64_t stride = ((std::uint64_t(bmp.width) * bmp.bits + 31) / 32) * 4;
        if (bmp.dataOffset + stride * bmp.height > file.size()) return false;
    }
    return true;
}

std::uint32_t paletteColour(Bytes file, const BmpInfo& bmp, std::uint32_t index) {
    if (index >= bmp.paletteCount) return 0xFF000000u;
    const std::uint8_t* e = file.data() + bmp.paletteOffset + std::size_t(index) * bmp.paletteEntry;
    return D3DCOLOR_XRGB(e[2], e[1], e[0]);
}

bool decodePlain(Bytes file, const BmpInfo& bmp, const PixelTarget& target) {
    const std::uint64_t stride = ((std::uint64_t(bmp.width) * bmp.bits + 31) / 32) * 4;
    const MaskChannel red(bmp.red), green(bmp.green), blue(bmp.blue), alpha(bmp.alpha);
    for (std::uint32_t y = 0; y < bmp.height; ++y) {
        const std::uint8_t* src = file.data() + bmp.dataOffset + stride * y;
        std::uint32_t* out = target.row(bmp.topDown ? y : bmp.height - 1 - y);
        for (std::uint32_t x = 0; x < bmp.width; ++x) {
            std::uint32_t colour;
            switch (bmp.bits) {
            case 1:
                colour = paletteColour(file, bmp, (src[x >> 3] >> (7 - (x & 7))) & 1);
                break;
            case 4:
                colour = paletteColour(file, bmp, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
                break;
            case 8:
                colour = paletteColour(file, bmp, src[x]);
                break;
            case 24:
                colour = D3DCOLOR_XRGB(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]);
                break;
            default: {
                const std::uint32_t pixel = bmp.bits == 16 ? read16(src + x * 2) : read32(src + x * 4);
                const std::uint32_t a = alpha.present() ? alpha.read(pixel) : 0xFF;
                colour = D3DCOLOR_ARGB(a, red.read(pixel), green.read(pixel), blue.read(pixel));
            }
            }
            out[x] = colour;
        }
    }
    return true;
}

// RLE8 and RLE4: runs and literal strings clipped to the row, end-of-line,
// end-of-bitmap and delta escapes. Pixels no code reaches are palette entry
// 0's colour. A file that runs out before its end-of-bitmap is refused.
bool decodeRle(Bytes file, const BmpInfo& bmp, const PixelTarget& target) {
    const std::uint32_t background = paletteColour(file, bmp, 0);
    for (std::uint32_t y = 0; y < bmp.height; ++y) std::fill_n(target.row(y), bmp.width, background);
    const bool four = bmp.compression == kRle4;
    std::size_t at = bmp.dataOffset;
    std::uint32_t x = 0, y = 0;
    auto put = [&](std::uint32_t index) {
        if (x < bmp.width && y < bmp.height) target.row(bmp.height - 1 - y)[x] = paletteColour(file, bmp, index);
        ++x;
    };
    while (y < bmp.height) {
        if (at + 2 > file.size()) return false;
        const std::uint8_t count = file[at], code = file[at + 1];
        at += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count; ++i) put(four ? ((i & 1) ? code & 15 : code >> 4) : code);
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (at + 2 > file.size()) return false;
            x += file[at];
            y += file[at + 1];
            at += 2;
        } else {
            const std::size_t bytes = four ? (code + 1u) / 2 : code;
            const std::size_t padded = (bytes + 1) & ~std::size_t(1);
            if (at + padded > file.size()) return false;
            for (std::uint32_t i = 0; i < code; ++i) {
                const std::uint8_t b = file[at + (four ? i / 2 : i)];
                put(four ? ((i & 1) ? b & 15 : b >> 4) : b);
            }
            at += padded;
        }
    }
    // The rows are full: what follows is not needed.
    return true;
}
}  // namespace

bool readBmpHeader(Bytes file, ImageHeader& header) {
    BmpInfo bmp;
    if (!parse(file, bmp)) return false;
    header.info = D3DXIMAGE_INFO{};
    header.info.Width = bmp.width;
    header.info.Height = bmp.height;
    header.info.Depth = 1;
    header.info.MipLevels = 1;
    header.hasAlpha = bmp.alpha != 0;
    header.info.Format = header.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    header.info.ResourceType = D3DRTYPE_TEXTURE;
    header.info.ImageFileFormat = D3DXIFF_BMP;
    return true;
}

bool decodeBmp(Bytes file, const PixelTarget& target) {
    BmpInfo bmp;
    if (!parse(file, bmp) || bmp.width != target.width || bmp.height != target.height) return false;
    if (bmp.compression == kRle8 || bmp.compression == kRle4) return decodeRle(file, bmp, target);
    return decodePlain(file, bmp, target);
}

}  // namespace image

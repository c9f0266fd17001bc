// DDS: the magic "DDS ", a 124-byte header (height at file offset 12, width
// at 16, mip count at 28, pixel format at 76, caps2 at 112) and the levels
// from byte 128. The pitch field is not trusted: each level's size follows
// from its format and extent. Cube maps, volumes and "DX10" files are refused.
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/ImageReaders.h"

namespace image {
namespace {
constexpr std::uint32_t kHeaderSize = 124;
constexpr std::size_t kDataOffset = 128;
constexpr std::uint32_t kAlphaPixels = 0x1, kAlphaOnly = 0x2, kFourCC = 0x4, kRgb = 0x40, kLuminance = 0x20000;
constexpr std::uint32_t kCaps2CubeMap = 0x200, kCaps2Volume = 0x200000;

struct Masks {
    std::uint32_t bits, red, green, blue, alpha;
    bool operator==(const Masks&) const = default;
};

// Layouts the texture keeps as stored.
struct KeptLayout {
    Masks masks;
    D3DFORMAT format;
};
constexpr KeptLayout kKept[] = {
    {{32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_A8R8G8B8},
    {{32, 0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8},
    {{16, 0xF800, 0x07E0, 0x001F, 0}, D3DFMT_R5G6B5},
    {{16, 0x7C00, 0x03E0, 0x001F, 0x8000}, D3DFMT_A1R5G5B5},
    {{16, 0x7C00, 0x03E0, 0x001F, 0}, D3DFMT_X1R5G5B5},
    {{16, 0x0F00, 0x00F0, 0x000F, 0xF000}, D3DFMT_A4R4G4B4},
};
// Converted layouts that have a Direct3D name, for the image info.
constexpr KeptLayout kNamed[] = {
    {{24, 0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_R8G8B8},
    {{32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}, D3DFMT_A8B8G8R8},
    {{32, 0xFF, 0xFF00, 0xFF0000, 0}, D3DFMT_X8B8G8R8},
    {{16, 0x0F00, 0x00F0, 0x000F, 0}, D3DFMT_X4R4G4B4},
};

D3DFORMAT namedFormat(const KeptLayout* table, std::size_t count, const Masks& masks) {
    for (std::size_t i = 0; i < count; ++i)
        if (table[i].masks == masks) return table[i].format;
    return D3DFMT_UNKNOWN;
}
}  // namespace

bool readDdsLayout(Bytes file, DdsLayout& layout) {
    if (file.size() < kDataOffset || read32(file.data()) != makeFourCC('D', 'D', 'S', ' ')) return false;
    const std::uint8_t* p = file.data();
    if (read32(p + 4) != kHeaderSize || read32(p + 76) != 32) return false;
    const std::uint32_t height = read32(p + 12), width = read32(p + 16);
    if (!sideAllowed(width) || !sideAllowed(height)) return false;
    if (read32(p + 112) & (kCaps2CubeMap | kCaps2Volume)) return false;
    const std::uint32_t full = fullMipCount(width, height);
    std::uint32_t mips = read32(p + 28);
    if (mips == 0) mips = 1;
    if (mips > full) return false;

    const std::uint32_t flags = read32(p + 80);
    layout = DdsLayout{};
    D3DFORMAT fileFormat = D3DFMT_UNKNOWN;
    if (flags & kFourCC) {
        const std::uint32_t fourCC = read32(p + 84);
        if (fourCC != D3DFMT_DXT1 && fourCC != D3DFMT_DXT2 && fourCC != D3DFMT_DXT3 && fourCC != D3DFMT_DXT4 &&
            fourCC != D3DFMT_DXT5)
            return false;  // "DX10" and every other code
        fileFormat = layout.storedFormat = layout.textureFormat = D3DFORMAT(fourCC);
    } else {
        const std::uint32_t bits = read32(p + 88);
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
        const bool hasAlpha = (flags & (kAlphaPixels | kAlphaOnly)) != 0;
        const bool luminance = (flags & kLuminance) != 0;
        const bool alphaOnly = (flags & kAlphaOnly) && !(flags & (kRgb | kLuminance));
        if (!(flags & (kRgb | kLuminance | kAlphaOnly))) return false;
        Masks masks{bits, alphaOnly ? 0 : read32(p + 92), (alphaOnly || luminance) ? 0 : read32(p + 96),
                    (alphaOnly || luminance) ? 0 : read32(p + 100), hasAlpha ? read32(p + 104) : 0};
        const std::uint64_t limit = (std::uint64_t(1) << bits) - 1;
        if ((std::uint64_t(masks.red) | masks.green | masks.blue | masks.alpha) > limit) return false;
        if (!(masks.red | masks.green | masks.blue | masks.alpha)) return false;
        const std::size_t keptCount = sizeof kKept / sizeof kKept[0];
        if (!luminance && (fileFormat = namedFormat(kKept, keptCount, masks)) != D3DFMT_UNKNOWN) {
            layout.storedFormat = layout.textureFormat = fileFormat;
        } else {
            if (luminance) {
                fileFormat = bits == 8 && masks.red == 0xFF && !masks.alpha     ? D3DFMT_L8
                             : bits == 16 && masks.red == 0xFF && masks.alpha == 0xFF00 ? D3DFMT_A8L8
                                                                                       : D3DFMT_UNKNOWN;
            } else if (alphaOnly) {
                fileFormat = bits == 8 && masks.alpha == 0xFF ? D3DFMT_A8 : D3DFMT_UNKNOWN;
            } else {
                fileFormat = namedFormat(kNamed, sizeof kNamed / sizeof kNamed[0], masks);
            }
            layout.storedFormat = D3DFMT_UNKNOWN;
            layout.textureFormat = masks.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
            layout.bytesPerPixel = bits / 8;
            layout.red = MaskChannel(masks.red);
            layout.green = MaskChannel(masks.green);
            layout.blue = MaskChannel(masks.blue);
            layout.alpha = MaskChannel(masks.alpha);
            layout.luminance = luminance;
        }
    }

    // Every level the file declares must be there.
    std::size_t at = kDataOffset;
    for (std::uint32_t level = 0; level < mips; ++level) {
        const std::uint32_t w = levelExtent(width, level), h = levelExtent(height, level);
        const std::uint64_t bytes = layout.storedFormat != D3DFMT_UNKNOWN
                                        ? levelBytes(layout.storedFormat, w, h)
                                        : std::uint64_t(w) * h * layout.bytesPerPixel;
        if (bytes > file.size() - at) return false;
        layout.levelOffset[level] = at;
        layout.levelSize[level] = std::size_t(bytes);
        at += std::size_t(bytes);
    }
    layout.levelCount = mips;
    layout.info.Width = width;
    layout.info.Height = height;
    layout.info.Depth = 1;
    layout.info.MipLevels = mips;
    layout.info.Format = fileFormat;
    layout.info.ResourceType = D3DRTYPE_TEXTURE;
    layout.info.ImageFileFormat = D3DXIFF_DDS;
    return true;
}

void convertDdsRow(const DdsLayout& layout, const std::uint8_t* stored, std::uint32_t width, std::uint32_t* argb) {
    const std::uint32_t bytes = layout.bytesPerPixel;
    for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint8_t* s = stored + std::size_t(x) * bytes;
        std::uint32_t pixel = 0;
        for (std::uint32_t i = 0; i < bytes; ++i) pixel |= std::uint32_t(s[i]) << (8 * i);
        const std::uint32_t a = layout.alpha.present() ? layout.alpha.read(pixel) : 0xFF;
        const std::uint32_t r = layout.red.read(pixel);
        const std::uint32_t g = layout.luminance ? r : layout.green.read(pixel);
        const std::uint32_t b = layout.luminance ? r : layout.blue.read(pixel);
        argb[x] = D3DCOLOR_ARGB(a, r, g, b);
    }
}

}  // namespace image

// The readers behind D3DXImage: one per file kind, each checking every field
// against the file before it reads. A reader's header step says what the
// picture is; its decode step writes the picture's pixels into rows of 32-bit
// A8R8G8B8 (alpha 255 where the picture has none), rows top first, nothing
// outside width x height and nothing read past the file's end. Both steps
// answer false for a file they refuse.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/gfx/D3DXImage.h"

namespace image {

using Bytes = std::span<const std::uint8_t>;

// Where a picture's pixels go: the locked level 0 of its texture.
struct PixelTarget {
    std::uint8_t* bits = nullptr;
    std::int32_t pitch = 0;
    std::uint32_t width = 0, height = 0;
    std::uint32_t* row(std::uint32_t y) const {
        return reinterpret_cast<std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(pitch) * y);
    }
};

// What a header tells: the image info and whether the picture carries alpha.
struct ImageHeader {
    D3DXIMAGE_INFO info;
    bool hasAlpha = false;
};

inline std::uint16_t read16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t read32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline bool sideAllowed(std::uint64_t side) { return side >= 1 && side <= kMaxImageSide; }

// One channel of a pixel under a bit mask, widened to 8 bits by repeating its
// bits (5 bits 10110 become 10110101), as the 16-bit formats widen; a channel
// of more than 8 bits keeps its top 8.
class MaskChannel {
public:
    MaskChannel() = default;
    explicit MaskChannel(std::uint32_t mask);
    bool present() const { return mask_ != 0; }
    std::uint32_t read(std::uint32_t pixel) const;

private:
    std::uint32_t mask_ = 0, shift_ = 0, width_ = 0;
};

bool readBmpHeader(Bytes file, ImageHeader& header);
bool decodeBmp(Bytes file, const PixelTarget& target);
bool readTgaHeader(Bytes file, ImageHeader& header);
bool decodeTga(Bytes file, const PixelTarget& target);
bool readPngHeader(Bytes file, ImageHeader& header);
bool decodePng(Bytes file, const PixelTarget& target);
bool readJpegHeader(Bytes file, ImageHeader& header);
bool decodeJpeg(Bytes file, const PixelTarget& target);

// A DDS file: its format as stored, what the texture holds, and where its
// levels lie (from byte 128, level after level, each of the size its format
// and extent give; the file's pitch field is not trusted).
struct DdsLayout {
    D3DXIMAGE_INFO info;
    D3DFORMAT storedFormat = D3DFMT_UNKNOWN;  // DXTn or the kept format; UNKNOWN: converted
    D3DFORMAT textureFormat = D3DFMT_UNKNOWN;
    std::uint32_t bytesPerPixel = 0;           // of a converted layout
    MaskChannel red, green, blue, alpha;       // of a converted layout
    bool luminance = false;                    // red's mask gives all three colours
    std::uint32_t levelCount = 1;
    std::size_t levelOffset[32] = {};
    std::size_t levelSize[32] = {};
};
bool readDdsLayout(Bytes file, DdsLayout& layout);
// A converted layout's row of stored pixels as A8R8G8B8.
void convertDdsRow(const DdsLayout& layout, const std::uint8_t* stored, std::uint32_t width, std::uint32_t* argb);

}  // namespace image

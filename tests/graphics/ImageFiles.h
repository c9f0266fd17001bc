// Small image files written by the tests, byte by byte (BMP, TGA, DDS) or
// through libpng and libjpeg (PNG, JPEG), from A8R8G8B8 pixels, rows top first.
#pragma once
#include <cstdint>
#include <vector>

using Pixels = std::vector<std::uint32_t>;
using FileBytes = std::vector<std::uint8_t>;

namespace files {
// Uncompressed BMP, 40-byte header: 24 or 32 bits (32 with an alpha mask
// when `alphaMask`), bottom-up unless `topDown`.
FileBytes bmp(std::uint32_t width, std::uint32_t height, const Pixels& pixels, std::uint32_t bits,
              bool topDown = false, bool alphaMask = false);
// 8-bit palette BMP (the pixels are palette indices), optional RLE8.
FileBytes bmpPalette(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& indices,
                     const Pixels& palette, bool rle8 = false);
// TGA type 2 (or 10 when `rle`), 24 or 32 bits (32 with 8 attribute bits),
// bottom-up unless `topDown`.
FileBytes tga(std::uint32_t width, std::uint32_t height, const Pixels& pixels, std::uint32_t bits, bool rle,
              bool topDown = false);
// DDS with the given pixel format block and level data as given.
FileBytes dds(std::uint32_t width, std::uint32_t height, std::uint32_t mipCount, std::uint32_t pfFlags,
              std::uint32_t fourCC, std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
              std::uint32_t a, const FileBytes& data, std::uint32_t caps2 = 0);
// DDS A8R8G8B8 of the pixels, one level.
FileBytes ddsArgb(std::uint32_t width, std::uint32_t height, const Pixels& pixels);
// PNG: colour type and depth as libpng writes them from the pixels; for
// palette files the pixels must use at most 256 colours and tRNS carries
// their alpha. `grey16`: 16-bit grey from the pixels' blue channel × 257 + ...
// (see the .cpp). `interlace`: Adam7.
enum class PngKind { Rgba, Rgb, PaletteTrns, Grey16, Grey2 };
FileBytes png(std::uint32_t width, std::uint32_t height, const Pixels& pixels, PngKind kind,
              bool interlace = false, const std::vector<std::uint16_t>* grey16 = nullptr);
// JPEG of the pixels at quality 100 (3 components), or grey, or CMYK.
enum class JpegKind { Colour, Grey, Cmyk };
FileBytes jpeg(std::uint32_t width, std::uint32_t height, const Pixels& pixels, JpegKind kind = JpegKind::Colour);
}  // namespace files

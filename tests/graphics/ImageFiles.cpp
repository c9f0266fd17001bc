#include "graphics/ImageFiles.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace files {
namespace {
void put16(FileBytes& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void put32(FileBytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void set32(FileBytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = std::uint8_t(v >> (8 * i));
}

FileBytes bmpHeaders(std::uint32_t width, std::int32_t height, std::uint32_t bits, std::uint32_t compression,
                     std::uint32_t colours, std::size_t extra) {
    FileBytes out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 0);
    put32(out, 0);
    put32(out, std::uint32_t(14 + 40 + extra));
    put32(out, 40);
    put32(out, width);
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, bits);
    put32(out, compression);
    put32(out, 0);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, colours);
    put32(out, 0);
    return out;
}
}  // namespace

FileBytes bmp(std::uint32_t width, std::uint32_t height, const Pixels& pixels, std::uint32_t bits, bool topDown,
              bool alphaMask) {
    FileBytes out = bmpHeaders(width, topDown ? -std::int32_t(height) : std::int32_t(height), bits,
                               alphaMask ? 6u : 0u, 0, alphaMask ? 16 : 0);
    if (alphaMask) {
        put32(out, 0xFF0000);
        put32(out, 0xFF00);
        put32(out, 0xFF);
        put32(out, 0xFF000000);
    }
    const std::size_t stride = ((width * bits + 31) / 32) * 4;
    for (std::uint32_t r = 0; r < height; ++r) {
        const std::uint32_t y = topDown ? r : height - 1 - r;
        FileBytes row(stride, 0);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[y * width + x];
            for (std::uint32_t i = 0; i < bits / 8; ++i) row[x * (bits / 8) + i] = std::uint8_t(p >> (8 * i));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

FileBytes bmpPalette(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& indices,
                     const Pixels& palette, bool rle8) {
    FileBytes out = bmpHeaders(width, std::int32_t(height), 8, rle8 ? 1 : 0, std::uint32_t(palette.size()),
                               palette.size() * 4);
    for (std::uint32_t c : palette) put32(out, c & 0xFFFFFF);
    for (std::uint32_t r = 0; r < height; ++r) {
        const std::uint32_t y = height - 1 - r;
        if (rle8) {
            // Runs of equal indices, then end of line.
            std::uint32_t x = 0;
            while (x < width) {
                std::uint32_t n = 1;
                while (x + n < width && n < 255 && indices[y * width + x + n] == indices[y * width + x]) ++n;
                out.push_back(std::uint8_t(n));
                out.push_back(indices[y * width + x]);
                x += n;
            }
            out.push_back(0);
            out.push_back(r + 1 == height ? 1 : 0);
        } else {
            const std::size_t stride = (width + 3) & ~3u;
            FileBytes row(stride, 0);
            for (std::uint32_t x = 0; x < width; ++x) row[x] = indices[y * width + x];
            out.insert(out.end(), row.begin(), row.end());
        }
    }
    return out;
}

FileBytes tga(std::uint32_t width, std::uint32_t height, const Pixels& pixels, std::uint32_t bits, bool rle,
              bool topDown) {
    FileBytes out(18, 0);
    out[2] = rle ? 10 : 2;
    out[12] = std::uint8_t(width);
    out[13] = std::uint8_t(width >> 8);
    out[14] = std::uint8_t(height);
    out[15] = std::uint8_t(height >> 8);
    out[16] = std::uint8_t(bits);
    out[17] = std::uint8_t((bits == 32 ? 8 : 0) | (topDown ? 0x20 : 0));
    std::vector<std::uint32_t> order;
    for (std::uint32_t r = 0; r < height; ++r) {
        const std::uint32_t y = topDown ? r : height - 1 - r;
        for (std::uint32_t x = 0; x < width; ++x) order.push_back(pixels[y * width + x]);
    }
    auto putPixel = [&](std::uint32_t p) {
        for (std::uint32_t i = 0; i < bits / 8; ++i) out.push_back(std::uint8_t(p >> (8 * i)));
    };
    if (!rle) {
        for (std::uint32_t p : order) putPixel(p);
        return out;
    }
    // Runs across rows wherever equal pixels follow each other.
    std::size_t i = 0;
    while (i < order.size()) {
        std::size_t n = 1;
        while (i + n < order.size() && n < 128 && order[i + n] == order[i]) ++n;
        if (n > 1) {
            out.push_back(std::uint8_t(0x80 | (n - 1)));
            putPixel(order[i]);
        } else {
            out.push_back(0);
            putPixel(order[i]);
        }
        i += n;
    }
    return out;
}

FileBytes dds(std::uint32_t width, std::uint32_t height, std::uint32_t mipCount, std::uint32_t pfFlags,
              std::uint32_t fourCC, std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
              std::uint32_t a, const FileBytes& data, std::uint32_t caps2) {
    FileBytes out(128 + data.size(), 0);
    std::memcpy(out.data(), "DDS ", 4);
    std::copy(data.begin(), data.end(), out.begin() + 128);
    set32(out, 4, 124);
    set32(out, 8, 0x1007 | (mipCount > 1 ? 0x20000 : 0));
    set32(out, 12, height);
    set32(out, 16, width);
    set32(out, 20, 12345);  // a pitch that is wrong on purpose: it is not read
    set32(out, 28, mipCount);
    set32(out, 76, 32);
    set32(out, 80, pfFlags);
    set32(out, 84, fourCC);
    set32(out, 88, bits);
    set32(out, 92, r);
    set32(out, 96, g);
    set32(out, 100, b);
    set32(out, 104, a);
    set32(out, 108, 0x1000);
    set32(out, 112, caps2);
    return out;
}

FileBytes ddsArgb(std::uint32_t width, std::uint32_t height, const Pixels& pixels) {
    FileBytes data;
    for (std::uint32_t p : pixels) put32(data, p);
    return dds(width, height, 1, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, data);
}

namespace {
void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}
void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<FileBytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void pngFlush(png_structp) {}
}  // namespace

FileBytes png(std::uint32_t width, std::uint32_t height, const Pixels& pixels, PngKind kind, bool interlace,
              const std::vector<std::uint16_t>* grey16) {
    FileBytes out;
    // Rows in the file's own layout, built before libpng runs.
    std::vector<FileBytes> rows(height);
    volatile int colourType = PNG_COLOR_TYPE_RGB_ALPHA, depth = 8;
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    std::map<std::uint32_t, int> indexOf;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = pixels.empty() ? 0 : pixels[y * width + x];
            const std::uint8_t a = p >> 24, r = p >> 16, g = p >> 8, b = p;
            FileBytes& row = rows[y];
            switch (kind) {
            case PngKind::Rgba:
                row.insert(row.end(), {r, g, b, a});
                break;
            case PngKind::Rgb:
                colourType = PNG_COLOR_TYPE_RGB;
                row.insert(row.end(), {r, g, b});
                break;
            case PngKind::PaletteTrns: {
                colourType = PNG_COLOR_TYPE_PALETTE;
                auto found = indexOf.find(p);
                if (found == indexOf.end()) {
                    found = indexOf.emplace(p, int(palette.size())).first;
                    palette.push_back(png_color{r, g, b});
                    alphas.push_back(a);
                }
                row.push_back(std::uint8_t(found->second));
                break;
            }
            case PngKind::Grey16: {
                colourType = PNG_COLOR_TYPE_GRAY;
                depth = 16;
                const std::uint16_t v = (*grey16)[y * width + x];
                row.insert(row.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
                break;
            }
            case PngKind::Grey2: {
                colourType = PNG_COLOR_TYPE_GRAY;
                depth = 2;
                if (x % 4 == 0) row.push_back(0);
                row.back() |= std::uint8_t((b >> 6) << (6 - 2 * (x % 4)));
                break;
            }
            }
        }
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png");
    }
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    png_set_IHDR(png, info, width, height, depth, colourType, interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (kind == PngKind::PaletteTrns) {
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
        png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (FileBytes& row : rows) pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

FileBytes jpeg(std::uint32_t width, std::uint32_t height, const Pixels& pixels, JpegKind kind) {
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = kind == JpegKind::Colour ? 3 : kind == JpegKind::Grey ? 1 : 4;
    c.in_color_space = kind == JpegKind::Colour ? JCS_RGB : kind == JpegKind::Grey ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(std::size_t(width) * c.input_components);
    while (c.next_scanline < height) {
        const std::uint32_t y = c.next_scanline;
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[y * width + x];
            if (kind == JpegKind::Grey) {
                row[x] = std::uint8_t(p);
            } else {
                row[x * c.input_components + 0] = std::uint8_t(p >> 16);
                row[x * c.input_components + 1] = std::uint8_t(p >> 8);
                row[x * c.input_components + 2] = std::uint8_t(p);
                if (kind == JpegKind::Cmyk) row[x * 4 + 3] = 0;
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    FileBytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}
}  // namespace files

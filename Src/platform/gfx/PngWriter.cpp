#include "platform/gfx/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/gfx/GfxFormat.h"

HRESULT readTextureLevel(GfxTexture* texture, std::uint32_t level, std::vector<std::uint32_t>& argb,
                         std::uint32_t& width, std::uint32_t& height) {
    if (!texture) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (HRESULT hr = texture->getLevelDesc(level, &desc); FAILED(hr)) return hr;
    const std::uint32_t bits = bitsPerPixel(desc.Format);
    const bool compressed = isBlockCompressed(desc.Format);
    if (!compressed && bits != 8 && bits != 16 && bits != 24 && bits != 32) return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    if (HRESULT hr = texture->lockRect(level, &locked, nullptr, D3DLOCK_READONLY); FAILED(hr)) return hr;
    width = desc.Width;
    height = desc.Height;
    argb.assign(std::size_t(width) * height, 0);
    const auto* bytes = static_cast<const std::uint8_t*>(locked.pBits);
    if (compressed) {
        // The blocks gathered from their rows (the pitch may pad them).
        const std::uint32_t pitch = rowPitch(desc.Format, width), rows = rowCount(desc.Format, height);
        std::vector<std::uint8_t> blocks(std::size_t(pitch) * rows);
        for (std::uint32_t r = 0; r < rows; ++r)
            std::memcpy(blocks.data() + std::size_t(pitch) * r, bytes + std::ptrdiff_t(locked.Pitch) * r, pitch);
        decodeBlockCompressed(desc.Format, blocks.data(), width, height, argb.data());
    } else {
        const std::uint32_t size = bits / 8;
        for (std::uint32_t y = 0; y < height; ++y) {
            const std::uint8_t* row = bytes + std::ptrdiff_t(locked.Pitch) * y;
            for (std::uint32_t x = 0; x < width; ++x) {
                std::uint32_t pixel = 0;
                for (std::uint32_t i = 0; i < size; ++i) pixel |= std::uint32_t(row[x * size + i]) << (8 * i);
                argb[std::size_t(y) * width + x] = decodePixel(desc.Format, pixel);
            }
        }
    }
    texture->unlockRect(level);
    return D3D_OK;
}

namespace {
void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}
void writeToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void flushNothing(png_structp) {}

// Holds only plain values: libpng's errors longjmp back into it.
bool writeRows(png_structp png, png_infop info, std::uint32_t width, std::uint32_t height, const std::uint32_t* argb,
               std::vector<std::uint8_t>* out, std::uint8_t* row, bool alpha) {
    png_set_write_fn(png, out, writeToVector, flushNothing);
    png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::uint32_t channels = alpha ? 4 : 3;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t p = argb[std::size_t(y) * width + x];
            std::uint8_t* out8 = row + std::size_t(x) * channels;
            out8[0] = std::uint8_t(p >> 16);
            out8[1] = std::uint8_t(p >> 8);
            out8[2] = std::uint8_t(p);
            if (alpha) out8[3] = std::uint8_t(p >> 24);
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}
}  // namespace

namespace {
bool encodePng(std::uint32_t width, std::uint32_t height, const std::uint32_t* argb, std::vector<std::uint8_t>& out,
               bool alpha) {
    out.clear();
    if (width == 0 || height == 0 || !argb) return false;
    std::vector<std::uint8_t> row(std::size_t(width) * 4);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    volatile bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0)
        ok = writeRows(png, info, width, height, argb, &out, row.data(), alpha);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) out.clear();
    return ok;
}
}  // namespace

bool encodePngRgba(std::uint32_t width, std::uint32_t height, const std::uint32_t* argb,
                   std::vector<std::uint8_t>& out) {
    return encodePng(width, height, argb, out, true);
}

bool encodePngRgb(std::uint32_t width, std::uint32_t height, const std::uint32_t* argb,
                  std::vector<std::uint8_t>& out) {
    return encodePng(width, height, argb, out, false);
}

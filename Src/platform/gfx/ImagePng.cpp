// PNG through libpng: palettes, tRNS and grey depths below 8 expanded, 16-bit
// samples scaled to 8 (rounded; the simplified png_image API would treat them
// as linear light), interlaced files combined pass by pass, no gamma
// correction. Rows are written straight into the locked texture as B, G, R, A.
//
// libpng reports errors by longjmp back to the setjmp below: the functions
// that call setjmp hold only plain values, so the jump skips no destructor.
// Warnings are dropped.
#include <png.h>

#include <csetjmp>

#include "platform/gfx/ImageReaders.h"

namespace image {
namespace {
struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at) png_error(png, "truncated");
    for (png_size_t i = 0; i < length; ++i) out[i] = source->data[source->at + i];
    source->at += length;
}

void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

bool isPng(Bytes file) { return file.size() >= 8 && png_sig_cmp(file.data(), 0, 8) == 0; }

// Reads up to the first image data: size, colour type, tRNS. Leaves the
// structs for the caller to free.
bool startRead(png_structp png, png_infop info, PngSource* source, std::uint32_t* width, std::uint32_t* height,
               bool* alpha) {
    png_set_read_fn(png, source, readFromMemory);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    *alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    return sideAllowed(*width) && sideAllowed(*height);
}

bool headerOf(Bytes file, std::uint32_t* width, std::uint32_t* height, bool* alpha) {
    if (!isPng(file)) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    PngSource source{file.data(), file.size(), 0};
    volatile bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) ok = startRead(png, info, &source, width, height, alpha);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

bool decodeInto(png_structp png, png_infop info, PngSource* source, const PixelTarget* target) {
    std::uint32_t width = 0, height = 0;
    bool alpha = false;
    if (!startRead(png, info, source, &width, &height, &alpha)) return false;
    if (width != target->width || height != target->height) return false;
    const int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(width) * 4) return false;
    for (int pass = 0; pass < passes; ++pass) {
        for (std::uint32_t y = 0; y < height; ++y) {
            png_read_row(png, reinterpret_cast<png_bytep>(target->row(y)), nullptr);
        }
    }
    // The end chunks are not read: the picture is complete.
    return true;
}
}  // namespace

bool readPngHeader(Bytes file, ImageHeader& header) {
    std::uint32_t width = 0, height = 0;
    bool alpha = false;
    if (!headerOf(file, &width, &height, &alpha)) return false;
    header.info = D3DXIMAGE_INFO{};
    header.info.Width = width;
    header.info.Height = height;
    header.info.Depth = 1;
    header.info.MipLevels = 1;
    header.hasAlpha = alpha;
    header.info.Format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    header.info.ResourceType = D3DRTYPE_TEXTURE;
    header.info.ImageFileFormat = D3DXIFF_PNG;
    return true;
}

bool decodePng(Bytes file, const PixelTarget& target) {
    if (!isPng(file)) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    PngSource source{file.data(), file.size(), 0};
    volatile bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) ok = decodeInto(png, info, &source, &target);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

}  // namespace image

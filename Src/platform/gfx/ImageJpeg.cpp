// JPEG through libjpeg: grey, YCbCr and RGB files (CMYK and YCCK refused),
// decoded straight into the locked texture as B, G, R, A with alpha 255.
//
// libjpeg's default error_exit ends the process: ours longjmps back to the
// setjmp below, whose function holds only plain values, so the jump skips no
// destructor. Warnings and trace messages are dropped.
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// The message codes (JWRN_JPEG_EOF).
#include <jerror.h>

#include <csetjmp>

#include "platform/gfx/ImageReaders.h"

namespace image {
namespace {
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool truncated;
};

void onError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }
// libjpeg pads a picture whose data ends early (at the file's end, or at a
// marker such as an early end-of-image) with grey and only warns: such a
// file is remembered as truncated and refused.
void onMessage(j_common_ptr info, int level) {
    const int code = info->err->msg_code;
    if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER))
        reinterpret_cast<JpegErrors*>(info->err)->truncated = true;
}
void onOutput(j_common_ptr) {}

bool isJpeg(Bytes file) { return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8; }

bool readHeader(jpeg_decompress_struct* jpeg, Bytes file) {
    jpeg_mem_src(jpeg, file.data(), static_cast<unsigned long>(file.size()));
    if (jpeg_read_header(jpeg, TRUE) != JPEG_HEADER_OK) return false;
    if (jpeg->jpeg_color_space == JCS_CMYK || jpeg->jpeg_color_space == JCS_YCCK) return false;
    if (jpeg->num_components != 1 && jpeg->num_components != 3) return false;
    if (!sideAllowed(jpeg->image_width) || !sideAllowed(jpeg->image_height)) return false;
    // Every 8 x 8 block of the picture takes at least one bit of coded data:
    // a size the file cannot hold is refused before anything is allocated.
    const std::uint64_t blocks = std::uint64_t(jpeg->image_width + 7) / 8 * ((jpeg->image_height + 7) / 8);
    return blocks <= 8 * std::uint64_t(file.size());
}

bool decodeInto(jpeg_decompress_struct* jpeg, Bytes file, const PixelTarget* target) {
    if (!readHeader(jpeg, file)) return false;
    if (jpeg->image_width != target->width || jpeg->image_height != target->height) return false;
    jpeg->out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(jpeg);
    if (jpeg->output_width != target->width || jpeg->output_height != target->height ||
        jpeg->output_components != 4)
        return false;
    while (jpeg->output_scanline < jpeg->output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(target->row(jpeg->output_scanline));
        if (jpeg_read_scanlines(jpeg, &row, 1) != 1) return false;
    }
    // What follows the last scan line is not needed.
    return true;
}

void quietErrors(jpeg_decompress_struct* jpeg, JpegErrors* errors) {
    jpeg->err = jpeg_std_error(&errors->manager);
    errors->manager.error_exit = onError;
    errors->manager.emit_message = onMessage;
    errors->manager.output_message = onOutput;
    errors->truncated = false;
}
}  // namespace

bool readJpegHeader(Bytes file, ImageHeader& header) {
    if (!isJpeg(file)) return false;
    jpeg_decompress_struct jpeg;
    JpegErrors errors;
    quietErrors(&jpeg, &errors);
    volatile bool ok = false;
    volatile std::uint32_t width = 0, height = 0;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&jpeg);
        ok = readHeader(&jpeg, file);
        width = jpeg.image_width;
        height = jpeg.image_height;
    }
    jpeg_destroy_decompress(&jpeg);
    if (!ok) return false;
    header.info = D3DXIMAGE_INFO{};
    header.info.Width = width;
    header.info.Height = height;
    header.info.Depth = 1;
    header.info.MipLevels = 1;
    header.hasAlpha = false;
    header.info.Format = D3DFMT_X8R8G8B8;
    header.info.ResourceType = D3DRTYPE_TEXTURE;
    header.info.ImageFileFormat = D3DXIFF_JPG;
    return true;
}

bool decodeJpeg(Bytes file, const PixelTarget& target) {
    if (!isJpeg(file)) return false;
    jpeg_decompress_struct jpeg;
    JpegErrors errors;
    quietErrors(&jpeg, &errors);
    volatile bool ok = false;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&jpeg);
        ok = decodeInto(&jpeg, file, &target);
    }
    jpeg_destroy_decompress(&jpeg);
    return ok && !errors.truncated;
}

}  // namespace image

#include "support/PngPicture.h"

#include <fstream>
#include <iterator>

#include "platform/gfx/ImageReaders.h"

PngPicture readPngPicture(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    PngPicture picture;
    image::ImageHeader header;
    if (!image::readPngHeader(bytes, header)) return picture;
    picture.width = header.info.Width;
    picture.height = header.info.Height;
    picture.argb.resize(std::size_t(picture.width) * picture.height);
    image::PixelTarget target{reinterpret_cast<std::uint8_t*>(picture.argb.data()),
                              std::int32_t(picture.width * 4), picture.width, picture.height};
    if (!image::decodePng(bytes, target)) picture = PngPicture();
    return picture;
}

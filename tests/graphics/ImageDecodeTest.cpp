// The image decoders behind D3DXCreateTextureFromFileInMemoryEx: each file
// kind and variant to its size, formats and texels; hostile files refused
// with D3DXERR_INVALIDDATA; the colour key; mip chains.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "graphics/ImageFiles.h"
#include "platform/Window.h"
#include "platform/gfx/D3DXImage.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/GfxFormat.h"
#include "platform/gfx/PngWriter.h"
#include "platform/gfx/RecordingDevice.h"
#include "graphics/SmallDevice.h"

namespace {
constexpr D3DCOLOR kKey = 0x00FF00FF;

// 3 x 2: an odd width for row padding, a keyed pixel and an opaque magenta.
const Pixels kPicture = {0xFF102030, 0x80405060, 0x00FF00FF,  //
                         0xFFFF00FF, 0xFF0000FF, 0x7F808080};

class ImageDecode : public ::testing::Test {
protected:
    void SetUp() override {
        createSmallDevice(window, adapter, device);
        if (HasFatalFailure()) return;
        backend.clearCalls();
    }

    HRESULT load(const FileBytes& file, std::uint32_t mips = 1, D3DCOLOR key = kKey) {
        info = D3DXIMAGE_INFO{};
        GfxTexture* made = nullptr;
        HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), std::uint32_t(file.size()),
                                                         D3DX_DEFAULT, D3DX_DEFAULT, mips, 0, D3DFMT_UNKNOWN,
                                                         D3DPOOL_MANAGED, D3DX_FILTER_LINEAR, D3DX_DEFAULT, key,
                                                         &info, nullptr, &made);
        texture = GfxRef<GfxTexture>::adopt(made);
        return hr;
    }
    std::uint32_t texel(std::uint32_t x, std::uint32_t y, std::uint32_t level = 0) {
        std::vector<std::uint32_t> argb;
        std::uint32_t w = 0, h = 0;
        EXPECT_EQ(readTextureLevel(texture.get(), level, argb, w, h), D3D_OK);
        return y < h && x < w ? argb[y * w + x] : 0xDEADBEEF;
    }
    D3DFORMAT textureFormat() {
        D3DSURFACE_DESC desc;
        texture->getLevelDesc(0, &desc);
        return desc.Format;
    }
    FileBytes levelBytes(std::uint32_t level) {
        D3DSURFACE_DESC desc;
        texture->getLevelDesc(level, &desc);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->lockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const auto* p = static_cast<const std::uint8_t*>(locked.pBits);
        FileBytes bytes(p, p + ::levelBytes(desc.Format, desc.Width, desc.Height));
        texture->unlockRect(level);
        return bytes;
    }

    RecordingBackend backend;
    TestWindow window;
    GfxRef<GfxAdapter> adapter;
    GfxRef<GfxDevice> device;
    GfxRef<GfxTexture> texture;
    D3DXIMAGE_INFO info;
};

FileBytes le32(std::initializer_list<std::uint32_t> words) {
    FileBytes out;
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(w >> (8 * i)));
    return out;
}
FileBytes le16(std::initializer_list<std::uint16_t> words) {
    FileBytes out;
    for (std::uint16_t w : words) {
        out.push_back(std::uint8_t(w));
        out.push_back(std::uint8_t(w >> 8));
    }
    return out;
}
// One DXT1 block: colours c0, c1 (565) and 2-bit indices, row 0 in the low byte.
FileBytes dxt1Block(std::uint16_t c0, std::uint16_t c1, std::uint32_t indices) {
    FileBytes out = le16({c0, c1});
    FileBytes idx = le32({indices});
    out.insert(out.end(), idx.begin(), idx.end());
    return out;
}
FileBytes join(std::initializer_list<FileBytes> parts) {
    FileBytes out;
    for (const FileBytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Probe {
    std::uint32_t x, y, argb;
};
struct DecodeCase {
    const char* name;
    std::function<FileBytes()> file;
    std::uint32_t width, height;
    D3DFORMAT format;  // imageInfo.Format (and the texture's, but for converted DDS layouts)
    D3DFORMAT textureFormat;
    D3DXIMAGE_FILEFORMAT fileFormat;
    std::uint32_t levels;
    std::vector<Probe> probes;
    int tolerance = 0;
};
}  // namespace

TEST_F(ImageDecode, EachKindAndVariantGivesItsSizeFormatAndTexels) {
    const std::vector<std::uint8_t> indices = {0, 1, 2, 2, 1, 0};
    const Pixels palette = {0x112233, 0xFF00FF, 0x445566};
    const std::vector<std::uint16_t> grey = {0x0000, 0x12FF, 0xFFFF, 0x8000, 0x00FF, 0x7F7F};
    const Pixels flat(64, 0xFF3366CC);
    const Pixels greys = {0xFF000000, 0xFF404040, 0xFF808080, 0xFFC0C0C0};
    const std::vector<DecodeCase> cases = {
        {"bmp 24-bit bottom-up",
         [&] { return files::bmp(3, 2, kPicture, 24); },
         3, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_BMP, 1,
         {{0, 0, 0xFF102030}, {2, 0, 0xFFFF00FF}, {0, 1, 0xFFFF00FF}, {2, 1, 0xFF808080}}},
        {"bmp 32-bit top-down with alpha mask",
         [&] { return files::bmp(3, 2, kPicture, 32, true, true); },
         3, 2, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DXIFF_BMP, 1,
         {{1, 0, 0x80405060}, {2, 0, 0x00000000}, {0, 1, 0xFFFF00FF}, {2, 1, 0x7F808080}}},
        {"bmp 32-bit without mask has no alpha",
         [&] { return files::bmp(3, 2, kPicture, 32); },
         3, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_BMP, 1,
         {{1, 0, 0xFF405060}, {2, 0, 0xFFFF00FF}}},
        {"bmp 8-bit palette",
         [&] { return files::bmpPalette(3, 2, indices, palette); },
         3, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_BMP, 1,
         {{0, 0, 0xFF112233}, {1, 0, 0xFFFF00FF}, {2, 0, 0xFF445566}, {2, 1, 0xFF112233}}},
        {"bmp 8-bit RLE",
         [&] { return files::bmpPalette(3, 2, indices, palette, true); },
         3, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_BMP, 1,
         {{0, 0, 0xFF112233}, {1, 0, 0xFFFF00FF}, {0, 1, 0xFF445566}, {2, 1, 0xFF112233}}},
        {"bmp 16-bit 555",
         [&] {
             FileBytes f = files::bmp(2, 1, {0, 0}, 16);
             const FileBytes px = le16({0x7C00, 0x03FF});
             std::copy(px.begin(), px.end(), f.end() - 4);
             return f;
         },
         2, 1, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_BMP, 1, {{0, 0, 0xFFFF0000}, {1, 0, 0xFF00FFFF}}},
        {"tga 32-bit RLE, runs across rows",
         [&] { return files::tga(3, 2, {1, 1, 1, 1, 2, 0x00FF00FF}, 32, true); },
         3, 2, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DXIFF_TGA, 1,
         {{0, 0, 1}, {2, 0, 1}, {0, 1, 1}, {1, 1, 2}, {2, 1, 0}}},
        {"tga 24-bit plain",
         [&] { return files::tga(3, 2, kPicture, 24, false); },
         3, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_TGA, 1,
         {{0, 0, 0xFF102030}, {2, 0, 0xFFFF00FF}, {2, 1, 0xFF808080}}},
        {"tga 32-bit top-down",
         [&] { return files::tga(3, 2, kPicture, 32, false, true); },
         3, 2, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DXIFF_TGA, 1,
         {{1, 0, 0x80405060}, {2, 0, 0}, {0, 1, 0xFFFF00FF}}},
        {"dds A8R8G8B8",
         [&] { return files::ddsArgb(3, 2, kPicture); },
         3, 2, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DXIFF_DDS, 1,
         {{1, 0, 0x80405060}, {2, 0, 0}, {0, 1, 0xFFFF00FF}}},
        {"dds 24-bit converted",
         [&] {
             return files::dds(2, 1, 1, 0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0,
                               {0x30, 0x20, 0x10, 0xFF, 0x00, 0xFF});
         },
         2, 1, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_DDS, 1, {{0, 0, 0xFF102030}, {1, 0, 0xFFFF00FF}}},
        {"dds A8B8G8R8 converted",
         [&] { return files::dds(1, 1, 1, 0x41, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, le32({0x80302010})); },
         1, 1, D3DFMT_A8B8G8R8, D3DFMT_A8R8G8B8, D3DXIFF_DDS, 1, {{0, 0, 0x80102030}}},
        {"dds L8 converted",
         [&] { return files::dds(2, 1, 1, 0x20000, 0, 8, 0xFF, 0, 0, 0, {0x00, 0x7F}); },
         2, 1, D3DFMT_L8, D3DFMT_X8R8G8B8, D3DXIFF_DDS, 1, {{0, 0, 0xFF000000}, {1, 0, 0xFF7F7F7F}}},
        {"dds R5G6B5 kept",
         [&] { return files::dds(2, 1, 1, 0x40, 0, 16, 0xF800, 0x07E0, 0x001F, 0, le16({0xF800, 0x07FF})); },
         2, 1, D3DFMT_R5G6B5, D3DFMT_R5G6B5, D3DXIFF_DDS, 1, {{0, 0, 0xFFFF0000}, {1, 0, 0xFF00FFFF}}},
        {"dds DXT1",
         [&] {
             return files::dds(4, 4, 1, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0, dxt1Block(0xF800, 0x001F, 0x55555555));
         },
         4, 4, D3DFMT_DXT1, D3DFMT_DXT1, D3DXIFF_DDS, 1, {{0, 0, 0xFF0000FF}, {3, 3, 0xFF0000FF}}},
        {"png palette with tRNS",
         [&] { return files::png(3, 2, kPicture, files::PngKind::PaletteTrns); },
         3, 2, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DXIFF_PNG, 1,
         {{0, 0, 0xFF102030}, {1, 0, 0x80405060}, {2, 0, 0}, {0, 1, 0xFFFF00FF}, {2, 1, 0x7F808080}}},
        {"png 16-bit grey, rounded to 8",
         [&] { return files::png(3, 2, {}, files::PngKind::Grey16, false, &grey); },
         3, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_PNG, 1,
         {{0, 0, 0xFF000000}, {1, 0, 0xFF131313}, {2, 0, 0xFFFFFFFF}, {0, 1, 0xFF808080}, {1, 1, 0xFF010101}}},
        {"png Adam7 RGBA",
         [&] {
             Pixels big(10 * 9);
             for (std::uint32_t i = 0; i < big.size(); ++i) big[i] = 0x80000000u | (i * 0x010203u);
             big[0] = 0x00FF00FF;
             return files::png(10, 9, big, files::PngKind::Rgba, true);
         },
         10, 9, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, D3DXIFF_PNG, 1,
         {{0, 0, 0}, {1, 0, 0x80010203}, {9, 0, 0x8009121B}, {5, 7, 0x804B96E1}, {9, 8, 0x8059B30B}}},
        {"png RGB",
         [&] { return files::png(3, 2, kPicture, files::PngKind::Rgb); },
         3, 2, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_PNG, 1, {{1, 0, 0xFF405060}, {2, 0, 0xFFFF00FF}}},
        {"png 2-bit grey",
         [&] { return files::png(4, 1, greys, files::PngKind::Grey2); },
         4, 1, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_PNG, 1,
         {{0, 0, 0xFF000000}, {1, 0, 0xFF555555}, {2, 0, 0xFFAAAAAA}, {3, 0, 0xFFFFFFFF}}},
        {"jpeg colour",
         [&] { return files::jpeg(8, 8, flat); },
         8, 8, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_JPG, 1, {{0, 0, 0xFF3366CC}, {7, 7, 0xFF3366CC}}, 4},
        {"jpeg grey",
         [&] { return files::jpeg(8, 8, Pixels(64, 0xFF000080), files::JpegKind::Grey); },
         8, 8, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DXIFF_JPG, 1, {{3, 4, 0xFF808080}}, 4},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FileBytes file = c.file();
        ASSERT_EQ(load(file), D3D_OK);
        EXPECT_EQ(info.Width, c.width);
        EXPECT_EQ(info.Height, c.height);
        EXPECT_EQ(info.Depth, 1u);
        EXPECT_EQ(info.MipLevels, c.levels);
        EXPECT_EQ(info.Format, c.format);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, c.fileFormat);
        EXPECT_EQ(textureFormat(), c.textureFormat);
        D3DXIMAGE_INFO headerOnly;
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), std::uint32_t(file.size()), &headerOnly), D3D_OK);
        EXPECT_EQ(headerOnly.Format, c.format);
        EXPECT_EQ(headerOnly.Width, c.width);
        for (const Probe& p : c.probes) {
            SCOPED_TRACE(testing::Message() << "texel " << p.x << "," << p.y);
            const std::uint32_t got = texel(p.x, p.y);
            if (c.tolerance == 0) {
                EXPECT_EQ(got, p.argb) << std::hex << got;
            } else {
                for (int shift = 0; shift < 32; shift += 8)
                    EXPECT_NEAR(int((got >> shift) & 0xFF), int((p.argb >> shift) & 0xFF), c.tolerance) << std::hex
                                                                                                         << got;
            }
        }
    }
}

TEST_F(ImageDecode, HostileFilesAreRefusedAsInvalidData) {
    // The file without its last n bytes.
    auto cut = [](const FileBytes& f, std::size_t n) { return FileBytes(f.begin(), f.end() - std::ptrdiff_t(n)); };
    auto poke32 = [](FileBytes f, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = std::uint8_t(v >> (8 * i));
        return f;
    };
    auto poke8 = [](FileBytes f, std::size_t at, std::uint8_t v) {
        f[at] = v;
        return f;
    };
    const FileBytes bmp = files::bmp(3, 2, kPicture, 24);
    const FileBytes rle = files::bmpPalette(3, 2, {0, 1, 2, 2, 1, 0}, {0x112233, 0xFF00FF, 0x445566}, true);
    const FileBytes tga = files::tga(3, 2, kPicture, 32, true);
    const FileBytes dds = files::ddsArgb(3, 2, kPicture);
    const FileBytes png = files::png(3, 2, kPicture, files::PngKind::Rgba);
    const FileBytes jpg = files::jpeg(8, 8, Pixels(64, 0xFF3366CC));
    Pixels noise(64 * 64);
    for (std::uint32_t i = 0; i < noise.size(); ++i) noise[i] = 0xFF000000u | (i * 2654435761u);
    const FileBytes big = files::jpeg(64, 64, noise);
    // A JPEG whose frame header declares another size over the same data.
    auto resized = [](FileBytes f, std::uint16_t width, std::uint16_t height) {
        for (std::size_t i = 2; i + 9 < f.size(); ++i) {
            if (f[i] == 0xFF && f[i + 1] == 0xC0) {
                f[i + 5] = std::uint8_t(height >> 8), f[i + 6] = std::uint8_t(height);
                f[i + 7] = std::uint8_t(width >> 8), f[i + 8] = std::uint8_t(width);
                break;
            }
        }
        return f;
    };
    auto tgaSized = [&poke8](FileBytes f, std::uint16_t side) {
        return poke8(poke8(poke8(poke8(f, 12, std::uint8_t(side)), 13, std::uint8_t(side >> 8)), 14,
                           std::uint8_t(side)), 15, std::uint8_t(side >> 8));
    };
    const FileBytes plainTga = files::tga(3, 2, kPicture, 32, false);
    const FileBytes dxt1Chain =
        files::dds(4, 4, 3, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0,
                   join({dxt1Block(1, 2, 0), dxt1Block(1, 2, 0), dxt1Block(1, 2, 0)}));
    struct Hostile {
        const char* name;
        FileBytes file;
        bool allocates;  // refused only while decoding, after the texture was made
    };
    const std::vector<Hostile> cases = {
        {"empty", {}, false},
        {"garbage", FileBytes(40, 0xA5), false},
        {"short garbage", {'x'}, false},
        {"bmp rows cut", cut(bmp, 3), false},
        {"bmp header only", FileBytes(bmp.begin(), bmp.begin() + 30), false},
        {"bmp width 0", poke32(bmp, 18, 0), false},
        {"bmp width 4097", poke32(bmp, 18, 4097), false},
        {"bmp height -4097", poke32(bmp, 22, std::uint32_t(-4097)), false},
        {"bmp header size 64", poke32(bmp, 14, 64), false},
        {"bmp 7 bits", poke8(bmp, 28, 7), false},
        {"bmp compression 4 (jpeg)", poke32(bmp, 30, 4), false},
        {"bmp data offset past the end", poke32(bmp, 10, 0x7FFFFFF0), false},
        {"bmp palette past the end", FileBytes(rle.begin(), rle.begin() + 54), false},
        {"bmp RLE without its end", cut(rle, 4), true},
        {"tga type 4", poke8(tga, 2, 4), false},
        {"tga 4097 wide", poke8(poke8(tga, 12, 0x01), 13, 0x10), false},
        {"tga height 0", poke8(poke8(tga, 14, 0), 15, 0), false},
        {"tga RLE cut", cut(tga, 2), true},
        {"tga run past the picture", poke8(tga, 18, 0xFF), true},
        {"tga interleaved", poke8(tga, 17, 0x48), false},
        {"tga 4096 x 4096 over 3 x 2 of pixels", tgaSized(plainTga, 4096), false},
        {"tga RLE 4096 x 4096 over two packets", tgaSized(tga, 4096), false},
        {"dds cube map", poke32(dds, 112, 0x200), false},
        {"dds volume", poke32(dds, 112, 0x200000), false},
        {"dds DX10", poke32(poke32(dds, 80, 0x4), 84, makeFourCC('D', 'X', '1', '0')), false},
        {"dds header size 100", poke32(dds, 4, 100), false},
        {"dds width 0", poke32(dds, 16, 0), false},
        {"dds height 5000", poke32(dds, 12, 5000), false},
        {"dds level cut", cut(dds, 1), false},
        {"dds mip count past the chain", poke32(dds, 28, 3), false},
        {"dds declared levels cut", cut(dxt1Chain, 1), false},
        {"dds no masks", poke32(poke32(poke32(poke32(dds, 92, 0), 96, 0), 100, 0), 104, 0), false},
        {"dds mask wider than the pixel", poke32(poke32(dds, 88, 16), 92, 0xFF0000), false},
        {"png cut in its data", cut(png, 20), true},
        {"png width 5000", poke32(png, 16, 0x88130000), false},
        {"png IHDR damaged", poke8(png, 20, 0x7F), false},
        {"jpeg cut", FileBytes(jpg.begin(), jpg.begin() + 200), false},
        {"jpeg cut in its scan", FileBytes(big.begin(), big.begin() + std::ptrdiff_t(big.size() * 2 / 3)), true},
        {"jpeg 4096 x 4096 over 8 x 8 of data", resized(jpg, 4096, 4096), false},
        {"jpeg 64 x 64 over 8 x 8 of data", resized(jpg, 64, 64), true},
        {"jpeg CMYK", files::jpeg(8, 8, Pixels(64, 0xFF3366CC), files::JpegKind::Cmyk), false},
        {"jpeg signature only", {0xFF, 0xD8, 0xFF}, false},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        backend.clearCalls();
        EXPECT_EQ(load(c.file), D3DXERR_INVALIDDATA);
        EXPECT_FALSE(texture);
        if (!c.allocates) {
            EXPECT_TRUE(backend.callsOf("CreateTexture").empty());
            D3DXIMAGE_INFO header;
            EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(c.file.data(), std::uint32_t(c.file.size()), &header),
                      D3DXERR_INVALIDDATA);
        }
    }
    EXPECT_EQ(backend.liveResources(D3DPOOL_MANAGED), 0u);
}

TEST_F(ImageDecode, ColourKeyClearsOnlyTransparentMagenta) {
    // A1R5G5B5 kept as stored: alpha-0 magenta is keyed, alpha-1 magenta kept.
    ASSERT_EQ(load(files::dds(3, 1, 1, 0x41, 0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, le16({0x7C1F, 0xFC1F, 0x801F}))),
              D3D_OK);
    EXPECT_EQ(textureFormat(), D3DFMT_A1R5G5B5);
    EXPECT_EQ(levelBytes(0), le16({0x0000, 0xFC1F, 0x801F}));
    // Without a key nothing changes.
    ASSERT_EQ(load(files::ddsArgb(3, 2, kPicture), 1, 0), D3D_OK);
    EXPECT_EQ(texel(2, 0), 0x00FF00FFu);
    // DXT blocks stay as stored, transparent block included.
    const FileBytes block = dxt1Block(0x001F, 0xF81F, 0xFFFFFFFF);
    ASSERT_EQ(load(files::dds(4, 4, 1, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0, block)), D3D_OK);
    EXPECT_EQ(levelBytes(0), block);
    EXPECT_EQ(texel(1, 1), 0u);
}

TEST_F(ImageDecode, MipChainsAreStoredOrBuiltFromTheMeans) {
    // 3 x 2 with alpha: level 1 (1 x 1) is the rounded mean of the 2 x 2 above.
    ASSERT_EQ(load(files::bmp(3, 2, kPicture, 32, false, true), 0), D3D_OK);
    EXPECT_EQ(texture->getLevelCount(), 2u);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(texel(0, 0, 1), 0xDF541CA4u);
    // D3DX_DEFAULT as well; a 2 x 1 picture's last level has two texels above.
    ASSERT_EQ(load(files::tga(2, 1, {0xFF000000, 0xFF0000FF}, 24, false), D3DX_DEFAULT), D3D_OK);
    EXPECT_EQ(texture->getLevelCount(), 2u);
    EXPECT_EQ(texel(0, 0, 1), 0xFF000080u);
    // A DDS holding the full chain gives it as stored, not recomputed.
    ASSERT_EQ(load(files::dds(2, 2, 2, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000,
                              le32({0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF123456})),
                   0),
              D3D_OK);
    EXPECT_EQ(info.MipLevels, 2u);
    EXPECT_EQ(texel(0, 0, 1), 0xFF123456u);
    // A DXT1 chain as stored; asked for one level, level 0 alone.
    const FileBytes chain = files::dds(4, 4, 3, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0,
                                       join({dxt1Block(0xF800, 0x001F, 0), dxt1Block(0x07E0, 0x001F, 0),
                                             dxt1Block(0x001F, 0xF800, 0x2)}));
    ASSERT_EQ(load(chain, 0), D3D_OK);
    EXPECT_EQ(textureFormat(), D3DFMT_DXT1);
    EXPECT_EQ(texture->getLevelCount(), 3u);
    EXPECT_EQ(info.MipLevels, 3u);
    EXPECT_EQ(texel(0, 0, 1), 0xFF00FF00u);
    ASSERT_EQ(load(chain, 1), D3D_OK);
    EXPECT_EQ(texture->getLevelCount(), 1u);
    // A single-level DXT1 file asked for a chain is held as A8R8G8B8.
    ASSERT_EQ(load(files::dds(4, 4, 1, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0, dxt1Block(0xF800, 0x001F, 0x0000FFFF)), 0),
              D3D_OK);
    EXPECT_EQ(textureFormat(), D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.Format, D3DFMT_DXT1);
    EXPECT_EQ(texture->getLevelCount(), 3u);
    // Rows 0-1 a third red and two thirds blue, rows 2-3 red.
    EXPECT_EQ(texel(0, 0, 1), 0xFF5500AAu);
    EXPECT_EQ(texel(0, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(texel(0, 0, 2), 0xFFAA0055u);
}

TEST_F(ImageDecode, PngWriterRoundTrip) {
    std::vector<std::uint8_t> encoded;
    ASSERT_TRUE(encodePngRgba(3, 2, kPicture.data(), encoded));
    ASSERT_EQ(load(encoded, 1, 0), D3D_OK);
    for (std::uint32_t i = 0; i < kPicture.size(); ++i) EXPECT_EQ(texel(i % 3, i / 3), kPicture[i]);
    EXPECT_FALSE(encodePngRgba(0, 2, kPicture.data(), encoded));
    EXPECT_TRUE(encoded.empty());
}

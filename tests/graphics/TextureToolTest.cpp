// vorly-texture run on a game folder whose "texture" archive holds one file
// of each kind and variant, damaged entries, and texts.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "graphics/ImageFiles.h"
#include "platform/Glyph.h"
#include "platform/Window.h"
#include "platform/gfx/D3DXImage.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/PngWriter.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/ArchiveManager.h"
#include "support/TestSupport.h"
#include "graphics/SmallDevice.h"

namespace {
const std::string kTool = std::string(VORLY_BINARY_DIR) + "/tools/vorly-texture";
const Pixels kPicture = {0xFF102030, 0x80405060, 0x00FF00FF, 0xFFFF00FF, 0xFF0000FF, 0x7F808080};

struct ToolRun {
    int status;
    std::string out, err;
};

class TextureTool : public ::testing::Test {
protected:
    void SetUp() override {
        createSmallDevice(window, adapter, device);
        if (HasFatalFailure()) return;
    }
    void pack(const std::vector<std::pair<std::string, FileBytes>>& files) {
        for (const auto& [name, bytes] : files) root.writeFile("texture/" + name, bytes);
        ArchiveManager archive;
        ASSERT_EQ(archive.buildTextureArchive("texture"), S_OK);
    }
    ToolRun run(const std::string& arguments) {
        const std::string err = (root.path() / "stderr.txt").string();
        const std::string command = "SDL_VIDEODRIVER=offscreen " + kTool + " " + arguments + " 2>" + err;
        CommandRun ran = runCommand(command);
        ToolRun result{ran.status, std::move(ran.out), {}};
        result.err = root.readFile("stderr.txt");
        return result;
    }
    // A PNG the tool wrote, as A8R8G8B8, decoded without a colour key.
    Pixels readPng(const std::string& relative, std::uint32_t& width) {
        const std::string bytes = root.readFile(relative);
        GfxTexture* made = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), bytes.data(), std::uint32_t(bytes.size()), 0, 0, 1,
                                                      0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 2, 2, 0, nullptr, nullptr,
                                                      &made),
                  D3D_OK);
        auto texture = GfxRef<GfxTexture>::adopt(made);
        Pixels argb;
        std::uint32_t height = 0;
        if (texture) readTextureLevel(texture.get(), 0, argb, width, height);
        return argb;
    }
    std::string path() const { return root.path().string(); }

    RecordingBackend backend;
    TestWindow window;
    GfxRef<GfxAdapter> adapter;
    GfxRef<GfxDevice> device;
    TempRoot root;
};

FileBytes le32(std::initializer_list<std::uint32_t> words) {
    FileBytes out;
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(w >> (8 * i)));
    return out;
}
}  // namespace

TEST_F(TextureTool, InfoAndPngOfEveryKind) {
    Pixels big(10 * 9);
    for (std::uint32_t i = 0; i < big.size(); ++i) big[i] = 0x80000000u | (i * 0x010203u);
    const std::vector<std::uint16_t> grey = {0x0000, 0x12FF, 0xFFFF, 0x8000, 0x00FF, 0x7F7F};
    // DXT1 4 x 4 with its chain: red, green, blue blocks.
    const FileBytes dxt = files::dds(4, 4, 3, 0x4, D3DFMT_DXT1, 0, 0, 0, 0, 0,
                                     le32({0x001FF800, 0, 0x001F07E0, 0, 0xF800001F, 0}));
    pack({{"b24.bmp", files::bmp(3, 2, kPicture, 24)},
          {"b8.bmp", files::bmpPalette(3, 2, {0, 1, 2, 2, 1, 0}, {0x112233, 0xFF00FF, 0x445566})},
          {"rle32.tga", files::tga(3, 2, kPicture, 32, true)},
          {"plain24.tga", files::tga(3, 2, kPicture, 24, false)},
          {"argb.dds", files::ddsArgb(3, 2, kPicture)},
          {"dxt1.dds", dxt},
          {"pal.png", files::png(3, 2, kPicture, files::PngKind::PaletteTrns)},
          {"grey16.png", files::png(3, 2, {}, files::PngKind::Grey16, false, &grey)},
          {"adam7.png", files::png(10, 9, big, files::PngKind::Rgba, true)},
          {"photo.jpg", files::jpeg(8, 8, Pixels(64, 0xFF3366CC))}});
    const ToolRun info = run("info " + path() +
                         " b24.bmp b8.bmp rle32.tga plain24.tga argb.dds dxt1.dds pal.png grey16.png adam7.png "
                         "photo.jpg");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out,
              "b24.bmp 3 2 22 0 1\n"
              "b8.bmp 3 2 22 0 1\n"
              "rle32.tga 3 2 21 2 1\n"
              "plain24.tga 3 2 22 2 1\n"
              "argb.dds 3 2 21 4 1\n"
              "dxt1.dds 4 4 827611204 4 3\n"
              "pal.png 3 2 21 3 1\n"
              "grey16.png 3 2 22 3 1\n"
              "adam7.png 10 9 21 3 1\n"
              "photo.jpg 8 8 22 1 1\n");

    struct Case {
        const char* name;
        Pixels expected;
        int tolerance;
    };
    const std::vector<Case> cases = {
        {"b24.bmp", {0xFF102030, 0xFF405060, 0xFFFF00FF, 0xFFFF00FF, 0xFF0000FF, 0xFF808080}, 0},
        {"b8.bmp", {0xFF112233, 0xFFFF00FF, 0xFF445566, 0xFF445566, 0xFFFF00FF, 0xFF112233}, 0},
        {"rle32.tga", {0xFF102030, 0x80405060, 0, 0xFFFF00FF, 0xFF0000FF, 0x7F808080}, 0},
        {"plain24.tga", {0xFF102030, 0xFF405060, 0xFFFF00FF, 0xFFFF00FF, 0xFF0000FF, 0xFF808080}, 0},
        {"argb.dds", {0xFF102030, 0x80405060, 0, 0xFFFF00FF, 0xFF0000FF, 0x7F808080}, 0},
        {"dxt1.dds", Pixels(16, 0xFFFF0000), 0},
        {"pal.png", {0xFF102030, 0x80405060, 0, 0xFFFF00FF, 0xFF0000FF, 0x7F808080}, 0},
        {"grey16.png", {0xFF000000, 0xFF131313, 0xFFFFFFFF, 0xFF808080, 0xFF010101, 0xFF7F7F7F}, 0},
        {"adam7.png", big, 0},
        {"photo.jpg", Pixels(64, 0xFF3366CC), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun png = run("png " + path() + " " + c.name + " " + path() + "/out.png");
        ASSERT_EQ(png.status, 0) << png.err;
        std::uint32_t width = 0;
        const Pixels got = readPng("out.png", width);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            for (int shift = 0; shift < 32; shift += 8)
                EXPECT_NEAR(int((got[i] >> shift) & 0xFF), int((c.expected[i] >> shift) & 0xFF), c.tolerance)
                    << "pixel " << i << std::hex << " " << got[i];
        }
    }
}

TEST_F(TextureTool, DamagedEntriesFailWithTheirLines) {
    FileBytes cut = files::bmp(3, 2, kPicture, 24);
    cut.resize(50);
    FileBytes huge = files::ddsArgb(1, 1, {0});
    huge[16] = 0x01;
    huge[17] = 0x10;  // width 4097
    FileBytes flat = files::tga(3, 2, kPicture, 24, false);
    flat[14] = flat[15] = 0;  // height 0
    pack({{"cut.bmp", cut}, {"huge.dds", huge}, {"flat.tga", flat}, {"noise.bin", FileBytes(64, 0x5A)},
          {"ok.bmp", files::bmp(1, 1, {0}, 24)}});
    for (const char* name : {"cut.bmp", "huge.dds", "flat.tga", "noise.bin"}) {
        SCOPED_TRACE(name);
        const ToolRun info = run("info " + path() + " ok.bmp " + name);
        EXPECT_EQ(info.status, 1);
        EXPECT_EQ(info.out, "ok.bmp 1 1 22 0 1\n");
        EXPECT_NE(info.err.find(std::string(".\\Src\\Texture:65  Arg:") + name + "  FAILED\nD3DXERR_INVALIDDATA\n"
                                ".\\Src\\TextureManager:36  FAILED\nD3DXERR_INVALIDDATA\n"),
                  std::string::npos)
            << info.err;
    }
}

// A name the archive does not hold ends the run as it ends the game, with
// its log line and status 1 (no abort); a success prints nothing on standard
// error unless the log is asked for.
TEST_F(TextureTool, AMissingNameEndsWithItsLogLineAndASuccessIsQuiet) {
    pack({{"ok.bmp", files::bmp(1, 1, {0}, 24)}});
    const ToolRun missing = run("info " + path() + " nosuch.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("vorly-texture: failed; the debug log follows\n", 0), 0u) << missing.err;
    EXPECT_NE(missing.err.find("nosuch.png が見つかりません\n"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.err.find("terminate"), std::string::npos) << missing.err;
    const ToolRun quiet = run("png " + path() + " ok.bmp " + path() + "/ok.png");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    const ToolRun logged = run("png " + path() + " ok.bmp " + path() + "/ok.png --log");
    EXPECT_EQ(logged.status, 0);
    EXPECT_NE(logged.err.find("Direct3D デバイス作成成功\n"), std::string::npos) << logged.err;
}

TEST_F(TextureTool, TextLinesDigitsWrapAndTheBox) {
    auto text = [&](const std::string& bytes, std::uint32_t width, std::uint32_t height) {
        root.writeFile("text.txt", bytes);
        const ToolRun r = run("text " + path() + "/t.png " + std::to_string(width) + " " + std::to_string(height) +
                          " 24 " + path() + "/text.txt 00FF00");
        EXPECT_EQ(r.status, 0) << r.err;
        std::uint32_t w = 0;
        return readPng("t.png", w);
    };
    auto inkRows = [](const Pixels& p, std::uint32_t width, std::uint32_t from, std::uint32_t to) {
        int ink = 0;
        for (std::uint32_t y = from; y < to; ++y)
            for (std::uint32_t x = 0; x < width; ++x)
                if (p[y * width + x] >> 24) {
                    EXPECT_EQ(p[y * width + x] & 0xFFFFFF, 0x00FF00u);
                    ++ink;
                }
        return ink;
    };
    const std::string a = "\x82\xa0", i = "\x82\xa2";
    // "あ**い": two lines of 24 pixels.
    const Pixels twoLines = text(a + "**" + i, 96, 96);
    EXPECT_GT(inkRows(twoLines, 96, 0, 24), 0);
    EXPECT_GT(inkRows(twoLines, 96, 24, 48), 0);
    EXPECT_EQ(inkRows(twoLines, 96, 48, 96), 0);
    // " 1 2 3": three separate digits on one line.
    const Pixels digits = text(" 1 2 3", 96, 48);
    int runs = 0;
    bool inRun = false;
    for (std::uint32_t x = 0; x < 96; ++x) {
        bool ink = false;
        for (std::uint32_t y = 0; y < 48; ++y) ink = ink || (digits[y * 96 + x] >> 24);
        if (ink && !inRun) ++runs;
        inRun = ink;
    }
    EXPECT_EQ(runs, 3);
    // The advance of "あ" in the face the tool uses, at cell height 24.
    FreeTypeGlyphSystem glyphs;
    FontDesc desc;
    desc.height = 24;
    desc.faceName = "ＭＳ ゴシック";
    auto font = glyphs.createFont(desc);
    ASSERT_NE(font, nullptr);
    GlyphMetrics kana;
    font->glyphOutline(0x82A0, kana, nullptr, 0);
    const std::uint32_t advance = std::uint32_t(kana.gmCellIncX);
    ASSERT_GT(advance, 12u);
    // Two of them wrap in a box exactly two advances wide, not in one a pixel wider.
    EXPECT_GT(inkRows(text(a + a, 2 * advance, 96), 2 * advance, 24, 48), 0);
    EXPECT_EQ(inkRows(text(a + a, 2 * advance + 1, 96), 2 * advance + 1, 24, 48), 0);
    // In a box of two advances and a bit, two lines high, the second line is
    // the height stop: text past the first two glyphs changes no pixel.
    const std::uint32_t box = 2 * advance + 2;
    EXPECT_EQ(text(a + a + a + a + a, box, 48), text(a + a, box, 48));
    EXPECT_NE(text(a + a, box, 48), text(a, box, 48));
}

// Textures from the archive and empty ones: what load and createEmpty make
// and log, loadSurface's refusals, clearSurface.
#include <gtest/gtest.h>

#include "graphics/Texture.h"
#include "graphics/TextureTestSupport.h"
#include "platform/Text.h"
#include "platform/gfx/GfxFormat.h"

namespace {
const Pixels kPicture = {0xFF102030, 0x80405060, 0x00FF00FF, 0xFFFF00FF, 0xFF0000FF, 0x7F808080};
}  // namespace

TEST_F(TextureTest, LoadMakesTheKeyedPictureWithItsInfoAndName) {
    pack({{"a.tga", files::tga(3, 2, kPicture, 32, true)}, {"b.bmp", files::bmp(5, 3, Pixels(15, 0xFF00FF00), 24)}});
    Texture texture;
    ASSERT_EQ(texture.load("a.tga", D3DX_FILTER_LINEAR, 1), D3D_OK);
    EXPECT_EQ(nameText(texture.getName()), "a.tga");
    EXPECT_EQ(texture.getImageInfo().Width, 3u);
    EXPECT_EQ(texture.getImageInfo().Height, 2u);
    EXPECT_EQ(texture.getImageInfo().Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture.getImageInfo().ImageFileFormat, D3DXIFF_TGA);
    EXPECT_EQ(pixels(texture.getD3DTexture()),
              (std::vector<std::uint32_t>{0xFF102030, 0x80405060, 0, 0xFFFF00FF, 0xFF0000FF, 0x7F808080}));
    EXPECT_EQ(gfx.callsOf("CreateTexture").back(), "CreateTexture(3, 2, 1, 0x0, D3DFMT_A8R8G8B8, 1 -> texture#1)");
    // A second load lets go of the first picture.
    ASSERT_EQ(texture.loadWithMips("b.bmp"), D3D_OK);
    EXPECT_EQ(gfx.liveResources(D3DPOOL_MANAGED), 1u);
    EXPECT_EQ(texture.getD3DTexture()->getLevelCount(), 3u);
    EXPECT_EQ(texture.getWidth(), 5.0f);
    // Slot 2 lets go of the device texture and nothing else.
    texture.init();
    EXPECT_EQ(texture.getD3DTexture(), nullptr);
    EXPECT_EQ(nameText(texture.getName()), "b.bmp");
}

TEST_F(TextureTest, FailedLoadsLogTheSizesTheLineAndTheCode) {
    // "壊れ.bmp" in cp932: the name is logged in UTF-8.
    const std::string damaged = "\x89\xf3\x82\xea.bmp";
    FileBytes cut = files::bmp(3, 2, kPicture, 24);
    cut.resize(40);
    pack({{text::cp932ToUtf8(damaged), cut}, {"big.dds", files::ddsArgb(1, 1, {0})}});
    struct Case {
        std::string name;
        const char* fault;
        HRESULT result;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {damaged, nullptr, D3DXERR_INVALIDDATA,
         {"壊れ.bmp 40 ", ".\\Src\\Texture:65  Arg:壊れ.bmp  FAILED", "D3DXERR_INVALIDDATA"}},
        {"big.dds", "CreateTexture", D3DERR_OUTOFVIDEOMEMORY,
         {"big.dds 132 ", ".\\Src\\Texture:65  Arg:big.dds  FAILED", "D3DERR_OUTOFVIDEOMEMORY"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fault) gfx.faults.failNext(c.fault, c.result);
        Texture texture;
        EXPECT_EQ(texture.load(c.name, D3DX_FILTER_LINEAR, 1), c.result);
        EXPECT_EQ(texture.getD3DTexture(), nullptr);
        std::vector<std::string> lines = linesFrom(c.lines[0]);
        ASSERT_GE(lines.size(), 3u);
        // The stored size is the run-length coded one: not pinned here.
        EXPECT_EQ(lines[1], c.lines[1]);
        EXPECT_EQ(lines[2], c.lines[2]);
        EXPECT_EQ(nameText(texture.getName()), "");
    }
}

TEST_F(TextureTest, CreateEmptyAndItsFailureLine) {
    Texture texture;
    ASSERT_EQ(texture.createEmpty(100, 60, D3DFMT_A8R8G8B8), D3D_OK);
    EXPECT_EQ(texture.getImageInfo().Width, 100u);
    EXPECT_EQ(texture.getImageInfo().Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(gfx.callsOf("CreateTexture").back(), "CreateTexture(100, 60, 1, 0x0, D3DFMT_A8R8G8B8, 1 -> texture#1)");
    // A format the device refuses: the three numbers; the info stays.
    EXPECT_EQ(texture.createEmpty(7, 9, D3DFMT_D16), D3DERR_INVALIDCALL);
    EXPECT_EQ(linesFrom(".\\Src\\Texture:109"),
              (std::vector<std::string>{".\\Src\\Texture:109  FAILED", "D3DERR_INVALIDCALL",
                                        " width:7 height:9 format:80"}));
    EXPECT_EQ(texture.getImageInfo().Width, 100u);
    EXPECT_EQ(texture.getImageInfo().Height, 60u);
    EXPECT_NE(texture.getD3DTexture(), nullptr);
    // The height is read unsigned.
    texture.setHeight(0x80000000u);
    EXPECT_EQ(texture.getHeight(), 2147483648.0f);
}

TEST_F(TextureTest, LoadSurfaceCopiesOnlyAMatchingWholeLevel) {
    const Pixels four = {0xFF010203, 0x04050607, 0xFF0A0B0C, 0x10111213};
    FileBytes good = files::ddsArgb(2, 2, four);
    FileBytes shortLevel = good;
    shortLevel.resize(shortLevel.size() - 4);
    // The header reads fine but claims a 1-level 2 x 2 of 12 bytes' data:
    // refused by the reader; a header of another size is refused here.
    pack({{"good.dds", good},
          {"wide.dds", files::ddsArgb(4, 1, four)},
          {"x8.dds", files::dds(2, 2, 1, 0x40, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0, FileBytes(16, 0))},
          {"short.dds", shortLevel},
          {"tiny.bmp", files::bmp(1, 1, {0xFF000000}, 24)}});
    Texture texture;
    ASSERT_EQ(texture.createEmpty(2, 2, D3DFMT_A8R8G8B8), D3D_OK);
    ASSERT_EQ(texture.loadSurface("good.dds"), D3D_OK);
    EXPECT_EQ(pixels(texture.getD3DTexture()), four);  // unkeyed, as stored
    struct Case {
        const char* name;
    };
    for (const char* name : {"wide.dds", "x8.dds", "short.dds", "tiny.bmp"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(texture.loadSurface(name), D3DXERR_INVALIDDATA);
        EXPECT_EQ(linesFrom(std::string(".\\Src\\Texture:137  Arg:") + name).size() >= 2, true);
        EXPECT_EQ(linesFrom(std::string(".\\Src\\Texture:137  Arg:") + name)[1], "D3DXERR_INVALIDDATA");
        EXPECT_EQ(pixels(texture.getD3DTexture()), four);
    }
    // A failed lock: line 148.
    gfx.faults.failNext("LockRect", D3DERR_INVALIDCALL);
    EXPECT_EQ(texture.loadSurface("good.dds"), D3DERR_INVALIDCALL);
    EXPECT_EQ(linesFrom(".\\Src\\Texture:148")[1], "D3DERR_INVALIDCALL");
    // Without a texture nothing is written.
    Texture none;
    EXPECT_EQ(none.loadSurface("good.dds"), D3DXERR_INVALIDDATA);
}

TEST_F(TextureTest, ClearSurfaceZeroesTheLevelOrLogsItsLock) {
    pack({{"p.dds", files::ddsArgb(3, 2, {1, 2, 3, 4, 5, 6})}});
    Texture texture;
    ASSERT_EQ(texture.createEmpty(3, 2, D3DFMT_A8R8G8B8), D3D_OK);
    ASSERT_EQ(texture.loadSurface("p.dds"), D3D_OK);
    gfx.faults.failNext("LockRect", D3DERR_DEVICELOST);
    EXPECT_EQ(texture.clearSurface(), D3DERR_DEVICELOST);
    EXPECT_EQ(linesFrom(".\\Src\\Texture:165"),
              (std::vector<std::string>{".\\Src\\Texture:165  FAILED", "D3DERR_DEVICELOST"}));
    EXPECT_EQ(pixels(texture.getD3DTexture()), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(texture.clearSurface(), D3D_OK);
    EXPECT_EQ(pixels(texture.getD3DTexture()), std::vector<std::uint32_t>(6, 0));
    texture.releaseAll();
    EXPECT_EQ(texture.getD3DTexture(), nullptr);
    EXPECT_EQ(gfx.liveResources(D3DPOOL_MANAGED), 0u);
}

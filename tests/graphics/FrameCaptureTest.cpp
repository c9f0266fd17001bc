// Frame capture on the recording device: render target 0 read back rows top
// first, and the PNG bytes decoded again (a target without alpha is opaque).
#include <gtest/gtest.h>

#include "graphics/FrameCapture.h"
#include "graphics/GfxTestSupport.h"
#include "platform/gfx/D3DXImage.h"
#include "platform/gfx/PngWriter.h"

namespace {
class FrameCapture : public GfxTest {};
}  // namespace

TEST_F(FrameCapture, TargetZeroRowsTopFirstAndItsPng) {
    created();
    // The top half one colour, the bottom half another; X8R8G8B8 keeps no alpha.
    const D3DRECT top{0, 0, 640, 240}, bottom{0, 240, 640, 480};
    ASSERT_EQ(device().clear(1, &top, D3DCLEAR_TARGET, 0x00112233, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device().clear(1, &bottom, D3DCLEAR_TARGET, 0x80445566, 1.0f, 0), D3D_OK);
    FramePicture picture;
    ASSERT_EQ(captureFrame(g_d3dDevice, picture), S_OK);
    ASSERT_EQ(picture.width, 640u);
    ASSERT_EQ(picture.height, 480u);
    EXPECT_EQ(picture.at(5, 3) & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(picture.at(600, 400) & 0xFFFFFF, 0x445566u);
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(encodeFramePng(picture, png));
    GfxTexture* made = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(g_d3dDevice, png.data(), std::uint32_t(png.size()), 0, 0, 1, 0,
                                                  D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 2, 2, 0, nullptr, nullptr, &made),
              D3D_OK);
    auto texture = GfxRef<GfxTexture>::adopt(made);
    std::vector<std::uint32_t> argb;
    std::uint32_t w = 0, h = 0;
    ASSERT_EQ(readTextureLevel(texture.get(), 0, argb, w, h), D3D_OK);
    ASSERT_EQ(argb.size(), 640u * 480u);
    if (picture.format == D3DFMT_X8R8G8B8) {
        EXPECT_EQ(argb[3 * 640 + 5], 0xFF112233u);
        EXPECT_EQ(argb[400 * 640 + 600], 0xFF445566u);
    } else {
        EXPECT_EQ(argb[3 * 640 + 5], picture.at(5, 3));
    }
    // Without a device nothing is read and the picture is empty.
    EXPECT_EQ(captureFrame(nullptr, picture), E_FAIL);
    EXPECT_TRUE(picture.argb.empty());
}

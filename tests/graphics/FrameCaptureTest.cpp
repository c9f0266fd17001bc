// Frame capture on the recording device: render target 0 read back rows top
// first, and the PNG bytes decoded again (RGB: every picture is opaque).
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "graphics/FrameCapture.h"
#include "graphics/FrameCaptureSchedule.h"
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
    ASSERT_GT(png.size(), 25u);
    EXPECT_EQ(png[25], 2);  // colour type 2: RGB
    GfxTexture* made = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(g_d3dDevice, png.data(), std::uint32_t(png.size()), 0, 0, 1, 0,
                                                  D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 2, 2, 0, nullptr, nullptr, &made),
              D3D_OK);
    auto texture = GfxRef<GfxTexture>::adopt(made);
    std::vector<std::uint32_t> argb;
    std::uint32_t w = 0, h = 0;
    ASSERT_EQ(readTextureLevel(texture.get(), 0, argb, w, h), D3D_OK);
    ASSERT_EQ(argb.size(), 640u * 480u);
    // RGB whatever the target's alpha: the picture reads back opaque.
    EXPECT_EQ(argb[3 * 640 + 5], 0xFF112233u);
    EXPECT_EQ(argb[400 * 640 + 600], 0xFF445566u);
    // Without a device nothing is read and the picture is empty.
    EXPECT_EQ(captureFrame(nullptr, picture), E_FAIL);
    EXPECT_TRUE(picture.argb.empty());
}

namespace {
// The file's bytes, or nothing.
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}
// Width, height and colour type of a PNG's header.
std::array<std::uint32_t, 3> pngHeader(const std::vector<std::uint8_t>& png) {
    auto word = [&png](std::size_t at) {
        return std::uint32_t(png[at]) << 24 | std::uint32_t(png[at + 1]) << 16 | std::uint32_t(png[at + 2]) << 8 |
               png[at + 3];
    };
    if (png.size() < 26) return {0, 0, 0};
    return {word(16), word(20), png[25]};
}
}  // namespace

// Frames asked for are saved as RGB pictures of the back buffer; one that
// is skipped is saved at the next presented frame under its own number; the
// callback runs once, after the last; a folder that cannot be written only
// costs a line.
TEST_F(FrameCapture, ScheduledFramesAreSavedByNumber) {
    created();
    const std::filesystem::path folder = log.root().path() / "shots";
    std::filesystem::create_directories(folder);
    int closed = 0;
    setFrameCaptureRequest({{3, 2, 5, 3}, folder, [&closed] { ++closed; }});
    const D3DRECT all{0, 0, 640, 480};
    ASSERT_EQ(device().clear(1, &all, D3DCLEAR_TARGET, 0x00102030, 1.0f, 0), D3D_OK);
    testing::internal::CaptureStderr();
    captureDueFrames(1, false);
    captureDueFrames(2, true);  // skipped: kept for the next presented frame
    EXPECT_FALSE(std::filesystem::exists(folder / "frame-2.png"));
    captureDueFrames(3, false);
    EXPECT_EQ(closed, 0);
    captureDueFrames(4, false);
    captureDueFrames(5, false);
    captureDueFrames(6, false);
    const std::string lines = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines, "saved frame-2.png 640x480\nsaved frame-3.png 640x480\nsaved frame-5.png 640x480\n");
    EXPECT_EQ(closed, 1);
    for (const char* name : {"frame-2.png", "frame-3.png", "frame-5.png"}) {
        const std::vector<std::uint8_t> png = readBytes(folder / name);
        EXPECT_EQ(pngHeader(png), (std::array<std::uint32_t, 3>{640, 480, 2})) << name;  // 2: RGB
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "frame-4.png"));
    EXPECT_FALSE(log.logContains("frame-"));

    setFrameCaptureRequest({{1}, folder / "missing", nullptr});
    testing::internal::CaptureStderr();
    captureDueFrames(1, false);
    const std::string failed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed.rfind("cannot write ", 0), 0u) << failed;
    setFrameCaptureRequest({});
}

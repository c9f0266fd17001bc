// vorly-frame run on a game folder whose "texture" archive holds a few
// pictures: the probes of a scene read from the PNG it writes, a scene that
// asks for more sprites than the pool holds, malformed scenes and a missing
// picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "graphics/ImageFiles.h"
#include "platform/Path.h"
#include "platform/Window.h"
#include "platform/gfx/D3DXImage.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/ImageReaders.h"
#include "platform/gfx/PngWriter.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/ArchiveManager.h"
#include "support/TestSupport.h"
#include "graphics/SmallDevice.h"

namespace {
const std::string kTool = std::string(VORLY_BINARY_DIR) + "/tools/vorly-frame";

struct FrameRun {
    int status;
    std::string err;
};

class FrameTool : public ::testing::Test {
protected:
    void SetUp() override {
        createSmallDevice(window, adapter, device);
        if (HasFatalFailure()) return;
        Pixels grid;
        for (std::uint32_t i = 0; i < 64; ++i) grid.push_back(0xFF000000u | (i * 4) << 16 | (255 - i * 4) << 8 | 0x40);
        gridTexels = grid;
        pack({{"grid.bmp", files::bmp(8, 8, grid, 32)},
              {"red.bmp", files::bmp(4, 4, Pixels(16, 0xFFFF0000), 32)},
              {"green.bmp", files::bmp(4, 4, Pixels(16, 0xFF00FF00), 32)},
              {"grey32.bmp", files::bmp(4, 4, Pixels(16, 0xFF202020), 32)},
              {"tint.bmp", files::bmp(4, 4, Pixels(16, 0x803366CC), 32)},
              {"white.bmp", files::bmp(4, 4, Pixels(16, 0xFFFFFFFF), 32)}});
    }
    void pack(const std::vector<std::pair<std::string, FileBytes>>& files) {
        for (const auto& [name, bytes] : files) root.writeFile("game/texture/" + name, bytes);
        // The archive is built relative to the game folder.
        Path::setRoot(root.path() / "game");
        {
            ArchiveManager archive;
            EXPECT_EQ(archive.buildTextureArchive("texture"), S_OK);
        }
        Path::setRoot(root.path());
    }
    FrameRun run(const std::string& scene) {
        root.writeFile("scene.txt", scene);
        const std::string base = root.path().string();
        const std::string command = "SDL_VIDEODRIVER=offscreen LP_NUM_THREADS=0 " + kTool + " " + base + "/game " +
                                    base + "/scene.txt " + base + "/out.png 2>" + base + "/stderr.txt";
        CommandRun ran = runCommand(command);
        return {ran.status, root.readFile("stderr.txt")};
    }
    // The PNG the tool wrote, as A8R8G8B8, of the size given.
    Pixels picture(std::uint32_t expectedWidth = 640, std::uint32_t expectedHeight = 480) {
        const std::string text = root.readFile("out.png");
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        Pixels argb(std::size_t(expectedWidth) * expectedHeight);
        image::ImageHeader header;
        EXPECT_TRUE(image::readPngHeader(bytes, header));
        EXPECT_EQ(header.info.Width, expectedWidth);
        EXPECT_EQ(header.info.Height, expectedHeight);
        if (header.info.Width != expectedWidth || header.info.Height != expectedHeight) return argb;
        image::PixelTarget target{reinterpret_cast<std::uint8_t*>(argb.data()), std::int32_t(expectedWidth * 4),
                                  expectedWidth, expectedHeight};
        EXPECT_TRUE(image::decodePng(bytes, target));
        return argb;
    }
    static std::uint32_t rgb(const Pixels& p, int x, int y, int width = 640) {
        return p[std::size_t(y) * std::size_t(width) + std::size_t(x)] & 0xFFFFFF;
    }

    RecordingBackend backend;
    TestWindow window;
    GfxRef<GfxAdapter> adapter;
    GfxRef<GfxDevice> device;
    TempRoot root;
    Pixels gridTexels;
};
}  // namespace

TEST_F(FrameTool, ASceneDrawsItsProbes) {
    const FrameRun ran =
        run("# probes\n"
            "clear 64 64 64\n"
            "\n"
            "sprite grid.bmp 100 50 8 8 0 0 8 8 0 3 FFFFFFFF\n"
            "sprite red.bmp 10 10 8 8 0 0 4 4 5 3 FFFFFFFF\n"
            "sprite green.bmp 10 10 8 8 0 0 4 4 2 3 FFFFFFFF\n"
            "sprite green.bmp 30 10 8 8 0 0 4 4 7 3 FFFFFFFF\n"
            "sprite green.bmp 30 10 8 8 0 0 4 4 7 3 FF0000FF\n"
            "sprite green.bmp 50 10 8 8 0 0 4 4 7 3 FFFFFFFF\n"
            "sprite red.bmp 50 10 8 8 0 0 4 4 7 3 FFFFFFFF\n"
            "sprite grey32.bmp 70 10 8 8 0 0 4 4 0 2 FFFFFFFF\n"
            "sprite white.bmp 90 10 8 8 0 0 4 4 0 4 FFFFFFFF\n"
            "sprite tint.bmp 110 10 8 8 0 0 4 4 0 6 FF000000\n"
            "sprite white.bmp 100 100 40 10 0 0 4 4 0 3 FFFFFFFF 90\n"
            "sprite white.bmp 150 10 8 8 0 0 4 4 45 3 FFFFFFFF\n"
            "sprite red.bmp 150 10 8 8 0 0 4 4 38 3 FFFFFFFF\n");
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.err.find("頂点バッファを使用します"), std::string::npos);
    const Pixels p = picture();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(rgb(p, 100 + x, 50 + y), gridTexels[std::size_t(y * 8 + x)] & 0xFFFFFF);
    EXPECT_EQ(rgb(p, 14, 14), 0xFF0000u);  // layer 5 over layer 2
    EXPECT_EQ(rgb(p, 34, 14), 0x000000u);  // the later sprite of a manager over the earlier
    EXPECT_EQ(rgb(p, 54, 14), 0x00FF00u);  // a later manager over an earlier one
    for (int shift : {0, 8, 16}) EXPECT_NEAR(int((rgb(p, 74, 14) >> shift) & 0xFF), 96, 2);
    EXPECT_EQ(rgb(p, 94, 14), 0x404040u);   // group 4 not drawn
    EXPECT_EQ(rgb(p, 114, 14), 0x3366CCu);  // group 6: the texture's colour
    EXPECT_EQ(rgb(p, 120, 87), 0xFFFFFFu);  // 40 x 10 at 90 degrees: upright
    EXPECT_EQ(rgb(p, 120, 122), 0xFFFFFFu);
    EXPECT_EQ(rgb(p, 105, 105), 0x404040u);
    EXPECT_EQ(rgb(p, 135, 105), 0x404040u);
    EXPECT_EQ(rgb(p, 154, 14), 0xFFFFFFu);  // layer 45 drawn as 39
    EXPECT_FALSE(std::filesystem::exists(root.path() / "game" / "data"));
}

TEST_F(FrameTool, MoreSpritesThanThePoolDrawsTenThousand) {
    // 10,005 sprites of 4 x 4 pixels on a grid of 160 x 120 places.
    std::ostringstream scene;
    for (int i = 0; i < 10005; ++i)
        scene << "sprite white.bmp " << (i % 160) * 4 << ' ' << (i / 160) * 4 << " 4 4 0 0 4 4 0 3 FFFFFFFF\n";
    const FrameRun ran = run(scene.str());
    ASSERT_EQ(ran.status, 0) << ran.err.substr(0, 2000);
    std::size_t empties = 0;
    for (std::size_t at = ran.err.find("SpriteAllocator EMPTY"); at != std::string::npos;
         at = ran.err.find("SpriteAllocator EMPTY", at + 1))
        ++empties;
    EXPECT_EQ(empties, 5u);
    const Pixels p = picture();
    std::size_t lit = 0;
    for (int i = 0; i < 10005; ++i) {
        bool all = true;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) all = all && rgb(p, (i % 160) * 4 + x, (i / 160) * 4 + y) == 0xFFFFFFu;
        lit += all;
    }
    EXPECT_EQ(lit, 10000u);
}

TEST_F(FrameTool, MalformedScenesAndAMissingPicture) {
    const char* bad[] = {
        "clear 1 2\n",
        "clear 1 2 256\n",
        "sprite white.bmp 0 0 4 4 0 0 4 4 0 3\n",
        "sprite white.bmp 0 0 4 four 0 0 4 4 0 3 FFFFFFFF\n",
        "sprite white.bmp 0 0 4 4 0 0 4 4 0 300 FFFFFFFF\n",
        "sprite white.bmp 0 0 4 4 0 0 4 4 0 3 FFFFFF\n",
        "sprite white.bmp 0 0 4 4 0 0 4 4 0 3 FFFFFFFF x\n",
        "sprites white.bmp\n",
    };
    for (const char* scene : bad) {
        std::filesystem::remove(root.path() / "out.png");
        const FrameRun ran = run(scene);
        EXPECT_EQ(ran.status, 2) << scene;
        EXPECT_NE(ran.err.find("scene.txt:1:"), std::string::npos) << ran.err;
        EXPECT_FALSE(std::filesystem::exists(root.path() / "out.png")) << scene;
    }
    // A picture the archive lacks ends the program as the engine ends it.
    const FrameRun ran = run("sprite none.bmp 0 0 4 4 0 0 4 4 0 3 FFFFFFFF\n");
    EXPECT_EQ(ran.status, 1);
    EXPECT_FALSE(std::filesystem::exists(root.path() / "out.png"));
    EXPECT_FALSE(std::filesystem::exists(root.path() / "game" / "data"));
}

namespace {
// The render targets' pictures as the tool draws them on OpenGL.
class RenderTargetFrames : public FrameTool {};

// The effect target of start-up (system type 2, background on, play field
// only), the effect on and its picture shown; a red rectangle in its texels.
std::string effectScene(const std::string& rect = "150 10 100 50") {
    return "config systype 2\n"
           "config drawbg 1\n"
           "config fulldraw 0\n"
           "clear 0 0 64\n"
           "var effectmesh 1\n"
           "target 1 active 1\n"
           "effectrect " + rect + " FFFF0000\n"
           "sprite green.bmp 200 30 20 20 0 0 4 4 1 3 FFFFFFFF\n";
}
const std::string kEffectScene = effectScene();
}  // namespace

// The effect picture lies texel for pixel over the play field (added, the
// display's default blend) and under the sprites; with full view the whole
// target shows over the screen, scaled by 1.25; a tint with "noalpha" draws
// it opaque and modulated.
TEST_F(RenderTargetFrames, TheEffectTargetOverThePlayField) {
    FrameRun ran = run(kEffectScene);
    ASSERT_EQ(ran.status, 0) << ran.err;
    Pixels p = picture();
    EXPECT_EQ(rgb(p, 150, 10), 0xFF0040u);
    EXPECT_EQ(rgb(p, 249, 59), 0xFF0040u);
    EXPECT_EQ(rgb(p, 149, 10), 0x000040u);
    EXPECT_EQ(rgb(p, 250, 30), 0x000040u);
    EXPECT_EQ(rgb(p, 150, 60), 0x000040u);
    EXPECT_EQ(rgb(p, 210, 40), 0x00FF00u);  // the sprite over the effect
    EXPECT_EQ(rgb(p, 100, 240), 0x000000u);  // outside the play field

    ran = run("target 1 fullview 1\n" + effectScene("160 8 80 40"));
    ASSERT_EQ(ran.status, 0) << ran.err;
    p = picture();
    // Texels 160..240 x 8..48 at pixels 200..300 x 8..48: 1.25 across only
    // (512 texels over 640 pixels, 480 over 480); edges filtered.
    EXPECT_EQ(rgb(p, 202, 10), 0xFF0040u);
    EXPECT_EQ(rgb(p, 297, 45), 0xFF0040u);
    EXPECT_EQ(rgb(p, 197, 30), 0x000040u);
    EXPECT_EQ(rgb(p, 302, 30), 0x000040u);
    EXPECT_EQ(rgb(p, 250, 50), 0x000040u);
    EXPECT_EQ(rgb(p, 250, 5), 0x000040u);

    // "noalpha": the target's picture copied, nothing added.
    ran = run("target 1 color 255 128 255 255 noalpha\n" + kEffectScene);
    ASSERT_EQ(ran.status, 0) << ran.err;
    p = picture();
    EXPECT_EQ(rgb(p, 160, 20), 0xFF0000u);
    EXPECT_EQ(rgb(p, 300, 300), 0x000040u);
    // "normal": blended by the picture's alpha and tinted by the colour.
    ran = run("target 1 color 255 128 255 255 normal\n" + kEffectScene);
    ASSERT_EQ(ran.status, 0) << ran.err;
    p = picture();
    EXPECT_NEAR(int(rgb(p, 160, 20) >> 16), 128, 1);
    EXPECT_EQ(rgb(p, 160, 20) & 0xFFFF, 0u);
    EXPECT_EQ(rgb(p, 300, 300), 0x000040u);

    // Without "effectmesh" nothing of the target shows.
    ran = run(kEffectScene + "var effectmesh 0\n");
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(rgb(picture(), 160, 20), 0x000040u);
}

// Wide compression: the whole frame in target 2, shown between x 70 and 587
// with black bands, the background off.
TEST_F(RenderTargetFrames, WideCompressionBetweenBlackBands) {
    const FrameRun ran = run("config wide 1\nclear 64 64 64\nsprite white.bmp 0 0 640 480 0 0 4 4 0 3 FFFFFFFF\n");
    ASSERT_EQ(ran.status, 0) << ran.err;
    const Pixels p = picture();
    for (int y : {0, 240, 478}) {
        EXPECT_EQ(rgb(p, 69, y), 0u) << y;
        EXPECT_EQ(rgb(p, 70, y), 0xFFFFFFu) << y;
        EXPECT_EQ(rgb(p, 586, y), 0xFFFFFFu) << y;
        EXPECT_EQ(rgb(p, 587, y), 0u) << y;
        EXPECT_EQ(rgb(p, 639, y), 0u) << y;
    }
}

// At a 1280 x 960 back buffer the same scenes give the 640 x 480 pictures
// scaled by 2; two screen-mode switches and a reset change no pixel.
TEST_F(RenderTargetFrames, LargerBackBufferAndSwitchesKeepThePicture) {
    const std::string scenes[] = {
        kEffectScene,
        "target 1 fullview 1\n" + effectScene("160 8 80 40"),
        "config wide 1\nclear 64 64 64\nsprite white.bmp 0 0 640 480 0 0 4 4 0 3 FFFFFFFF\n"
        "sprite red.bmp 100 100 40 40 0 0 4 4 1 3 FFFFFFFF\n",
    };
    for (const std::string& scene : scenes) {
        SCOPED_TRACE(scene);
        FrameRun ran = run(scene);
        ASSERT_EQ(ran.status, 0) << ran.err;
        const Pixels small = picture();
        ran = run("backbuffer 1280 960\n" + scene);
        ASSERT_EQ(ran.status, 0) << ran.err;
        const Pixels large = picture(1280, 960);
        // Compared away from edges, where the filtering of a scaled picture
        // mixes neighbours.
        int compared = 0, differing = 0;
        for (int y = 1; y < 479; y += 3)
            for (int x = 1; x < 639; x += 3) {
                const std::uint32_t c = rgb(small, x, y);
                bool uniform = true;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) uniform = uniform && rgb(small, x + dx, y + dy) == c;
                if (!uniform) continue;
                ++compared;
                differing += c != rgb(large, 2 * x, 2 * y, 1280);
            }
        EXPECT_GT(compared, 20000);
        EXPECT_EQ(differing, 0);

        ran = run("toggle\ntoggle\nreset\n" + scene);
        ASSERT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.err.find("Reset 失敗"), std::string::npos);
        EXPECT_NE(ran.err.find("Reset 成功"), std::string::npos);
        EXPECT_TRUE(picture() == small);
    }
}

TEST_F(RenderTargetFrames, MalformedTargetLines) {
    const char* bad[] = {
        "backbuffer 0 480\n",     "backbuffer 640\n",          "config colour 1\n",
        "config wide -1\n",       "var effectmesh\n",          "target x active 1\n",
        "target 1 active 2\n",    "target 1 color 1 2 3 4\n",  "target 1 color 1 2 3 4 bright\n",
        "effectrect 0 0 4 4 F\n", "effectrect 0 0 4 FFFFFFFF\n", "toggle now\n",
    };
    for (const char* scene : bad) {
        const FrameRun ran = run(scene);
        EXPECT_EQ(ran.status, 2) << scene;
        EXPECT_NE(ran.err.find("scene.txt:1:"), std::string::npos) << ran.err;
    }
}

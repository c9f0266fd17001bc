// Sprites on the OpenGL backend (headless through Mesa): what start-up makes
// for graphics (device, render target 0, texture manager over a game
// folder's texture archive, sprite pool, sprite managers), frames drawn by
// renderFrame with the 3-D background off, pixels read back.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "graphics/D3DObject.h"
#include "graphics/FrameCapture.h"
#include "graphics/ImageFiles.h"
#include "graphics/RenderFrame.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "records/GameInfo.h"
#include "platform/Window.h"
#include "platform/gfx/GlAdapter.h"
#include "services/ArchiveManager.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "support/TestSupport.h"

namespace {
class SpriteFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.create("sprite frame", 0, 0, 640, 480, nullptr));
        Window::setInstance(&window);
        g_dinputObject = &input;
        g_systemInfo = new SystemInfo();
        g_systemInfo->setDrawBg(0);
        object = std::make_unique<D3DObject>();
        g_d3dObject = object.get();
        ASSERT_EQ(object->initDirect3D(), S_OK) << openGlAdapterError();
        ASSERT_EQ(object->initDevice(640, 480, 60, 1, 0, 0, 1), S_OK);
        object->setVirtualScreenSize(640, 480);
        ASSERT_EQ(object->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer), S_OK);
        SpriteAllocator::instance().fill();
        g_textureManager = new TextureManager();
        g_spriteManagerManager = new SpriteManagerManager();
    }
    void TearDown() override {
        delete g_spriteManagerManager;
        g_spriteManagerManager = nullptr;
        delete g_textureManager;
        g_textureManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
        delete g_archiveManager;
        g_archiveManager = nullptr;
        object.reset();
        g_d3dObject = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
        g_dinputObject = nullptr;
        Window::setInstance(nullptr);
    }
    // The game folder's "texture" archive, packed from these pictures.
    void pack(const std::vector<std::pair<std::string, FileBytes>>& entries) {
        for (const auto& [name, bytes] : entries) log.root().writeFile("texture/" + name, bytes);
        g_archiveManager = new ArchiveManager();
        ASSERT_EQ(g_archiveManager->buildTextureArchive("texture"), S_OK);
        g_archiveManager->loadIndex("texture");
    }
    // A sprite as the frame tool makes it: w x h pixels of the texels'
    // rectangle, at (x, y).
    Sprite* sprite(const char* texture, float x, float y, float w, float h, float right, float bottom, int layer,
                   int blend, std::uint32_t argb) {
        Sprite* s = g_spriteManagerManager->createSpriteForTexture(w, h, 0, 0, right, bottom, texture);
        if (!s) return nullptr;
        s->setX(x);
        s->setY(y);
        s->setLayer(layer);
        s->setBlend(std::uint8_t(blend));
        s->setPackedColor(argb);
        return s;
    }
    FramePicture frame() {
        renderFrame();
        FramePicture picture;
        EXPECT_EQ(captureFrame(g_d3dDevice, picture), S_OK);
        return picture;
    }
    static Pixels flat(int n, std::uint32_t argb) { return Pixels(std::size_t(n), argb); }

    LoggedTest log;
    SdlWindow window;
    DInputObject input;
    std::unique_ptr<D3DObject> object;
};

int channel(std::uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }
}  // namespace

TEST_F(SpriteFrameTest, AnEightByEightSpriteLandsTexelForPixel) {
    Pixels texels;
    for (std::uint32_t i = 0; i < 64; ++i) texels.push_back(0xFF000000u | (i * 4) << 16 | (255 - i * 4) << 8 | 0x40);
    pack({{"grid.bmp", files::bmp(8, 8, texels, 32)}});
    ASSERT_NE(sprite("grid.bmp", 100, 50, 8, 8, 8, 8, 0, 3, 0xFFFFFFFF), nullptr);
    const FramePicture p = frame();
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 8; ++x)
            EXPECT_EQ(p.at(100 + x, 50 + y) & 0xFFFFFF, texels[y * 8 + x] & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(p.at(99, 50) & 0xFFFFFF, 0u);
    EXPECT_EQ(p.at(108, 57) & 0xFFFFFF, 0u);
}

TEST_F(SpriteFrameTest, LayersManagersCreationAndBlendGroups) {
    pack({{"red.bmp", files::bmp(4, 4, flat(16, 0xFFFF0000), 32)},
          {"green.bmp", files::bmp(4, 4, flat(16, 0xFF00FF00), 32)},
          {"grey32.bmp", files::bmp(4, 4, flat(16, 0xFF202020), 32)},
          {"tint.bmp", files::bmp(4, 4, flat(16, 0x803366CC), 32)},
          {"white.bmp", files::bmp(4, 4, flat(16, 0xFFFFFFFF), 32)}});
    object->setClearColor(64, 64, 64);
    // Layer 5 over layer 2, whatever the creation order.
    sprite("red.bmp", 10, 10, 8, 8, 4, 4, 5, 3, 0xFFFFFFFF);
    sprite("green.bmp", 10, 10, 8, 8, 4, 4, 2, 3, 0xFFFFFFFF);
    // In one layer and manager, the later sprite over the earlier one; a
    // later manager over an earlier one.
    sprite("red.bmp", 30, 10, 8, 8, 4, 4, 7, 3, 0xFFFFFFFF);
    sprite("red.bmp", 30, 10, 8, 8, 4, 4, 7, 3, 0xFF0000FF);  // red x blue: black
    sprite("green.bmp", 50, 10, 8, 8, 4, 4, 7, 3, 0xFFFFFFFF);
    sprite("red.bmp", 50, 10, 8, 8, 4, 4, 7, 3, 0xFFFFFFFF);
    // Group 2 adds 32 to the 64 of the clear colour; group 4 draws nothing;
    // group 6 shows the texture's colour whatever the vertex colour and alpha.
    sprite("grey32.bmp", 70, 10, 8, 8, 4, 4, 0, 2, 0xFFFFFFFF);
    sprite("white.bmp", 90, 10, 8, 8, 4, 4, 0, 4, 0xFFFFFFFF);
    sprite("tint.bmp", 110, 10, 8, 8, 4, 4, 0, 6, 0xFF000000);
    // The vertex colour modulates.
    sprite("white.bmp", 130, 10, 8, 8, 4, 4, 0, 3, 0xFF804020);
    // Layer 45 is drawn as 39, over layer 38.
    sprite("white.bmp", 150, 10, 8, 8, 4, 4, 45, 3, 0xFFFFFFFF);
    sprite("red.bmp", 150, 10, 8, 8, 4, 4, 38, 3, 0xFFFFFFFF);
    const FramePicture p = frame();
    EXPECT_EQ(p.at(14, 14) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(p.at(34, 14) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(p.at(54, 14) & 0xFFFFFF, 0x00FF00u);  // green's manager was made after red's
    const std::uint32_t added = p.at(74, 14);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(channel(added, shift), 96, 2) << shift;
    EXPECT_EQ(p.at(94, 14) & 0xFFFFFF, 0x404040u);
    EXPECT_EQ(p.at(114, 14) & 0xFFFFFF, 0x3366CCu);
    const std::uint32_t tinted = p.at(134, 14);
    EXPECT_NEAR(channel(tinted, 16), 0x80, 1);
    EXPECT_NEAR(channel(tinted, 8), 0x40, 1);
    EXPECT_NEAR(channel(tinted, 0), 0x20, 1);
    EXPECT_EQ(p.at(154, 14) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(SpriteFrameTest, ANinetyDegreeSpriteStandsUpright) {
    pack({{"white.bmp", files::bmp(4, 4, flat(16, 0xFFFFFFFF), 32)}});
    Sprite* s = sprite("white.bmp", 100, 100, 40, 10, 4, 4, 0, 3, 0xFFFFFFFF);
    ASSERT_NE(s, nullptr);
    s->setAngle(1026, 90);
    const FramePicture p = frame();
    // Around its centre: 10 wide (x 115..124), 40 tall (y 85..124).
    int lit = 0;
    for (std::uint32_t y = 80; y < 130; ++y)
        for (std::uint32_t x = 95; x < 145; ++x) {
            const bool inside = x >= 115 && x <= 124 && y >= 85 && y <= 124;
            const bool on = (p.at(x, y) & 0xFFFFFF) == 0xFFFFFF;
            lit += on;
            if (inside) {
                EXPECT_TRUE(on) << x << "," << y;
            } else if (x < 114 || x > 125 || y < 84 || y > 125) {
                EXPECT_FALSE(on) << x << "," << y;
            }
        }
    EXPECT_NEAR(lit, 400, 40);
}

TEST_F(SpriteFrameTest, ATextTexturesGlyphsShowThroughItsSprite) {
    std::shared_ptr<Texture> text = g_textureManager->create();
    ASSERT_EQ(text->createEmpty(64, 32, D3DFMT_A8R8G8B8), S_OK);
    text->setTextBoxSize(64, 32);
    text->setFontSize(24);
    text->setFontColor(0x00FF8000);
    text->setStringWait(0);
    ASSERT_EQ(text->setString("\x82\xa0"), S_OK);
    std::shared_ptr<SpriteManager> manager = g_spriteManagerManager->create();
    manager->setTextOwner(1);
    manager->setTexture(text);
    Sprite* s = manager->createSprite(0, 0, 64, 32, 0, 0, 1, 1);
    ASSERT_NE(s, nullptr);
    s->setTexture(text);
    s->setLayer(31);
    s->setX(200);
    s->setY(100);
    // The frame walks text only with an object manager to ask; walk here.
    g_spriteManagerManager->textWalk0();
    const FramePicture p = frame();
    int ink = 0, outside = 0;
    for (std::uint32_t y = 90; y < 142; ++y)
        for (std::uint32_t x = 190; x < 274; ++x) {
            const bool in = x >= 200 && x < 264 && y >= 100 && y < 132;
            if ((p.at(x, y) & 0xFFFFFF) == 0xFF8000) (in ? ink : outside) += 1;
        }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(outside, 0);
}

// Two screen-mode switches and a reset on OpenGL: every texture, the sprite
// buffers and both render targets come back usable, and the same frame
// (effect picture over the play field, wide compression, sprites) has the
// same pixels.
TEST_F(SpriteFrameTest, SwitchesAndAResetKeepEveryPicture) {
    pack({{"grid.bmp", files::bmp(4, 4, Pixels{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF808080,
                                                0xFF102030, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF, 0xFF400000,
                                                0xFF004000, 0xFF000040, 0xFF123456, 0xFF654321, 0xFFABCDEF,
                                                0xFFFEDCBA},
                                   32)}});
    g_systemInfo->setDrawBg(1);
    g_systemInfo->setWideCompress(1);
    GameInfo game;
    g_gameInfo = &game;
    game.setFullDraw(0);
    game.setVar(internName("effectmesh"), 1.0f);
    object->setProjectionMode(1);
    object->setClearColor(0, 0, 64);
    ASSERT_EQ(object->createRenderTarget(1, 512, 512, RenderTarget::kModeEffect), S_OK);
    ASSERT_EQ(object->createRenderTarget(2, 1024, 1024, RenderTarget::kModeFull), S_OK);
    object->setRenderTargetActive(1, 1);
    setEffectPassDrawer([] {
        D3DVIEWPORT9 saved{}, whole{0, 0, 512, 512, 0.0f, 1.0f};
        g_d3dDevice->getViewport(&saved);
        g_d3dDevice->setViewport(&whole);
        const D3DRECT rect{150, 100, 300, 200};
        g_d3dDevice->clear(1, &rect, D3DCLEAR_TARGET, 0xFF800000u, 1.0f, 0);
        g_d3dDevice->setViewport(&saved);
    });
    for (int i = 0; i < 4; ++i) sprite("grid.bmp", 160.0f + 40 * i, 120, 32, 32, 4, 4, 1, 3, 0xFFFFFFFF);
    const FramePicture before = frame();
    ASSERT_EQ(before.width, 640u);
    EXPECT_EQ(before.at(10, 240) & 0xFFFFFF, 0u);  // the left band
    // The sprites' texels and the effect picture are in it.
    std::set<std::uint32_t> colours;
    for (std::uint32_t pixel : before.argb) colours.insert(pixel & 0xFFFFFF);
    EXPECT_GT(colours.size(), 10u);
    EXPECT_TRUE(colours.count(0x800040u));  // the effect red added to the clear colour

    EXPECT_EQ(object->toggleFullScreen(), S_OK);
    EXPECT_EQ(object->toggleFullScreen(), S_OK);
    EXPECT_EQ(object->resetDevice(0), S_OK);
    EXPECT_FALSE(log.logContains("Reset 失敗"));
    const FramePicture after = frame();
    ASSERT_EQ(after.argb.size(), before.argb.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < before.argb.size(); ++i) differing += before.argb[i] != after.argb[i];
    EXPECT_EQ(differing, 0u);

    setEffectPassDrawer(nullptr);
    g_gameInfo = nullptr;
}

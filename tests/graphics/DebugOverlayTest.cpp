// The debug overlay's lines: places, labels and numbers, the switches that
// turn it on, and a texture-memory use below zero.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GfxTestSupport.h"
#include "graphics/DebugOverlay.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "services/FrameCounter.h"

namespace {
class DebugOverlayTest : public GfxTest {
protected:
    DebugOverlayTest() {
        BulletObjectAllocator::instance().fill();
        g_bulletObjectManager = new BulletObjectManager();
        g_systemInfo = new SystemInfo();
        g_systemInfo->setDebugDisplay(1);
    }
    ~DebugOverlayTest() override {
        delete g_frameCounter;
        g_frameCounter = nullptr;
        delete g_bulletObjectManager;
        g_bulletObjectManager = nullptr;
        BulletObjectAllocator::instance().freeBlocks();
    }
    BulletObject* player() {
        BulletObject* player = g_bulletObjectManager->createPlainObject();
        g_bulletObjectManager->setPlayer(player);
        return player;
    }
    static std::string megabytes(std::int64_t bytes) { return std::to_string(bytes / 1048576); }
};
}  // namespace

TEST_F(DebugOverlayTest, LinesInTheirPlacesWithTheirLabels) {
    D3DObject& d3d = created();
    BulletObject* p = player();
    p->setLeft(0.1f);
    p->setTop(320.0f);
    g_bulletObjectManager->createBullet();
    g_frameCounter = new FrameCounter();
    ParticleManager particles;
    particles.init();
    for (int i = 0; i < 3; ++i) particles.emit(0, 0, 0);
    g_particleManager = &particles;
    MeshManager meshes;
    for (int i = 0; i < 2; ++i) meshes.create();
    g_meshManager = &meshes;
    // The mesh passes' buffers take device memory.
    const std::string used = megabytes(d3d.getTextureMemoryUsed());
    const std::string avail = megabytes(d3d.getAvailableTextureMem());
    const std::vector<DebugOverlayLine> expected{
        {10, 0, "x = 0.100000001"},
        {10, 20, "y = 320"},
        {10, 40, "fps = " + std::to_string(g_frameCounter->getFps())},
        {10, 80, "Bullets = 2"},
        {10, 100, "Sprites = 0"},
        {10, 120, "Sound = 0 Track =0"},
        {10, 140, "ExecBullet    0"},
        {10, 160, "Collision     0"},
        {10, 180, "SoundDecode   0"},
        {10, 200, "Render        0"},
        {10, 220, " RenderMesh1  0"},
        {10, 240, " RenderMesh2  0"},
        {10, 260, " RenderMesh3  0"},
        {10, 280, " RenderSprite 0"},
        {10, 300, "Present       0"},
        {10, 320, "Frame         0"},
        {10, 340, "UsedTexMem    " + used},
        {10, 360, "AvailTexMem   " + avail},
        {10, 380, "Texture       0"},
        {10, 400, "Mesh          2"},
        {10, 420, "Selectable    0"},
        {10, 440, "Particle    3"},
        {240, 100, "calcMesh   0"},
        {240, 120, "drawMesh1  0"},
        {240, 140, "drawMesh2  0"},
    };
    const std::vector<DebugOverlayLine> lines = debugOverlayLines();
    g_particleManager = nullptr;
    g_meshManager = nullptr;
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].x, expected[i].x) << i;
        EXPECT_EQ(lines[i].y, expected[i].y) << i;
        EXPECT_EQ(lines[i].text, expected[i].text) << i;
    }

    // Drawn through the font, one text per line, in red.
    ASSERT_EQ(d3d.createFont(), S_OK);
    device().beginScene();
    gfx.clearCalls();
    drawDebugOverlay();
    device().endScene();
    EXPECT_FALSE(gfx.draws().empty());
}

TEST_F(DebugOverlayTest, OnlyWithAPlayerAndTheSwitchOn) {
    D3DObject& d3d = created();
    ASSERT_EQ(d3d.createFont(), S_OK);
    struct Case {
        bool player;
        std::uint32_t display;
        bool drawn;
    } cases[] = {{false, 1, false}, {true, 0, false}, {true, 7, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.player << " " << c.display);
        g_bulletObjectManager->setPlayer(nullptr);
        if (c.player) player();
        g_systemInfo->setDebugDisplay(c.display);
        EXPECT_EQ(debugOverlayLines().empty(), !c.drawn);
        device().beginScene();
        gfx.clearCalls();
        drawDebugOverlay();
        device().endScene();
        EXPECT_EQ(gfx.draws().empty(), !c.drawn);
    }
}

// A device that reports more free texture memory than when it was made
// shows a negative use, not a wrapped one.
TEST_F(DebugOverlayTest, TextureMemoryUseBelowZeroStaysNegative) {
    D3DObject& d3d = created(1280, 960);
    player();
    D3DPRESENT_PARAMETERS smaller = device().presentParameters();
    smaller.BackBufferWidth = 640;
    smaller.BackBufferHeight = 480;
    ASSERT_EQ(device().reset(&smaller), D3D_OK);
    const std::int64_t used = d3d.getTextureMemoryUsed();
    EXPECT_LT(used, -1048576);
    const std::vector<DebugOverlayLine> lines = debugOverlayLines();
    ASSERT_GT(lines.size(), 16u);
    EXPECT_EQ(lines[16].text, "UsedTexMem    " + megabytes(used));
    EXPECT_EQ(lines[16].text.find("UsedTexMem    -"), 0u);
}

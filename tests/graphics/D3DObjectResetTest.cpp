// Device reset and the screen-mode switch, with the render states, targets,
// fog, light and transforms that must come back.
#include <algorithm>

#include "GfxTestSupport.h"
#include "graphics/ParticleManager.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "shell/WinMain.h"

namespace {
class D3DObjectReset : public GfxTest {
protected:
    // A device as start-up leaves it: scene set-up and render target 0.
    D3DObject& startedUp(std::uint32_t use16Bit = 0) {
        D3DObject& d3d = created(640, 480, 1, use16Bit);
        d3d.setAmbient(0.0f, 255.0f, 255.0f, 255.0f, 0);
        d3d.resetLighting();
        d3d.setupDevice();
        d3d.setFog(30.0f, 80.0f, 0xFF000000u);
        EXPECT_EQ(d3d.createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer), S_OK);
        return d3d;
    }
};

bool contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}
}  // namespace

TEST_F(D3DObjectReset, ResetInAWindowReappliesEverything) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = startedUp();
    d3d.setLight(0, 255.0f, 255.0f, 255.0f, 255.0f, 0.0f, -1.0f, 0.0f);
    d3d.setTranslation(1.0f, 2.0f, 3.0f);
    d3d.setRenderMode(1);
    window.placements = 0;
    gfx.clearCalls();
    const std::size_t before = log.logLines().size();

    EXPECT_EQ(d3d.resetDevice(0), S_OK);
    std::vector<std::string> lines = log.logLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Reset 成功",
                         "BackBuffer = X8R8G8B8  Display = X8R8G8B8  ZBuffer = D3DFMT_D16           ",
                         "拡大時異方性テクスチャフィルタリングを有効にします :  Level = 16",
                         "縮小時異方性テクスチャフィルタリングを有効にします MIN:  Level = 16",
                     }));
    std::vector<std::string> calls = gfx.callTexts();
    ASSERT_FALSE(calls.empty());
    // The back buffer is selected again before the targets let go of their
    // surfaces; then the reset's own calls.
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "SetRenderTarget(0, backbuffer)");
    EXPECT_EQ(calls[2].rfind("CheckDeviceMultiSampleType", 0), 0u) << calls[2];
    EXPECT_TRUE(contains(calls, "SetViewport(0, 0, 640, 480, 0, 1)"));
    EXPECT_TRUE(contains(calls, "SetRenderState(D3DRS_FOGVERTEXMODE, 3)"));
    // Mode 2 then mode 1, so every state of mode 1 is set again.
    EXPECT_TRUE(contains(calls, "SetFVF(0x112)"));
    EXPECT_TRUE(contains(calls, "SetFVF(0x144)"));
    EXPECT_TRUE(contains(calls, "LightEnable(0, 1)"));
    // The restored world carries the translation.
    D3DMATRIX world;
    device().getTransform(D3DTS_WORLD, &world);
    EXPECT_FLOAT_EQ(world._41, 1.0f);
    EXPECT_FLOAT_EQ(world._43, 3.0f);
    // The window stays where it is (no rectangle restored); the cursor shows.
    EXPECT_EQ(window.placements, 0);
    EXPECT_EQ(window.style, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    // Render target 0 holds the back buffer made by the reset.
    GfxRef<GfxSurface> backBuffer;
    device().getBackBuffer(backBuffer.put());
    EXPECT_EQ(d3d.getRenderTarget(0)->colourSurface(), backBuffer.get());
    EXPECT_EQ(d3d.selectRenderTarget(0), S_OK);
    EXPECT_EQ(d3d.selectRenderTarget(3), E_FAIL);
}

TEST_F(D3DObjectReset, StateCachesStayTrueAcrossAReset) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = startedUp();
    d3d.setBlendMode(3);
    d3d.setOpaqueMode(0);
    EXPECT_EQ(d3d.resetDevice(0), S_OK);
    // The reset set blend mode 0, so mode 3 applies its row again...
    gfx.clearCalls();
    d3d.setBlendMode(3);
    EXPECT_FALSE(calls().empty());
    // ...and the cached alpha test still matches the device, which kept it.
    gfx.clearCalls();
    d3d.setOpaqueMode(0);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(device().state().renderStates[D3DRS_ALPHATESTENABLE], 1u);
    EXPECT_EQ(device().state().renderStates[D3DRS_ALPHAREF], 0x80u);
}

TEST_F(D3DObjectReset, AltEnterTwiceReturnsToTheRecordedWindow) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = startedUp();
    g_mainWindowRect = {100, 50, 740, 530};
    const int cursor = window.cursorCounter();

    EXPECT_EQ(d3d.toggleFullScreen(), S_OK);
    EXPECT_EQ(d3d.isWindowed(), 0u);
    EXPECT_EQ(window.style, WS_POPUP | WS_VISIBLE);
    EXPECT_EQ(window.cursorCounter(), cursor - 1);
    EXPECT_EQ(device().presentParameters().Windowed, 0);
    EXPECT_EQ(device().presentParameters().FullScreen_RefreshRateInHz, 60u);

    EXPECT_EQ(d3d.toggleFullScreen(), S_OK);
    EXPECT_EQ(d3d.isWindowed(), 1u);
    EXPECT_EQ(window.style, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    EXPECT_EQ(window.cursorCounter(), cursor);
    EXPECT_EQ(window.x, 100);
    EXPECT_EQ(window.y, 50);
    EXPECT_EQ(window.width, 640);
    EXPECT_EQ(window.height, 480);
    EXPECT_EQ(device().presentParameters().Windowed, 1);
    g_mainWindowRect = {};
}

TEST_F(D3DObjectReset, FailedResetIsLoggedAndTriedAgainLater) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = startedUp();
    gfx.faults.failAlways("Reset", D3DERR_DEVICELOST);
    EXPECT_EQ(d3d.resetDevice(0), D3DERR_DEVICELOST);
    EXPECT_TRUE(log.logContains(".\\Src\\D3DObject:1050  Arg:Reset 失敗  FAILED"));
    EXPECT_TRUE(log.logContains("D3DERR_DEVICELOST"));
    // The render target let go of the back buffer and stays released.
    EXPECT_EQ(d3d.getRenderTarget(0)->colourSurface(), nullptr);
    gfx.faults.clear();
    EXPECT_EQ(d3d.resetDevice(0), S_OK);
    EXPECT_NE(d3d.getRenderTarget(0)->colourSurface(), nullptr);
}

TEST_F(D3DObjectReset, SixteenBitColourWithOnlyThirtyTwoBitRecordsFails) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = startedUp();
    // The same list, now asked for 16-bit colour: every record is skipped.
    EXPECT_EQ(d3d.initDevice(640, 480, 60, 1, 0, 1, 1), E_FAIL);
    gfx.clearCalls();
    EXPECT_EQ(d3d.resetDevice(0), E_FAIL);
    EXPECT_TRUE(gfx.callsOf("Reset").empty());
    EXPECT_TRUE(log.logContains(".\\Src\\D3DObject:1050  Arg:Reset 失敗  FAILED"));
}

namespace {
class DeviceReset : public D3DObjectReset {};
}  // namespace

// Every default-pool object goes before the reset (the recording device
// refuses a reset while one lives) and comes back after it in order:
// particle buffers, sprite buffers, fog, render targets, blend mode 0, state modes 2 then 1.
TEST_F(DeviceReset, ReleaseAndRecreateEveryDefaultPoolObjectInOrder) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = startedUp();
    SpriteAllocator::instance().fill();
    TextureManager textures;
    g_textureManager = &textures;
    auto sprites = std::make_unique<SpriteManagerManager>();
    g_spriteManagerManager = sprites.get();
    auto particles = std::make_unique<ParticleManager>();
    ASSERT_EQ(particles->init(), S_OK);
    g_particleManager = particles.get();
    ASSERT_EQ(d3d.createFont(), S_OK);
    ASSERT_EQ(d3d.createRenderTarget(1, 512, 512, RenderTarget::kModeEffect), S_OK);
    ASSERT_EQ(d3d.createRenderTarget(2, 1024, 1024, RenderTarget::kModeFull), S_OK);
    d3d.setRenderTargetActive(1, 0);
    d3d.selectRenderTarget(2);
    d3d.selectRenderTarget(0);
    const std::uint32_t live = gfx.liveResources(D3DPOOL_DEFAULT);
    gfx.clearCalls();
    const std::size_t before = log.logLines().size();

    ASSERT_EQ(d3d.resetDevice(0), S_OK);
    EXPECT_EQ(gfx.liveResources(D3DPOOL_DEFAULT), live);
    std::vector<std::string> lines = log.logLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Reset 成功",
                         "BackBuffer = X8R8G8B8  Display = X8R8G8B8  ZBuffer = D3DFMT_D16           ",
                         "拡大時異方性テクスチャフィルタリングを有効にします :  Level = 16",
                         "縮小時異方性テクスチャフィルタリングを有効にします MIN:  Level = 16",
                         "頂点バッファを使用します",
                         "RenderTarget::setup() SURFACE_FULL",
                     }));
    // The order of the device calls: released before the reset, then made
    // again in order.
    const std::vector<std::string> calls = gfx.callTexts();
    auto first = [&calls](const std::string& prefix) {
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].rfind(prefix, 0) == 0) return std::ptrdiff_t(i);
        ADD_FAILURE() << "no " << prefix;
        return std::ptrdiff_t(-1);
    };
    auto last = [&calls](const std::string& prefix) {
        for (std::size_t i = calls.size(); i-- > 0;)
            if (calls[i].rfind(prefix, 0) == 0) return std::ptrdiff_t(i);
        ADD_FAILURE() << "no " << prefix;
        return std::ptrdiff_t(-1);
    };
    const std::vector<std::ptrdiff_t> order{
        first("SetStreamSource(0, null"), first("Reset("),           first("SetViewport"),
        first("CreateVertexBuffer(80000"), first("CreateIndexBuffer(12000"),
        last("CreateVertexBuffer"),       first("SetRenderState(D3DRS_FOGVERTEXMODE"),
        first("CreateTexture"),           first("SetFVF(0x112)"),    first("SetFVF(0x144)"),
    };
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << testing::PrintToString(order);
    // The targets come back with their display sprites, still inactive.
    ASSERT_NE(d3d.getRenderTarget(1)->getSprite(), nullptr);
    EXPECT_EQ(d3d.getRenderTarget(1)->getSprite()->isActive(), 0);
    EXPECT_EQ(d3d.getRenderTarget(2)->getSprite()->getTargetFlag(), 2);
    EXPECT_EQ(d3d.selectRenderTarget(1), S_OK);

    // A missed release fails the reset: here the target 2 surface selected.
    d3d.selectRenderTarget(2);
    GfxRef<GfxSurface> held(d3d.getRenderTarget(2)->colourSurface());
    EXPECT_EQ(d3d.resetDevice(0), D3DERR_INVALIDCALL);
    held.reset();
    EXPECT_EQ(d3d.resetDevice(0), S_OK);

    particles.reset();
    g_particleManager = nullptr;
    destroy();
    sprites.reset();
    g_spriteManagerManager = nullptr;
    g_textureManager = nullptr;
    SpriteAllocator::instance().freeBlocks();
}

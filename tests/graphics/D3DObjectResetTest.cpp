// Device reset and the screen-mode switch, with the render states, targets,
// fog, light and transforms that must come back.
#include <algorithm>

#include "GfxTestSupport.h"
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
    EXPECT_EQ(calls.front().rfind("CheckDeviceMultiSampleType", 0), 0u);
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

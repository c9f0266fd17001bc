// The program's start-up on the recording device: the Direct3D object and
// its survey, the device with the scene set-up and render target 0, a drawn
// and presented frame every frame step, the release, and the fatal paths.
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics/D3DObject.h"
#include "graphics/RenderFrame.h"
#include "platform/Clock.h"
#include "platform/Glyph.h"
#include "platform/Machine.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "records/GameInfo.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "shell/InitGame.h"
#include "shell/ReleaseAll.h"
#include "shell/WinMain.h"
#include "support/TestSupport.h"

namespace {
// Every read of the timer moves it on a microsecond, so start-up's one-second
// processor measurement ends at once.
class ReadingClock : public Clock {
public:
    std::uint32_t timeGetTime() override { return static_cast<std::uint32_t>(++micros_ / 1000); }
    void sleep(std::uint32_t milliseconds) override { micros_ += std::uint64_t{milliseconds} * 1000; }
    LocalTime localTime() override { return {}; }

private:
    std::uint64_t micros_ = 0;
};

// A test window that ends the message loop after a number of idle frames.
class FramesWindow : public TestWindow {
public:
    int framesLeft = 0;

protected:
    bool pollBackend(WindowMessage& out) override {
        if (TestWindow::pollBackend(out)) return true;
        // Each empty poll is followed by one frame step.
        if (framesLeft-- > 0) return false;
        out = {WM_QUIT, 0, 0};
        return true;
    }
};

class Direct3DStartup : public ::testing::Test {
protected:
    Direct3DStartup() {
        GTEST_FLAG_SET(death_test_style, "fast");
        window.desktop = {0, 0, 1366, 768};
        Window::setInstance(&window);
        Clock::setInstance(&clock);
        Machine::setInstance(&machine);
        GlyphSystem::setInstance(&glyphs);
        root.writeScripts({{"init.xml", std::string(kMinimalInitXml)}});
    }
    ~Direct3DStartup() override {
        releaseAll();
        GlyphSystem::setInstance(nullptr);
        Machine::setInstance(nullptr);
        Clock::setInstance(nullptr);
        Window::setInstance(nullptr);
    }
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        std::string text = root.readFile("debug.txt");
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }

    TempRoot root;
    FramesWindow window;
    ReadingClock clock;
    FixedMachine machine;
    BoxGlyphSystem glyphs;
    RecordingBackend gfx;
};
}  // namespace

TEST_F(Direct3DStartup, SurveysCreatesAndPresentsAClearedFrameEveryStep) {
    window.framesLeft = 5;
    EXPECT_EQ(WinMain(1), 0);
    ASSERT_NE(g_d3dObject, nullptr);
    ASSERT_NE(gfx.device(), nullptr);

    // The survey came after the window, the device during the game
    // initialisation, with the virtual screen and the font.
    std::vector<std::string> lines = logLines();
    auto survey = std::find(lines.begin(), lines.end(), "グラフィックボードの能力を調査中");
    auto created = std::find(lines.begin(), lines.end(), "Direct3D デバイス作成成功");
    EXPECT_LT(survey, created);
    EXPECT_NE(created, lines.end());
    ASSERT_EQ(glyphs.created.size(), 1u);
    EXPECT_EQ(glyphs.created[0].height, 20);

    // The scene set-up reached the device.
    const DeviceState& s = gfx.device()->state();
    EXPECT_EQ(s.renderStates[D3DRS_AMBIENT], 0x00FFFFFFu);
    EXPECT_EQ(s.renderStates[D3DRS_DITHERENABLE], 1u);
    // Lighting and fog were switched on by the set-up; each frame ends with
    // the sprite layers, whose 2-D mode turns both off again.
    EXPECT_EQ(s.renderStates[D3DRS_LIGHTING], 0u);
    EXPECT_EQ(s.renderStates[D3DRS_FOGENABLE], 0u);
    EXPECT_EQ(bitsFloat(s.renderStates[D3DRS_FOGSTART]), 30.0f);
    EXPECT_EQ(bitsFloat(s.renderStates[D3DRS_FOGEND]), 80.0f);
    EXPECT_EQ(s.renderStates[D3DRS_FOGCOLOR], 0xFF000000u);
    EXPECT_EQ(g_d3dObject->getProjectionMode(), 1);
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 0.785398f, 4.0f / 3.0f, 1.0f, 300.0f);
    EXPECT_EQ(D3DXMATRIX(s.projection), projection);
    ASSERT_NE(g_d3dObject->getRenderTarget(0), nullptr);
    EXPECT_EQ(g_d3dObject->getRenderTarget(0)->getMode(), RenderTarget::kModeBackBuffer);

    // Five frames: each a scene with the screen cleared (the game records
    // start with full drawing on), then Present, counted by the frame counter.
    EXPECT_EQ(gfx.device()->presentCount(), 5u);
    EXPECT_EQ(gfx.callsOf("BeginScene").size(), 5u);
    EXPECT_EQ(gfx.callsOf("Clear"), std::vector<std::string>(5, "Clear(1, [(0, 0)-(640, 480)], 0x3, 0x0, 1, 0)"));
    // Full drawing off: only the play field.
    g_gameInfo->setFullDraw(0);
    gfx.clearCalls();
    renderFrame();
    EXPECT_EQ(gfx.callsOf("Clear"), std::vector<std::string>{"Clear(1, [(140, 0)-(500, 480)], 0x3, 0x0, 1, 0)"});
    EXPECT_EQ(gfx.callsOf("SetViewport").front(), "SetViewport(140, 0, 360, 480, 0, 1)");
    ASSERT_NE(g_frameCounter, nullptr);
    EXPECT_EQ(g_frameCounter->getFrameNumber(), 5u);

    releaseAll();
    EXPECT_EQ(g_d3dObject, nullptr);
    EXPECT_EQ(g_d3dDevice, nullptr);
    lines = logLines();
    auto textures = std::find(lines.begin(), lines.end(), "Texture Manager を開放しました");
    ASSERT_NE(textures, lines.end());
    EXPECT_EQ(*(textures + 1), "Direct3D Manager を開放しました");
}

TEST_F(Direct3DStartup, WindowProcedureResetsTheDeviceOnFocusAndSize) {
    window.framesLeft = 1;
    EXPECT_EQ(WinMain(1), 0);
    gfx.clearCalls();
    WndProc(WM_SETFOCUS, 0, 0);
    WndProc(WM_SYSCOMMAND, SC_SIZE, 0);
    WndProc(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    WndProc(WM_SYSCOMMAND, SC_SIZE + 1, 0);  // compared whole: no reset
    EXPECT_EQ(gfx.callsOf("Reset").size(), 3u);
    // Alt+Enter under the "screenchange" switch goes to full screen and back.
    WndProc(WM_SYSKEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(g_d3dObject->isWindowed(), 0u);
    EXPECT_LT(window.cursorCounter(), 0);
    WndProc(WM_SYSKEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(g_d3dObject->isWindowed(), 1u);
    EXPECT_GE(window.cursorCounter(), 0);
    // A full-screen device goes back to a window before the release.
    WndProc(WM_SYSKEYDOWN, VK_RETURN, 0);
    releaseAll();
    EXPECT_EQ(window.style, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
}

TEST_F(Direct3DStartup, NoDirect3DEndsStartUpWithStatusOne) {
    gfx.refuseAdapter = true;
    EXPECT_EXIT(WinMain(1), ::testing::ExitedWithCode(1), "");
    std::vector<std::string> lines = logLines();
    for (const char* line : {"Direct3D オブジェクトの作成に失敗しました",
                             "DirectX9 がインストールされていない可能性があります",
                             "Direct3D の初期化に失敗しました", "開放処理が終了しました"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
}

TEST_F(Direct3DStartup, DeviceThatCannotBeCreatedEndsStartUpWithStatusOne) {
    // No display mode of the configured 640 x 480.
    for (D3DDISPLAYMODE& mode : gfx.survey.modes) mode.Width = mode.Width == 640 ? 700 : mode.Width;
    EXPECT_EXIT(WinMain(1), ::testing::ExitedWithCode(1), "");
    std::vector<std::string> lines = logLines();
    auto failed = std::find(lines.begin(), lines.end(), "Direct3D の初期化に失敗しました");
    ASSERT_NE(failed, lines.end());
    EXPECT_EQ(*(failed + 1), ".\\Src\\InitGame:137  FAILED");
    EXPECT_EQ(*(failed + 2), "E_FAIL");
    EXPECT_EQ(lines.back(), "開放処理が終了しました");
}

TEST_F(Direct3DStartup, InitialisationMessageNamesTheCause) {
    struct Case {
        HRESULT failure;
        const char* text;
    } cases[] = {
        {D3DERR_OUTOFVIDEOMEMORY, "Direct3D の初期化に失敗しました。\r\nビデオメモリが不足しています。"},
        {D3DERR_NOTAVAILABLE,
         "Direct3D の初期化に失敗しました。\r\nビデオカードが DirectX9 に対応していない可能性があります。"},
    };
    g_debugInfo = new DebugInfo("debug.txt");
    for (const Case& c : cases) {
        ASSERT_EQ(createDirect3DObject(), S_OK);
        gfx.faults.failAlways("CreateDevice", c.failure);
        EXPECT_EQ(InitGame(640, 480, false, 1, 1), c.failure);
        ASSERT_FALSE(window.messageBoxes.empty());
        EXPECT_EQ(window.messageBoxes.back(), std::make_pair(std::string(c.text), std::string("Direct3D 初期化エラー")));
        gfx.faults.clear();
        delete g_d3dObject;
        g_d3dObject = nullptr;
    }
}

#include <gtest/gtest.h>

#include "platform/Thread.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/MainLoop.h"
#include "shell/ReleaseAll.h"
#include "shell/ReleaseBlock.h"
#include "shell/WinMain.h"
#include "support/TestSupport.h"

namespace {
// The last lines of the log, as many as the release block has.
std::vector<std::string> tail(const std::vector<std::string>& lines, size_t n) {
    if (lines.size() < n) return lines;
    return std::vector<std::string>(lines.end() - static_cast<long>(n), lines.end());
}
}  // namespace

TEST(WindowPlacement, OriginCentresA640By480Window) {
    struct Case {
        ScreenRect desktop;
        int x, y;
    } cases[] = {
        {{0, 0, 1366, 768}, 363, 144},
        {{0, 0, 1920, 1080}, 640, 300},
        {{0, 0, 640, 480}, 0, 0},
        {{0, 0, 800, 600}, 80, 60},
        {{0, 0, 641, 481}, 0, 0},
        {{0, 0, 600, 400}, -20, -40},  // truncated toward zero
        {{0, 0, 639, 479}, 0, 0},
    };
    for (const Case& c : cases) {
        WindowOrigin origin = computeWindowOrigin(c.desktop);
        EXPECT_EQ(origin.x, c.x) << c.desktop.right;
        EXPECT_EQ(origin.y, c.y) << c.desktop.bottom;
    }
}

TEST(ReleaseOrder, LogsEveryStepInOrderAndClosesTheLogs) {
    TempRoot root;
    g_debugInfo = new DebugInfo("debug.txt");
    g_replayDebugInfo = new ReplayDebugInfo();
    g_debugInfo->writeLine("before");
    releaseAll();
    EXPECT_EQ(g_debugInfo, nullptr);
    EXPECT_EQ(g_replayDebugInfo, nullptr);
    releaseAll();  // a second call finds nothing to free and no log to write
    std::vector<std::string> expected = {"before"};
    expected.insert(expected.end(), kReleaseBlock.begin(), kReleaseBlock.end());
    std::string text = root.readFile("debug.txt");
    std::string want;
    for (const std::string& line : expected) want += line + "\n";
    EXPECT_EQ(text, want);
}

// A pool overrun every frame repeats one line: the log keeps 100 copies and
// the count of the rest, and the release block still ends it.
TEST(ReleaseOrder, ReleaseBlockEndsALogCutShortOfRepeats) {
    TempRoot root;
    g_debugInfo = new DebugInfo("debug.txt");
    g_replayDebugInfo = new ReplayDebugInfo();
    for (int i = 0; i < 5000; ++i) g_debugInfo->writeLine("BulletObjectAllocator EMPTY");
    releaseAll();
    std::vector<std::string> expected(DebugInfo::kRepeatLimit, "BulletObjectAllocator EMPTY");
    expected.push_back("直前と同じ行を 4900 回省略しました");
    expected.insert(expected.end(), kReleaseBlock.begin(), kReleaseBlock.end());
    std::vector<std::string> lines;
    std::istringstream in(root.readFile("debug.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines, expected);
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        // "fast" forks without re-running the program, so the child writes into
        // this test's temporary root.
        GTEST_FLAG_SET(death_test_style, "fast");
        window.desktop = {0, 0, 1366, 768};
        Window::setInstance(&window);
        root.writeScripts({{"init.xml", std::string(kMinimalInitXml)}});
    }
    void TearDown() override { Window::setInstance(nullptr); }
    TempRoot root;
    TestWindow window;
    // Start-up creates the Direct3D device: on the recording backend here.
    RecordingBackend gfx;
};

TEST_F(ProgramRun, CloseMessageReleasesEverythingAndExitsZero) {
    window.inject(WM_SETFOCUS);
    window.inject(WM_SYSKEYDOWN, VK_RETURN);
    window.inject(WM_SYSCOMMAND, SC_SIZE);
    window.inject(WM_CLOSE);
    EXPECT_EXIT(WinMain(1), ::testing::ExitedWithCode(0), "");
    std::string text = root.readFile("debug.txt");
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "VorlyEngine   : Engine_20081003");
    EXPECT_EQ(tail(lines, kReleaseBlock.size()), kReleaseBlock);
}

TEST_F(ProgramRun, WindowIsCreatedWhereA640By480WindowIsCentred) {
    struct Case {
        const char* initXml;
        int width, height;
    } cases[] = {
        {"<gml><title>T</title></gml>", 640, 480},
        // A larger configured size keeps the corner of a centred 640 x 480 window.
        {"<gml><config><width>800</width><height>600</height></config></gml>", 800, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.initXml);
        root.writeScripts({{"init.xml", c.initXml}});
        TestWindow fresh;
        fresh.desktop = {0, 0, 1366, 768};
        Window::setInstance(&fresh);
        // WM_QUIT ends the loop without a release (the window procedure never saw a destroy).
        fresh.postQuitMessage(0);
        EXPECT_EQ(WinMain(1), 0);
        EXPECT_EQ(fresh.x, 363);
        EXPECT_EQ(fresh.y, 144);
        EXPECT_EQ(fresh.width, c.width);
        EXPECT_EQ(fresh.height, c.height);
        EXPECT_EQ(fresh.title, "Sorvanthe");
        EXPECT_TRUE(fresh.shown);
        releaseAll();
    }
}

TEST_F(ProgramRun, WindowThatCannotBeCreatedEndsStartUpWithStatusOne) {
    struct RefusingWindow : TestWindow {
        bool create(const std::string&, int, int, int, int, WindowProcedure) override { return false; }
    } refusing;
    Window::setInstance(&refusing);
    EXPECT_EXIT(WinMain(1), ::testing::ExitedWithCode(1), "");
    std::string text = root.readFile("debug.txt");
    EXPECT_NE(text.find("ウィンドウの作成に失敗しました\n*****"), std::string::npos) << text;
    EXPECT_NE(text.find("開放処理が終了しました"), std::string::npos);
}

TEST_F(ProgramRun, AltF4WithoutScreenchangeTakesTheDefaultCloseRoute) {
    g_systemInfo = new SystemInfo();
    g_systemInfo->setScreenChange(0);
    window.create("t", 0, 0, 640, 480, WndProc);
    EXPECT_EQ(WndProc(WM_SYSKEYDOWN, VK_RETURN, 0), 0);
    EXPECT_EQ(window.cursorCounter(), 0);  // Alt+Enter did nothing
    WndProc(WM_SYSKEYDOWN, VK_F4, 0);
    // The default handling asks the system to close the window...
    WindowMessage m;
    ASSERT_TRUE(window.peekMessage(m));
    EXPECT_EQ(m.message, WM_SYSCOMMAND);
    EXPECT_EQ(m.wParam, SC_CLOSE);
    delete g_systemInfo;
    g_systemInfo = nullptr;
    // ...which reaches the destroy path and exits with 0.
    EXPECT_EXIT(
        {
            g_debugInfo = new DebugInfo("debug.txt");
            window.dispatch(m);
            ASSERT_TRUE(window.peekMessage(m));
            window.dispatch(m);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(root.readFile("debug.txt").find("開放処理が終了しました"), std::string::npos);
}

TEST_F(ProgramRun, ScreenchangeSwitchTakesAltEnterAndAltF4) {
    g_systemInfo = new SystemInfo();
    g_systemInfo->setScreenChange(1);
    window.create("t", 0, 0, 640, 480, WndProc);
    // Alt+Enter: the cursor shows while the device is windowed.
    EXPECT_EQ(WndProc(WM_SYSKEYDOWN, VK_RETURN, 0), 0);
    EXPECT_EQ(window.cursorCounter(), 1);
    WindowMessage m;
    EXPECT_FALSE(window.peekMessage(m));
    EXPECT_EXIT(
        {
            g_debugInfo = new DebugInfo("debug.txt");
            WndProc(WM_SYSKEYDOWN, VK_F4, 0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_NE(root.readFile("debug.txt").find("SystemInfo Manager を開放しました"), std::string::npos);
    delete g_systemInfo;
    g_systemInfo = nullptr;
}

TEST_F(ProgramRun, FatalExitOnTheMainThreadReleasesAndExitsOne) {
    EXPECT_EXIT(
        {
            markMainThread();
            g_debugInfo = new DebugInfo("debug.txt");
            fatalExit("fatal line");
        },
        ::testing::ExitedWithCode(1), "");
    std::string text = root.readFile("debug.txt");
    EXPECT_EQ(text.rfind("fatal line\n*****", 0), 0u);
    EXPECT_NE(text.find("開放処理が終了しました"), std::string::npos);
}

TEST_F(ProgramRun, FatalExitOnAWorkerIsCarriedOutByTheMainLoop) {
    EXPECT_EXIT(
        {
            markMainThread();
            g_debugInfo = new DebugInfo("debug.txt");
            window.create("t", 0, 0, 640, 480, WndProc);
            WorkerThread worker;
            worker.start([] { fatalExit("worker failed"); });
            worker.join();  // the worker ended; the process goes on
            runMessageLoop();
        },
        ::testing::ExitedWithCode(1), "");
    std::string text = root.readFile("debug.txt");
    EXPECT_EQ(text.rfind("worker failed\n*****", 0), 0u);
}

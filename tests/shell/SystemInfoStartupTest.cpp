// The configuration record and the frame counter in the program's start-up
// and release order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/PollingClock.h"
#include "services/SystemInfo.h"
#include "shell/ReleaseAll.h"
#include "shell/WinMain.h"
#include "support/TestSupport.h"

namespace {
size_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}
}  // namespace

TEST(SystemInfoRelease, ReleaseWritesTheSettingsFileInItsStep) {
    LoggedTest test;
    std::filesystem::create_directory(test.root().path() / "data");
    g_systemInfo = new SystemInfo();
    g_systemInfo->setVolume2(1);
    g_frameCounter = new FrameCounter();
    releaseAll();
    EXPECT_EQ(g_systemInfo, nullptr);
    EXPECT_EQ(g_frameCounter, nullptr);
    std::string settings = test.root().readFile("data/gameconfig.dat");
    ASSERT_EQ(settings.size(), 44u);
    EXPECT_EQ(settings[8], '\x01');

    std::vector<std::string> lines = test.logLines();
    size_t replay = indexOf(lines, "Replay Manager を開放しました");
    size_t system = indexOf(lines, "SystemInfo Manager を開放しました");
    size_t frame = indexOf(lines, "Frame Manager を開放しました");
    size_t archive = indexOf(lines, "Archive Manager を開放しました");
    ASSERT_LT(archive, lines.size());
    EXPECT_EQ(system, replay + 1);
    EXPECT_EQ(frame, system + 1);
    EXPECT_EQ(archive, frame + 1);
}

TEST(SystemInfoStartup, ProgramSurveysTheMachineAndWritesTheSettingsAtExit) {
    GTEST_FLAG_SET(death_test_style, "fast");
    TempRoot root;
    std::filesystem::create_directory(root.path() / "data");
    root.writeScripts({{"init.xml", std::string(kMinimalInitXml)}});
    PollingClock clock;
    InstalledClock installed(clock);
    FixedMachine machine;
    machine.memory.totalPhys = 2000000000;
    machine.memory.availPhys = 1000000000;
    Machine::setInstance(&machine);
    TestWindow window;
    Window::setInstance(&window);
    RecordingBackend gfx;
    // The first message closes the window: start-up, then release and exit.
    window.inject(WM_CLOSE);
    EXPECT_EXIT(WinMain(1), ::testing::ExitedWithCode(0), "");
    Window::setInstance(nullptr);
    Machine::setInstance(nullptr);

    EXPECT_EQ(root.readFile("data/gameconfig.dat").size(), 44u);
    std::string log = root.readFile("debug.txt");
    size_t survey = log.find("コンピュータの能力を調査中");
    size_t memory = log.find("物理メモリの総量           = 2000 MB");
    size_t released = log.find("SystemInfo Manager を開放しました");
    EXPECT_NE(survey, std::string::npos);
    EXPECT_NE(memory, std::string::npos);
    EXPECT_NE(released, std::string::npos);
    EXPECT_LT(survey, memory);
    EXPECT_LT(memory, released);
}

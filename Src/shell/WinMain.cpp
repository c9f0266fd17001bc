#include "shell/WinMain.h"

#include "platform/Clock.h"
#include "platform/Thread.h"
#include "records/GameInfo.h"
#include "shell/DebugInfo.h"
#include "shell/InitGame.h"
#include "shell/MainLoop.h"
#include "shell/Managers.h"
#include "shell/ReleaseAll.h"

ScreenRect g_mainWindowRect{};

WindowOrigin computeWindowOrigin(const ScreenRect& desktop) {
    // Signed division truncating toward zero, as C++ does.
    return {(desktop.right - 640) / 2, (desktop.bottom - 480) / 2};
}

namespace {
struct ScreenSettings {
    int width = 640;
    int height = 480;
    int vsync = 1;
    int windowed = 1;
    int bitDepth = 32;
};

ScreenSettings configuredScreen() { return ScreenSettings{}; }

bool createMainWindow(Window& window, const ScreenSettings& screen) {
    WindowOrigin origin = computeWindowOrigin(window.desktopRect());
    if (!window.create(kWindowTitle, origin.x, origin.y, screen.width, screen.height, WndProc)) {
        return false;
    }
    g_mainWindowRect = window.windowRect();
    return true;
}
}  // namespace

int WinMain(int /*showCommand*/) {
    markMainThread();
    Window* window = Window::instance();

    g_debugInfo = new DebugInfo("debug.txt");
    g_debugInfo->writeLine(std::string("VorlyEngine   : ") + kEngineVersion);
    g_replayDebugInfo = new ReplayDebugInfo();

    g_gameInfo = new GameInfo();
    g_gameInfo->init();
    g_gameInfo->load();

    ScreenSettings screen = configuredScreen();

    if (!window || !createMainWindow(*window, screen)) {
        logLine("ウィンドウの作成に失敗しました");
        releaseAll();
        return 0;
    }

    window->show();

    screen = configuredScreen();
    HRESULT result = InitGame(screen.width, screen.height, screen.bitDepth == 16, screen.vsync, 1);
    if (FAILED(result)) {
        releaseAll();
        return 0;
    }

    return runMessageLoop();
}

#include "shell/WinMain.h"

#include "graphics/D3DObject.h"
#include "network/NetworkManager.h"
#include "network/RankingProtocol.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "records/GameInfo.h"
#include "runtime/SysVars.h"
#include "script/XMLManagerManager.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/ConfigDialog.h"
#include "shell/FrameCaptureSettings.h"
#include "shell/InitGame.h"
#include "shell/MainLoop.h"
#include "shell/ReleaseAll.h"


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

ScreenSettings configuredScreen() {
    ScreenSettings screen;
    if (!g_systemInfo) return screen;
    screen.width = static_cast<int>(g_systemInfo->getWidth());
    screen.height = static_cast<int>(g_systemInfo->getHeight());
    screen.vsync = static_cast<int>(g_systemInfo->getVsync());
    screen.windowed = static_cast<int>(g_systemInfo->isWindowed());
    screen.bitDepth = static_cast<int>(g_systemInfo->getBpp());
    return screen;
}

// The "imgarchive" switch of the configuration record.
bool imageArchiveSwitch() { return g_systemInfo && g_systemInfo->getImgArchive() != 0; }

// The archive folders: the "texture" and "mesh" archives rebuilt from their
// loose folders when the switch asks for it (the results are not acted on: a
// failed build keeps the old archive), then the "texture" index loaded.
void setUpArchives() {
    if (imageArchiveSwitch()) {
        g_archiveManager->buildTextureArchive("texture");
        g_archiveManager->buildArchive("mesh");
    }
    g_archiveManager->loadIndex("texture");
}

bool createMainWindow(Window& window, const ScreenSettings& screen) {
    WindowOrigin origin = computeWindowOrigin(window.desktopRect());
    if (!window.create(kWindowTitle, origin.x, origin.y, screen.width, screen.height, WndProc)) {
        return false;
    }
    g_mainWindowRect = window.windowRect();
    return true;
}
}  // namespace

bool runStartupDialog() {
    if (!g_systemInfo || !g_systemInfo->isDialogEnabled()) return true;
    if (noDialogFileExists()) {
        g_systemInfo->setVsync(1);
        g_systemInfo->setScroll(1);
        return true;
    }
    const std::intptr_t answer = showConfigDialog(Window::instance());
    if (answer == IDOK) return true;
    if (answer == -1) {
        // No dialog could be shown: start-up goes on with the settings as
        // they are, as when the dialog is switched off.
        logLine("設定ダイアログを表示できませんでした");
        return true;
    }
    // Cancel: the program ends writing nothing back, but a network worker
    // started by the opening is stopped (and says goodbye) before it does.
    delete g_networkManager;
    g_networkManager = nullptr;
    return false;
}

int WinMain(int /*showCommand*/) {
    // The built-in script variables are bound before anything else exists.
    registerSysVars();
    markMainThread();
    Window* window = Window::instance();

    g_debugInfo = new DebugInfo("debug.txt");
    g_debugInfo->writeLine(std::string("VorlyEngine   : ") + kEngineVersion);
    g_replayDebugInfo = new ReplayDebugInfo();

    g_systemInfo = new SystemInfo();
    g_systemInfo->surveyMachine();
    g_systemInfo->setVersion(2, 0);
    g_systemInfo->setRuntimeSwitch(1);

    g_gameInfo = new GameInfo();
    g_gameInfo->init();
    g_gameInfo->load();

    g_archiveManager = new ArchiveManager();

    // The configuration document fills the configuration record and queues the
    // first scene's scripts. Without it there is no game to run.
    g_xmlManagerManager = new XMLManagerManager();
    if (FAILED(g_xmlManagerManager->loadNow(u"init.xml", 0))) fatalExit();

    ScreenSettings screen = configuredScreen();
    logLine("GameInstance  : " + text::cp932ToUtf8(g_systemInfo->getTitle()));
    logLine("ScriptVersion : " + text::cp932ToUtf8(g_systemInfo->getScriptVersion()));
    logLine("");
    g_systemInfo->logMachineSurvey();

    g_networkManager = new NetworkManager(
        g_gameInfo, ranking::versionWord(g_systemInfo->getVersionMajor(), g_systemInfo->getVersionMinor()));
    bool networkOpeningQueued = false;
    if (g_systemInfo->getOnline()) {
        runNetworkOpening(*g_networkManager, g_gameInfo);
        networkOpeningQueued = true;
    }

    // Without a window there is nothing to run: a fatal start-up failure
    // (exit status 1), not a normal end.
    if (!window || !createMainWindow(*window, screen)) fatalExit("ウィンドウの作成に失敗しました");

    // A Direct3D failure has been logged and shown; start-up ends through
    // the release path.
    if (FAILED(createDirect3DObject())) fatalExit();

    if (!runStartupDialog()) return 0;

    // The dialog may have switched networking on or off.
    if (g_systemInfo->getOnline() && !networkOpeningQueued) {
        runNetworkOpening(*g_networkManager, g_gameInfo);
        networkOpeningQueued = true;
    } else if (!g_systemInfo->getOnline() && networkOpeningQueued) {
        g_networkManager->request(6, 0, 0, 0);
        g_networkManager->poll();
        networkOpeningQueued = false;
    }

    window->show();

    screen = configuredScreen();
    setUpArchives();
    HRESULT result = InitGame(screen.width, screen.height, screen.bitDepth == 16, screen.vsync, 1);
    if (FAILED(result)) fatalExit();

    if (g_frameCounter) g_frameCounter->start();
    installFrameCaptureFromEnvironment();

    if (screen.windowed == 0 && g_d3dObject && g_d3dObject->isWindowed()) {
        g_d3dObject->toggleFullScreen();
        window->showCursor(false);
    }

    // The opening's answers get a head start before the first frame.
    if (networkOpeningQueued) Clock::instance().sleep(1000);

    return runMessageLoop();
}

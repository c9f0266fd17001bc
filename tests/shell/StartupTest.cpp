// What start-up does between the configuration and the message loop, on the
// recording graphics backend and the test window: the "imgarchive" rebuild of
// the "texture" and "mesh" archives, the switch to full screen asked for by
// the settings file, the engine version, the frame counter's start; and the
// release order with only some managers present.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graphics/D3DObject.h"
#include "graphics/ParticleManager.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "records/GameInfo.h"
#include "services/ArchiveTestSupport.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/ReleaseAll.h"
#include "shell/ReleaseBlock.h"
#include "shell/WinMain.h"
#include "support/TestSupport.h"

namespace {
// The settings file with every word at its default but the windowed switch.
std::string settingsFile(std::uint32_t windowed) {
    std::uint32_t words[11] = {5, 5, 5, 3, windowed, 0, 0, 0, 0, 1, 0};
    std::string bytes;
    for (std::uint32_t word : words)
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<char>(word >> (8 * k)));
    return bytes;
}
}  // namespace

TEST(Startup, ArchivesScreenModeVersionAndFrameCounter) {
    struct Case {
        const char* what;
        bool imgArchive;
        std::uint32_t windowed;
    };
    const Case cases[] = {
        {"defaults", false, 1},
        {"imgarchive rebuilds texture and mesh", true, 1},
        {"settings file asks for full screen", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempRoot root;
        TestWindow window;
        window.desktop = {0, 0, 1366, 768};
        Window::setInstance(&window);
        RecordingBackend gfx;
        std::string initXml = "<gml><title>T</title><xbmlconfig><imgarchive>";
        initXml += c.imgArchive ? "on" : "off";
        initXml += "</imgarchive></xbmlconfig></gml>";
        root.writeScripts({{"init.xml", initXml}});
        root.writeFile("data/gameconfig.dat", settingsFile(c.windowed));
        // Loose files without archives: only a rebuild makes them readable.
        root.writeFile("texture/a.bmp", "pict");
        root.writeFile("mesh/m.x", "xof mesh");

        window.postQuitMessage(0);  // ends the loop at once, without a release
        EXPECT_EQ(WinMain(1), 0);

        ASSERT_NE(g_systemInfo, nullptr);
        EXPECT_EQ(g_systemInfo->getVersionMajor(), 2u);
        EXPECT_EQ(g_systemInfo->getVersionMinor(), 0u);

        EXPECT_EQ(root.exists("texture/idx.dat"), c.imgArchive);
        EXPECT_EQ(root.exists("mesh/idx.dat"), c.imgArchive);
        if (c.imgArchive) {
            ASSERT_NE(g_archiveManager, nullptr);
            // The texture entry is in the loaded map: no scan of the index file.
            std::filesystem::remove(root.path() / "texture/idx.dat");
            EXPECT_EQ(g_archiveManager->readExpanded("texture", "a.bmp", 0), bytesOf("pict"));
            EXPECT_EQ(g_archiveManager->readRaw("mesh", "m.x"), bytesOf("xof mesh"));
        }

        ASSERT_NE(g_d3dObject, nullptr);
        EXPECT_EQ(g_d3dObject->isWindowed() != 0, c.windowed != 0);
        // The cursor is hidden exactly when start-up went to full screen.
        EXPECT_EQ(window.cursorCounter() < 0, c.windowed == 0);

        // Started after the game initialisation: frame numbers count from 0.
        ASSERT_NE(g_frameCounter, nullptr);
        EXPECT_EQ(g_frameCounter->getFrameNumber(), 0u);
        // The particle pool is made and filled with the core managers.
        ASSERT_NE(g_particleManager, nullptr);
        g_particleManager->emit(0, 0, 0);
        EXPECT_EQ(g_particleManager->liveCount(), 1u);

        releaseAll();
        EXPECT_EQ(g_particleManager, nullptr);
        Window::setInstance(nullptr);
    }
}

// Whichever managers exist, the release path frees them, empties their
// pointers, and logs every step in order; the records and settings are
// written by their own managers' steps.
TEST(ReleaseOrder, AnySubsetOfManagersIsReleasedWithTheWholeBlock) {
    struct Case {
        const char* what;
        bool systemInfo, gameInfo, frameCounter, archive;
    };
    const Case cases[] = {
        {"none", false, false, false, false},
        {"configuration only", true, false, false, false},
        {"records and archive", false, true, false, true},
        {"configuration, frame counter and archive", true, false, true, true},
        {"all four", true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempRoot root;
        std::filesystem::create_directory(root.path() / "data");
        g_debugInfo = new DebugInfo("debug.txt");
        g_replayDebugInfo = new ReplayDebugInfo();
        if (c.systemInfo) g_systemInfo = new SystemInfo();
        if (c.gameInfo) {
            g_gameInfo = new GameInfo();
            g_gameInfo->init();
        }
        if (c.frameCounter) g_frameCounter = new FrameCounter();
        if (c.archive) g_archiveManager = new ArchiveManager();
        releaseAll();

        EXPECT_EQ(g_systemInfo, nullptr);
        EXPECT_EQ(g_gameInfo, nullptr);
        EXPECT_EQ(g_frameCounter, nullptr);
        EXPECT_EQ(g_archiveManager, nullptr);
        EXPECT_EQ(g_debugInfo, nullptr);
        EXPECT_EQ(g_replayDebugInfo, nullptr);
        std::string want;
        for (const std::string& line : kReleaseBlock) want += line + "\n";
        EXPECT_EQ(root.readFile("debug.txt"), want);
        EXPECT_EQ(root.exists("data/gameconfig.dat"), c.systemInfo);
        EXPECT_EQ(root.exists("data/cache.dat"), c.gameInfo);
    }
}

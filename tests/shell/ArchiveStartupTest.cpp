// Start-up sets the archive folders up once the window is shown: the
// "texture" index is loaded into the map whatever the configuration says.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/ArchiveTestSupport.h"
#include "services/Managers.h"
#include "shell/ReleaseAll.h"
#include "shell/WinMain.h"

TEST(ArchiveStartup, LoadsTheTextureIndexAndReleasesTheArchiveLast) {
    TempRoot root;
    TestWindow window;
    window.desktop = {0, 0, 1366, 768};
    Window::setInstance(&window);
    RecordingBackend gfx;
    root.writeFile("texture/a.bmp", "picture");
    ASSERT_EQ(archive_builder::build("texture", ArchiveForm::RunLength), S_OK);
    root.writeScripts({{"init.xml", std::string(kMinimalInitXml)}});

    window.postQuitMessage(0);  // ends the loop at once, without a release
    EXPECT_EQ(WinMain(1), 0);
    ASSERT_NE(g_archiveManager, nullptr);
    // Found from the loaded map, not from the index file.
    std::filesystem::remove(root.path() / "texture/idx.dat");
    EXPECT_EQ(g_archiveManager->readExpanded("texture", "a.bmp", 0), bytesOf("picture"));

    releaseAll();
    EXPECT_EQ(g_archiveManager, nullptr);
    std::string log = root.readFile("debug.txt");
    EXPECT_EQ(log.find("texture\\idx.dat  FAILED"), std::string::npos) << log;
    EXPECT_NE(log.find("Frame Manager を開放しました\nArchive Manager を開放しました\n開放処理が終了しました\n"),
              std::string::npos);
    Window::setInstance(nullptr);
}

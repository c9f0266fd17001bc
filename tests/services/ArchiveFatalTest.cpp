// An entry the archive cannot deliver ends the program: its line, then the
// release path and exit status 1 on the main thread; on a worker thread only
// the worker ends and the main thread's loop carries out the exit.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "ArchiveTestSupport.h"
#include "platform/Window.h"
#include "services/FatalExit.h"
#include "services/Managers.h"
#include "shell/MainLoop.h"
#include "shell/WinMain.h"

namespace {
class ArchiveFatal : public ArchiveTest {
protected:
    void SetUp() override {
        // "fast" forks without re-running the program, so the child writes
        // into this test's temporary root.
        GTEST_FLAG_SET(death_test_style, "fast");
        writeFile("mesh/ok.x", bytesOf("mesh"));
        writeFile("mesh/empty.x", Bytes{});
        writeFile("texture/\x83\x65\x83\x4C.bmp", bytesOf("unused"));
        ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
        writeFile("texture/arc.dat", bytesOf("not run-length coded"));
        writeIndex("texture", {{"bad.bmp", {0, 20}}});
        writeFile("script/idx.dat", Bytes{});
        writeFile("script/arc.dat", Bytes{});
    }
};

const char kReleaseOpening[] = "*****************************************************\n"
                               "全てのマネージャー及びオブジェクトの開放を行います...\n";
const char kReleaseEnd[] = "Archive Manager を開放しました\n開放処理が終了しました\n";
}  // namespace

TEST_F(ArchiveFatal, OnTheMainThreadTheLineThenReleaseAndStatusOne) {
    struct Case {
        const char* what;
        std::function<void(ArchiveManager&)> read;
        const char* line;
    };
    const Case cases[] = {
        {"size of a missing entry", [](ArchiveManager& a) { a.getEntrySize("mesh", "gone.x"); },
         "gone.x が見つかりません\n"},
        {"raw read of a missing entry", [](ArchiveManager& a) { a.readRaw("mesh", "gone.x"); },
         "gone.x が見つかりません\n"},
        {"read of an entry of size 0", [](ArchiveManager& a) { a.readRaw("mesh", "empty.x"); },
         "empty.x が見つかりません\n"},
        {"missing entry with a cp932 name",
         [](ArchiveManager& a) { a.readExpanded("texture", "\x83\x65\x83\x4C.bmp", 0); },
         "テキ.bmp が見つかりません\n"},
        // The reason names the entry, so the pair of lines reads as cause and effect.
        {"entry that does not expand", [](ArchiveManager& a) { a.readExpanded("texture", "bad.bmp", 20); },
         "E_FAIL\ntexture\\bad.bmp を展開できません（run-length length exceeds the output buffer）\n"
         "bad.bmp が見つかりません\n"},
        {"lookup in an empty index", [](ArchiveManager& a) { a.readDecoded("script", "stage.xml", 0); },
         "stage.xml が見つかりません\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile("debug.txt", Bytes{});
        EXPECT_EXIT(
            {
                g_archiveManager = new ArchiveManager();
                c.read(*g_archiveManager);
            },
            ::testing::ExitedWithCode(1), "");
        std::string text = logText();
        std::string expected = std::string(c.line) + kReleaseOpening;
        EXPECT_NE(text.find(expected), std::string::npos) << text;
        ASSERT_GE(text.size(), sizeof kReleaseEnd - 1);
        EXPECT_EQ(text.substr(text.size() - (sizeof kReleaseEnd - 1)), kReleaseEnd);
    }
}

TEST_F(ArchiveFatal, OnAWorkerOnlyTheWorkerEndsAndTheMainLoopExits) {
    EXPECT_EXIT(
        {
            TestWindow window;
            Window::setInstance(&window);
            window.create("t", 0, 0, 640, 480, WndProc);
            g_archiveManager = new ArchiveManager();
            std::atomic<bool> readReturned{false};
            WorkerThread worker;
            worker.start([&] {
                g_archiveManager->readDecoded("script", "stage.xml", 0);
                readReturned = true;
            });
            worker.join();
            // The worker did not go on and did not release anything itself.
            if (readReturned || !fatalExitRequested() || !g_archiveManager) std::_Exit(3);
            if (logContains("開放処理")) std::_Exit(4);
            runMessageLoop();
        },
        ::testing::ExitedWithCode(1), "");
    std::string text = logText();
    EXPECT_NE(text.find(std::string("stage.xml が見つかりません\n") + kReleaseOpening), std::string::npos) << text;
    EXPECT_NE(text.find(kReleaseEnd), std::string::npos);
}

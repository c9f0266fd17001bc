#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "services/DebugInfo.h"
#include "support/TestSupport.h"

TEST(DebugInfoLog, LineFormsAreByteExact) {
    LoggedTest t;
    g_debugInfo->writeLine("VorlyEngine   : Engine_20081003");
    g_debugInfo->writeLine("");
    g_debugInfo->write("count");
    g_debugInfo->writeNumber(-1);
    g_debugInfo->writeNumber(INT32_MIN);
    g_debugInfo->writeLine("end");
    g_debugInfo->writeWide(u"label");
    g_debugInfo->writeLine("after");
    g_debugInfo->writeWideLine(u"wide");
    g_debugInfo->writeHresult(E_FAIL);
    g_debugInfo->writeHresult(S_OK);
    g_debugInfo->writeHresult(0x7777);
    logFailure("ArchiveManager", 120, E_FAIL, "texture\\a.png");
    logFailure("InitGame", 137, D3DERR_OUTOFVIDEOMEMORY);
    logFailure("GameObject", 5, E_FAIL, std::string());
    logNullPointerWarning("ExBulletML_Runtime", 77, "img");
    EXPECT_EQ(t.logText(),
              "VorlyEngine   : Engine_20081003\n"
              "\n"
              "count -1 -2147483648 end\n"
              "label after\n"
              "wide\n"
              "E_FAIL\n"
              "S_OK\n"
              "Unknown\n"
              ".\\Src\\ArchiveManager:120  Arg:texture\\a.png  FAILED\n"
              "E_FAIL\n"
              ".\\Src\\InitGame:137  FAILED\n"
              "D3DERR_OUTOFVIDEOMEMORY\n"
              ".\\Src\\GameObject:5  Arg:  FAILED\n"
              "E_FAIL\n"
              ".\\Src\\ExBulletML_Runtime:77  Arg:img  Null Pointer Warning\n");
}

TEST(DebugInfoLog, WideTextIsCutAt255BytesAndConvertedFromCp932) {
    LoggedTest t;
    g_debugInfo->writeWideLine(std::u16string(300, u'x'));
    g_debugInfo->writeWideLine(u"\x82\xa0");  // cp932 bytes of "あ", one unit each
    std::vector<std::string> lines = t.logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(255, 'x'));
    EXPECT_EQ(lines[1], "あ");
}

TEST(DebugInfoLog, WideUnitsAreFlushedOnlyByTheNextLine) {
    LoggedTest t;
    g_debugInfo->writeLine("first");
    g_debugInfo->writeWide(u"pending");
    EXPECT_EQ(t.logText(), "first\n");
    g_debugInfo->writeLine("");
    EXPECT_EQ(t.logText(), "first\npending \n");
}

// After 100 copies of a line in a row the rest are left out until another
// line comes or the log closes; one line then counts them.
TEST(DebugInfoLog, RepeatsPastTheLimitAreCounted) {
    const std::string counted = "直前と同じ行を 50 回省略しました";
    auto copies = [](std::size_t n, std::initializer_list<std::string> lines) {
        std::string text;
        for (std::size_t i = 0; i < n; ++i)
            for (const std::string& line : lines) text += line + "\n";
        return text;
    };
    struct Case {
        const char* name;
        std::function<void()> write;  // 150 copies unless told
        std::string expected;
    } cases[] = {
        {"exactly the limit: nothing left out",
         [] {
             for (int i = 0; i < 100; ++i) g_debugInfo->writeLine("EMPTY");
             g_debugInfo->writeLine("next");
         },
         copies(100, {"EMPTY"}) + "next\n"},
        {"a different line ends the run",
         [] {
             for (int i = 0; i < 150; ++i) g_debugInfo->writeLine("EMPTY");
             g_debugInfo->writeLine("next");
             g_debugInfo->writeLine("EMPTY");
         },
         copies(100, {"EMPTY"}) + counted + "\nnext\nEMPTY\n"},
        {"closing the log ends the run", [] { for (int i = 0; i < 150; ++i) g_debugInfo->writeLine("EMPTY"); },
         copies(100, {"EMPTY"}) + counted + "\n"},
        {"lines built from pieces",
         [] {
             for (int i = 0; i < 150; ++i) {
                 g_debugInfo->write("count");
                 g_debugInfo->writeNumber(7);
                 g_debugInfo->writeLine("end");
             }
             g_debugInfo->write("other");
             g_debugInfo->writeLine("piece");
         },
         copies(100, {"count 7 end"}) + counted + "\nother piece\n"},
        {"a failure line and its code as one",
         [] { for (int i = 0; i < 150; ++i) logFailure("DSoundTrack", 224, E_FAIL, "a.wav"); },
         copies(100, {".\\Src\\DSoundTrack:224  Arg:a.wav  FAILED", "E_FAIL"}) + counted + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot root;
        g_debugInfo = new DebugInfo("debug.txt");
        c.write();
        delete g_debugInfo;
        g_debugInfo = nullptr;
        EXPECT_EQ(root.readFile("debug.txt"), c.expected);
    }
}

TEST(DebugInfoLog, ReopeningReplacesTheFileAndAFailedOpenIsSilent) {
    TempRoot root;
    {
        DebugInfo first("debug.txt");
        first.writeLine("old run");
    }
    {
        DebugInfo second("debug.txt");
        second.writeLine("new run");
    }
    EXPECT_EQ(root.readFile("debug.txt"), "new run\n");
    DebugInfo broken("no\\such\\folder\\debug.txt");
    EXPECT_FALSE(broken.isOpen());
    broken.writeLine("goes nowhere");
    broken.writeHresult(E_FAIL);
}

TEST(DebugInfoLog, ReplayTraceLinesAreWrittenNowhere) {
    LoggedTest t;
    ASSERT_NE(g_replayDebugInfo, nullptr);
    g_debugInfo->writeLine("before");
    g_replayDebugInfo->writeLine("startReplay");
    g_debugInfo->writeLine("after");
    EXPECT_EQ(t.logText(), "before\nafter\n");
    // Nor in any file of the game folder: the log is the only file there.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(t.root().path()))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"debug.txt"});
}

TEST(DebugInfoLog, WritersWithoutALogDoNothing) {
    TempRoot root;
    ASSERT_EQ(g_debugInfo, nullptr);
    logLine("nowhere");
    logWideLine(u"nowhere");
    logFailure("X", 1, E_FAIL);
    logHresult(E_FAIL);
    // No log was opened behind the caller's back, and none came to exist.
    EXPECT_EQ(g_debugInfo, nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(root.path()));
}

TEST(DebugInfoLogThreads, ConcurrentLinesStayWhole) {
    LoggedTest t;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([i] {
            // Numbered, so no line repeats the one before it.
            for (int n = 0; n < 200; ++n)
                g_debugInfo->writeLine("thread " + std::to_string(i) + " line " + std::to_string(1000 + n));
        });
    }
    for (std::thread& th : threads) th.join();
    std::vector<std::string> lines = t.logLines();
    ASSERT_EQ(lines.size(), 800u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.size(), 18u) << line;
    }
}

// Threads that overrun a pool together repeat one line: 100 copies are
// written, and one line counts every copy left out.
TEST(DebugInfoLogThreads, RepeatsFromManyThreadsAreCountedOnce) {
    LoggedTest t;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([] {
            for (int n = 0; n < 2000; ++n) g_debugInfo->writeLine("SpriteAllocator EMPTY");
        });
    }
    for (std::thread& th : threads) th.join();
    g_debugInfo->writeLine("end");
    std::vector<std::string> expected(DebugInfo::kRepeatLimit, "SpriteAllocator EMPTY");
    expected.push_back("直前と同じ行を 7900 回省略しました");
    expected.push_back("end");
    const std::vector<std::string> lines = t.logLines();
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines, expected);
}

// Loader and network threads log failures too: each failure line is followed
// by its own code line, never by another thread's line.
TEST(DebugInfoLogThreads, FailureLineAndItsCodeLineStayTogether) {
    LoggedTest t;
    constexpr int kPerThread = 5000;
    const HRESULT codes[2] = {E_FAIL, E_OUTOFMEMORY};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([i, &codes] {
            for (int n = 0; n < kPerThread; ++n) logFailure("Thread" + std::to_string(i), n, codes[i]);
        });
    }
    for (std::thread& th : threads) th.join();
    std::vector<std::string> lines = t.logLines();
    ASSERT_EQ(lines.size(), 4u * kPerThread);
    int apart = 0;
    for (std::size_t k = 0; k + 1 < lines.size(); k += 2) {
        bool first = lines[k].rfind(".\\Src\\Thread0:", 0) == 0;
        bool second = lines[k].rfind(".\\Src\\Thread1:", 0) == 0;
        if (!(first && lines[k + 1] == "E_FAIL") && !(second && lines[k + 1] == "E_OUTOFMEMORY")) ++apart;
    }
    EXPECT_EQ(apart, 0);
}

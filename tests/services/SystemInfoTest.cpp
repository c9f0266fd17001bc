#include "services/SystemInfo.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "PollingClock.h"
#include "platform/Machine.h"
#include "services/DebugInfo.h"
#include "services/GameConfigFile.h"
#include "services/Managers.h"
#include "shell/WinMain.h"
#include "support/TestSupport.h"

namespace {
std::string wordBytes(std::initializer_list<std::uint32_t> words) {
    std::string bytes;
    for (std::uint32_t word : words) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(word >> (8 * i)));
    }
    return bytes;
}

std::vector<std::uint32_t> fileWords(const TempRoot& root) {
    std::string bytes = root.readFile("data/gameconfig.dat");
    std::vector<std::uint32_t> words;
    for (size_t at = 0; at + 4 <= bytes.size() && words.size() < 11; at += 4) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) word |= std::uint32_t{static_cast<std::uint8_t>(bytes[at + i])} << (8 * i);
        words.push_back(word);
    }
    return words;
}

// The fields the settings file carries, in word order.
std::array<std::uint32_t, 11> configFields(const SystemInfo& info) {
    return {info.getVolume0(),    info.getVolume1(),         info.getVolume2(),  info.getMaxContinue(),
            info.isWindowed(),    info.getBpp(),             info.getForce60fps(), info.getDrawBg(),
            info.getOnline(),     info.getReadSkipEnable(),  info.isWideCompress()};
}
}  // namespace

TEST(SystemInfoDefaults, FreshRecordHoldsTheDefaults) {
    TempRoot root;
    SystemInfo info;
    EXPECT_EQ(info.getTitle(), "VorlyEngine");
    EXPECT_EQ(info.getScriptVersion(), "");
    const std::vector<std::pair<const char*, std::uint32_t>> expected = {
        {"width", info.getWidth()},          {"height", info.getHeight()},
        {"bpp", info.getBpp()},              {"vsync", info.getVsync()},
        {"dialog", info.isDialogEnabled()},  {"scroll", info.getScroll()},
        {"windowed", info.isWindowed()},     {"collisionDisplay", info.getCollisionDisplay()},
        {"debugDisplay", info.getDebugDisplay()}, {"systemType", info.getSystemType()},
        {"replayEnable", info.getReplayEnable()}, {"screenChange", info.getScreenChange()},
        {"effectTarget", info.isEffectTargetEnabled()}, {"drawBg", info.getDrawBg()},
        {"force60fps", info.getForce60fps()}, {"imgArchive", info.getImgArchive()},
        {"noDamage", info.getNoDamage()},    {"flagDebug", info.getFlagDebug()},
        {"noGameOver", info.getNoGameOver()}, {"allStage", info.getAllStage()},
        {"online", info.getOnline()},        {"readSkipEnable", info.getReadSkipEnable()},
        {"wideCompress", info.isWideCompress()}, {"forceNoPractice", info.getForceNoPractice()},
        {"runtimeSwitch", info.getRuntimeSwitch()}, {"volume0", info.getVolume0()},
        {"volume1", info.getVolume1()},      {"volume2", info.getVolume2()},
        {"maxContinue", info.getMaxContinue()}, {"versionMajor", info.getVersionMajor()},
        {"versionMinor", info.getVersionMinor()},
    };
    const std::vector<std::uint32_t> defaults = {640, 480, 32, 1, 0, 1, 1, 0, 0, 0, 1, 1, 1, 1, 0, 0,
                                                 0,   0,   0,  0, 1, 1, 0, 0, 1, 5, 5, 5, 3, 1, 0};
    ASSERT_EQ(expected.size(), defaults.size());
    for (size_t i = 0; i < defaults.size(); ++i) EXPECT_EQ(expected[i].second, defaults[i]) << expected[i].first;
    EXPECT_EQ(info.getReplay(), 0);

    info.setAllStage();
    EXPECT_EQ(info.getAllStage(), 1u);
}

TEST(SystemInfoGameConfig, MissingFileLeavesTheDefaults) {
    TempRoot root;
    SystemInfo info;
    std::array<std::uint32_t, 11> before = configFields(info);
    loadGameConfig(info);
    EXPECT_EQ(configFields(info), before);
}

TEST(SystemInfoGameConfig, WordsAreReadIntoTheirFields) {
    struct Case {
        std::array<std::uint32_t, 11> words;
        std::array<std::uint32_t, 11> fields;
    };
    // Fields: volume0..2, continues, windowed, bpp, force60fps, drawBg, online, readSkip, wideCompress.
    const Case cases[] = {
        // All zero: background and network on (words 7 and 8 are inverted), 32-bit colour.
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 32, 0, 1, 1, 0, 0}},
        // Word 5 set means 16-bit colour.
        {{1, 2, 3, 4, 1, 1, 1, 1, 1, 1, 1}, {1, 2, 3, 4, 1, 16, 1, 0, 0, 1, 1}},
        {{5, 0, 5, 99, 0, 1, 0, 1, 0, 1, 0}, {5, 0, 5, 99, 0, 16, 0, 0, 1, 1, 0}},
        // Numbers out of range (a volume above 5, a continue count above 99)
        // give their fields the defaults; every switch word is read by "not
        // zero" whatever its value.
        {{9, 8, 7, 6, 2, 7, 3, 4, 5, 6, 7}, {5, 5, 5, 6, 1, 16, 1, 0, 0, 1, 1}},
        {{6, 0x80000000u, 1, 100, 0, 0x100, 0, 0, 0xFFFFFFFFu, 0, 2},
         {5, 5, 1, 3, 0, 16, 0, 1, 0, 0, 1}},
        {{5, 5, 5, 3, 0xFFFFFFFFu, 0, 0, 0x80000000u, 0, 1, 0xFFFFFFFFu}, {5, 5, 5, 3, 1, 32, 0, 0, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        LoggedTest log;
        std::string bytes;
        for (std::uint32_t word : c.words) bytes += wordBytes({word});
        const std::string tail = "tail";
        log.root().writeFile("data/gameconfig.dat", bytes + tail);
        {
            SystemInfo info;
            loadGameConfig(info);
            EXPECT_EQ(configFields(info), c.fields) << "first word " << c.words[0];
        }
        // One line per word out of range, naming it, its value and the default used.
        std::size_t outOfRange = 0;
        for (std::size_t i = 0; i < c.words.size(); ++i) {
            if (c.words[i] <= GameConfigFile::kLargestWord[i]) continue;
            ++outOfRange;
            EXPECT_TRUE(log.logContains("data\\gameconfig.dat の " + std::to_string(i) + " 番目の値 " +
                                        std::to_string(c.words[i]) + " は範囲外のため、既定値 " +
                                        std::to_string(GameConfigFile::kDefaultWord[i]) + " を使います"))
                << "word " << i;
        }
        EXPECT_EQ(log.logLines().size(), outOfRange);
        // Written back at release: the tail is untouched.
        EXPECT_EQ(log.root().readFile("data/gameconfig.dat").substr(44), tail);
    }
}

TEST(SystemInfoGameConfig, EveryWordReadAndKeptAsStored) {
    // Each word in turn holds 0, 1, 2 and 0xFFFFFFFF, the others their
    // defaults: the field it gives, and the word the release writes back.
    const std::uint32_t values[] = {0, 1, 2, 0xFFFFFFFFu};
    struct Case {
        std::size_t word;
        std::array<std::uint32_t, 4> field;    // for each value
        std::array<std::uint32_t, 4> written;  // for each value
    } cases[] = {
        {0, {0, 1, 2, 5}, {0, 1, 2, 5}},
        {1, {0, 1, 2, 5}, {0, 1, 2, 5}},
        {2, {0, 1, 2, 5}, {0, 1, 2, 5}},
        {3, {0, 1, 2, 3}, {0, 1, 2, 3}},
        {4, {0, 1, 1, 1}, {0, 1, 2, 0xFFFFFFFFu}},
        {5, {32, 16, 16, 16}, {0, 1, 2, 0xFFFFFFFFu}},
        {6, {0, 1, 1, 1}, {0, 1, 2, 0xFFFFFFFFu}},
        {7, {1, 0, 0, 0}, {0, 1, 2, 0xFFFFFFFFu}},
        {8, {1, 0, 0, 0}, {0, 1, 2, 0xFFFFFFFFu}},
        {9, {0, 1, 1, 1}, {0, 1, 2, 0xFFFFFFFFu}},
        {10, {0, 1, 1, 1}, {0, 1, 2, 0xFFFFFFFFu}},
    };
    for (const Case& c : cases) {
        for (std::size_t v = 0; v < 4; ++v) {
            SCOPED_TRACE("word " + std::to_string(c.word) + " = " + std::to_string(values[v]));
            LoggedTest log;
            std::string bytes;
            for (std::size_t i = 0; i < GameConfigFile::kWordCount; ++i)
                bytes += wordBytes({i == c.word ? values[v] : GameConfigFile::kDefaultWord[i]});
            log.root().writeFile("data/gameconfig.dat", bytes);
            {
                SystemInfo info;
                loadGameConfig(info);
                EXPECT_EQ(configFields(info)[c.word], c.field[v]);
            }
            EXPECT_EQ(fileWords(log.root())[c.word], c.written[v]);
            // Only a number out of its range is logged.
            EXPECT_EQ(log.logLines().size(), c.field[v] == values[v] || c.word >= 4 ? 0u : 1u);
        }
    }
}

TEST(SystemInfoGameConfig, FieldsAreWrittenAsWords) {
    struct Case {
        std::function<void(SystemInfo&)> set;
        std::vector<std::uint32_t> words;
    };
    const Case cases[] = {
        {[](SystemInfo&) {}, {5, 5, 5, 3, 1, 0, 0, 0, 0, 1, 0}},
        // Background and network off are stored as 1; any colour depth but 32 as 1.
        {[](SystemInfo& s) {
             s.setVolume0(1); s.setVolume1(2); s.setVolume2(0); s.setMaxContinue(9);
             s.setWindowed(0); s.setBpp(16); s.setForce60fps(1); s.setDrawBg(0);
             s.setOnline(0); s.setReadSkipEnable(0); s.setWideCompress(1);
         },
         {1, 2, 0, 9, 0, 1, 1, 1, 1, 0, 1}},
        {[](SystemInfo& s) { s.setBpp(24); s.setWindowed(5); s.setDrawBg(3); }, {5, 5, 5, 3, 1, 1, 0, 0, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        TempRoot root;
        std::filesystem::create_directory(root.path() / "data");
        SystemInfo info;
        c.set(info);
        saveGameConfig(info);
        EXPECT_EQ(root.readFile("data/gameconfig.dat").size(), 44u);
        EXPECT_EQ(fileWords(root), c.words);
    }
}

TEST(SystemInfoGameConfig, ShortFileAppliesOnlyTheWholeWords) {
    TempRoot root;
    // Four whole words, then two bytes of a fifth: the windowed word is cut short.
    root.writeFile("data/gameconfig.dat", wordBytes({1, 2, 3, 0}) + std::string(2, '\0'));
    SystemInfo info;
    loadGameConfig(info);
    EXPECT_EQ(configFields(info), (std::array<std::uint32_t, 11>{1, 2, 3, 0, 1, 32, 0, 1, 1, 1, 0}));
}

TEST(SystemInfoGameConfig, LongerFileKeepsItsTailWhenWritten) {
    TempRoot root;
    const std::string tail = "tail bytes \x01\x02\x03 kept";
    root.writeFile("data/gameconfig.dat", wordBytes({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}) + tail);
    {
        SystemInfo info;
        loadGameConfig(info);
    }
    // The destructor wrote the same words back: the file is unchanged.
    std::string written = root.readFile("data/gameconfig.dat");
    ASSERT_EQ(written.size(), 44 + tail.size());
    EXPECT_EQ(written.substr(44), tail);
    EXPECT_EQ(fileWords(root), (std::vector<std::uint32_t>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));

    SystemInfo changed;
    changed.setVolume0(7);
    changed.setOnline(0);
    saveGameConfig(changed);
    written = root.readFile("data/gameconfig.dat");
    EXPECT_EQ(written.substr(44), tail);
    EXPECT_EQ(fileWords(root), (std::vector<std::uint32_t>{7, 5, 5, 3, 1, 0, 0, 0, 1, 1, 0}));
}

TEST(SystemInfoGameConfig, FailedWritesKeepTheOldFileAndAreLogged) {
    {
        // No "data" folder: nothing is written, created or logged.
        LoggedTest test;
        { SystemInfo info; }
        EXPECT_FALSE(test.root().exists("data"));
        EXPECT_FALSE(test.logContains("gameconfig"));
    }
    {
        // The temporary file cannot be made: the good file stays as it was.
        LoggedTest test;
        const std::string good = wordBytes({1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0});
        test.root().writeFile("data/gameconfig.dat", good);
        std::filesystem::create_directory(test.root().path() / "data" / "gameconfig.dat.tmp");
        { SystemInfo info; }
        EXPECT_EQ(test.root().readFile("data/gameconfig.dat"), good);
        EXPECT_TRUE(test.logContains("data\\gameconfig.dat の書き込みに失敗しました"));
    }
}

TEST(SystemInfoSurvey, LogsTheMachineFromItsProbes) {
    LoggedTest test;
    FixedMachine machine;
    machine.os = {"Linux", "6.1.0-18-amd64", "#1 SMP", "x86_64"};
    machine.memory.memoryLoad = 85;
    machine.memory.totalPhys = 34359738368ull;  // 32 GiB: beyond 32-bit counts
    machine.memory.availPhys = 5000000000ull;
    machine.tsc = 1000;
    machine.tscStep = 3000000000ull;  // counts in the measured second
    Machine::setInstance(&machine);
    PollingClock clock;
    InstalledClock installed(clock);

    SystemInfo info;
    EXPECT_EQ(info.surveyMachine(), 0);
    Machine::setInstance(nullptr);
    EXPECT_EQ(clock.nowMs(), 1000u) << "the measurement waits one second of the timer";
    EXPECT_EQ(info.getCpuClockMhz(), 3000u);
    EXPECT_EQ(info.getAvailableMemory(), 5000u);
    EXPECT_EQ(info.getOsVersion().recordSize, 148u);

    size_t first = test.logLines().size();
    info.logMachineSurvey();
    std::vector<std::string> lines = test.logLines();
    ASSERT_EQ(lines.size(), first + 9);
    const std::vector<std::string> expected = {
        std::string(kAsterisks79),
        "コンピュータの能力を調査中",
        "",
        "オペレーティングシステム   = Linux  6.1 (Build 0)",
        "CPU クロック数（実測値）   = 3000 MHz",
        "物理メモリの総量           = 34359 MB",
        "利用可能な物理メモリ       = 5000 MB",
        "メモリ使用率               = 85 %",
        "",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(first), lines.end()), expected);
}

TEST(SystemInfoSurvey, OsVersionTextsFromTheKernelRelease) {
    struct Case {
        const char* sysname;
        const char* release;
        const char* name;
        const char* version;
        const char* build;
    };
    const Case cases[] = {
        {"Linux", "6.1.0-18-amd64", "Linux ", "6.1", "0"},
        {"Linux", "5.10.70000", "Linux ", "5.10", "4464"},  // the build keeps its low 16 bits
        {"Linux", "4.19", "Linux ", "4.19", "0"},
        {"", "", " ", "0.0", "0"},
        {"Linux", "99999999999.7.1", "Linux ", "4294967295.7", "1"},
    };
    for (const Case& c : cases) {
        FixedMachine machine;
        machine.os = {c.sysname, c.release, "", ""};
        Machine::setInstance(&machine);
        TempRoot root;
        SystemInfo info;
        info.probeOs();
        Machine::setInstance(nullptr);
        EXPECT_EQ(info.getOsName(), c.name) << c.release;
        EXPECT_EQ(info.getOsVersionText(), c.version) << c.release;
        EXPECT_EQ(info.getOsBuild(), c.build) << c.release;
    }
}

TEST(SystemInfoNoDialog, FlagFileIsCreatedAndFound) {
    TempRoot root;
    EXPECT_FALSE(noDialogFileExists());
    createNoDialogFile();
    EXPECT_TRUE(noDialogFileExists());
    EXPECT_EQ(root.readFile("nodialog.txt"), "");

    root.writeFile("nodialog.txt", "kept");
    createNoDialogFile();
    EXPECT_EQ(root.readFile("nodialog.txt"), "kept");
}

TEST(SystemInfoNoDialog, FlagFileSkipsTheDialogWithVsyncAndVerticalScroll) {
    struct Case {
        std::uint32_t dialog;
        bool flagFile;
        std::uint32_t vsync, scroll;
    };
    const Case cases[] = {
        {1, true, 1, 1},
        {1, false, 0, 0},  // the dialog would be shown; the settings stay
        {0, true, 0, 0},   // no dialog asked for: the flag file changes nothing
    };
    for (const Case& c : cases) {
        TempRoot root;
        if (c.flagFile) root.writeFile("nodialog.txt", "");
        g_systemInfo = new SystemInfo();
        g_systemInfo->setDialog(c.dialog);
        g_systemInfo->setVsync(0);
        g_systemInfo->setScroll(0);
        EXPECT_TRUE(runStartupDialog());
        EXPECT_EQ(g_systemInfo->getVsync(), c.vsync);
        EXPECT_EQ(g_systemInfo->getScroll(), c.scroll);
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }
}

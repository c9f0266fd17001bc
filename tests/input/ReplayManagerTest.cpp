// The replay manager: slots, files on disk, recording, play back, restart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "input/InputTestSupport.h"
#include "input/ReplayFileBuilder.h"
#include "input/ReplayFormat.h"
#include "platform/Clock.h"
#include "services/NamePool.h"

namespace {

class ReplayManagerTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        Clock::setInstance(&clock);
        g_dinputObject = &start();
    }
    void TearDown() override {
        g_dinputObject = nullptr;
        Clock::setInstance(nullptr);
        InputTest::TearDown();
    }
    void writeSlot(int slot, const std::vector<std::uint8_t>& bytes) {
        log.root().writeFile("replay/replay" + std::to_string(slot) + ".rpy", bytes);
    }
    std::string readSlot(int slot) { return log.root().readFile("replay/replay" + std::to_string(slot) + ".rpy"); }
    void setVar(const char* name, float value) { g_gameInfo->setVar(internName(name), value); }
    float var(const char* name) { return g_gameInfo->getVar(internName(name)); }
    // One recorded frame: the word the player step ORs in, then the next frame poll.
    void recordFrame(std::int32_t button) {
        auto* writer = g_dinputObject->getReplayWriter();
        writer->pollFrame();
        if (button >= 0) writer->setButton(button, 1);
    }
    std::vector<std::uint8_t> goodFile() {
        return buildReplayFile({{1, 1, {{254, 0x10}, {254, 0x10}, {92, 0x10}}, 500, 0, 600},
                                {3, 3, {{1, 1}, {1, 2}, {1, 1}}, 900, 4, 3}});
    }

    FakeClock clock;
};

}  // namespace

TEST_F(ReplayManagerTest, FirstFreeSlotSkipsExistingFiles) {
    const std::vector<std::uint8_t> junk = {1, 2, 3};
    for (int s : {1, 2, 4}) writeSlot(s, junk);
    ReplayManager& m = *g_replayManager;
    EXPECT_EQ(m.firstFreeSlot(), 3);
    for (int s = 1; s <= 999; ++s) writeSlot(s, junk);
    EXPECT_EQ(m.firstFreeSlot(), 1000);
    writeSlot(1000, junk);
    EXPECT_EQ(m.firstFreeSlot(), -1);
    EXPECT_TRUE(log.logContains("ReplayManager"));
    // Every slot taken: the automatic save writes nothing and fails.
    g_systemInfo->setReplay(-1);
    m.setup();
    EXPECT_EQ(m.saveReplayAuto(), E_FAIL);
    EXPECT_FALSE(log.root().exists("replay/replay-1.rpy"));
    EXPECT_EQ(m.saveReplay(1001), E_FAIL);
    EXPECT_EQ(m.saveReplay(0), E_FAIL);
}

TEST_F(ReplayManagerTest, SpeedStaysWithinOneToEight) {
    ReplayManager& m = *g_replayManager;
    EXPECT_EQ(m.getReplaySpeed(), 1);
    m.speedDown();
    EXPECT_EQ(m.getReplaySpeed(), 1);
    for (int i = 0; i < 8; ++i) m.speedUp();
    EXPECT_EQ(m.getReplaySpeed(), 8);
    m.speedDown();
    EXPECT_EQ(m.getReplaySpeed(), 7);
    m.resetSpeed();
    EXPECT_EQ(m.getReplaySpeed(), 1);
}

TEST_F(ReplayManagerTest, EmptySlotQueriesAndOutOfRangeStages) {
    ReplayManager& m = *g_replayManager;
    m.setup();
    using F = ReplayManager::Fact;
    for (int slot : {0, 1, 1000, 1001, -5}) {
        EXPECT_EQ(m.hasReplay(slot), 0);
        EXPECT_EQ(m.replayFact(F::Valid, slot), 0);
        EXPECT_EQ(m.replayFact(F::MajorVersion, slot), 1);
        EXPECT_EQ(m.replayFact(F::Score, slot), 0);
        EXPECT_EQ(m.replayFact(F::Year, slot), 0);
        EXPECT_EQ(m.replayName(slot, 0), 32);
    }
    EXPECT_EQ(m.selectReplay(1), E_FAIL);
    for (int s : {0, 10, -1, 40}) {
        EXPECT_EQ(m.selectedEachStage(s), 0);
        EXPECT_EQ(m.selectedStageScore(s), 0);
    }
}

TEST_F(ReplayManagerTest, LoadsAGoodFileAndAnswersItsFacts) {
    auto file = goodFile();
    file[10] = 0x01;  // practice bit 8
    file[11] = 0x42;  // difficulty code 4, vorly 2
    writeSlot(2, file);
    ReplayManager& m = *g_replayManager;
    m.setup();
    using F = ReplayManager::Fact;
    EXPECT_EQ(m.hasReplay(2), 1);
    EXPECT_EQ(m.replayFact(F::Score, 2), 1234);
    EXPECT_EQ(m.replayFact(F::ScoreFigure, 2), 4);
    EXPECT_EQ(m.replayFact(F::MaxStage, 2), 3);
    EXPECT_EQ(m.replayFact(F::Year, 2), 2026);
    EXPECT_EQ(m.replayFact(F::Month, 2), 12);
    EXPECT_EQ(m.replayFact(F::Minute, 2), 5);
    EXPECT_EQ(m.replayFact(F::Difficulty, 2), 4);
    EXPECT_EQ(m.replayFact(F::RealDifficulty, 2), 3);
    EXPECT_EQ(m.replayFact(F::Vorly, 2), 2);
    EXPECT_EQ(m.replayFact(F::PracticeMode, 2), 1);
    EXPECT_EQ(m.replayFact(F::DroppedFrames, 2), 603);
    EXPECT_EQ(m.replayName(2, 0), 'T');
    ASSERT_EQ(m.selectReplay(2), S_OK);
    EXPECT_EQ(m.selectedStageFlag(), 0x31);
    EXPECT_EQ(m.selectedEachStage(3), 3);
    EXPECT_EQ(m.selectedStageScore(3), 900);
    EXPECT_FALSE(log.logContains("のヘッダが壊れています"));
}

TEST_F(ReplayManagerTest, HostileFilesLeaveNoSlotAndStayIntact) {
    auto cut = [this](size_t n) {
        auto f = goodFile();
        f.resize(n);
        return f;
    };
    auto patched = [this](size_t at, std::uint32_t value) {
        auto f = goodFile();
        putBE(f, at, value);
        return f;
    };
    auto oddRecord = [this] {
        auto f = goodFile();
        // Stage 3's block: length word and field 2 both odd.
        const std::uint32_t block = (std::uint32_t{f[640]} << 24) | (f[641] << 16) | (f[642] << 8) | f[643];
        putBE(f, 644, 5);
        putBE(f, block, 5);
        return f;
    };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"empty", cut(0)},
        {"300 bytes", cut(300)},
        {"511 bytes", cut(511)},
        {"600 bytes", cut(600)},
        {"n huge", patched(164, 0x40000000)},
        {"block outside", patched(512 + 0, 0x00100000)},
        {"length word not field 2", patched(512 + 4, 1202)},
        {"runs end early", [&patched] { auto f = patched(512 + 4, 1400); putBE(f, 768, 1400); return f; }()},
        {"odd field 2", oddRecord()},
        {"no magic", patched(0, 0x58585800)},
    };
    for (size_t i = 0; i < cases.size(); ++i) writeSlot(static_cast<int>(i) + 1, cases[i].bytes);
    ReplayManager& m = *g_replayManager;
    m.setup();
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const int slot = static_cast<int>(i) + 1;
        EXPECT_EQ(m.hasReplay(slot), 0);
        EXPECT_TRUE(log.logContains("リプレイファイル replay\\replay" + std::to_string(slot) +
                                    ".rpy のヘッダが壊れています"));
        EXPECT_EQ(readSlot(slot), std::string(cases[i].bytes.begin(), cases[i].bytes.end()));
    }
    EXPECT_EQ(m.firstFreeSlot(), static_cast<int>(cases.size()) + 1);
    EXPECT_NE(m.selectReplay(1), S_OK);
}

TEST_F(ReplayManagerTest, SlotsLargerThanAReplayAreRefusedUnread) {
    // Sparse files: their size is refused before a byte is read or allocated.
    const std::uint64_t sizes[] = {kMaxReplayFileSize + 1, 3ull << 30};
    for (int i = 0; i < 2; ++i) {
        writeSlot(i + 1, goodFile());
        std::filesystem::resize_file(log.root().path() / "replay" / ("replay" + std::to_string(i + 1) + ".rpy"),
                                     sizes[i]);
    }
    ReplayManager& m = *g_replayManager;
    m.setup();
    std::vector<std::uint8_t> upload;
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(m.hasReplay(i + 1), 0);
        EXPECT_FALSE(m.readReplayFile(static_cast<std::uint32_t>(i + 1), upload));
        EXPECT_TRUE(log.logContains("不正な値: size " + std::to_string(sizes[i])));
        EXPECT_EQ(std::filesystem::file_size(log.root().path() / "replay" / ("replay" + std::to_string(i + 1) + ".rpy")),
                  sizes[i]);
    }
}

TEST_F(ReplayManagerTest, EndWithoutStartDoesNothingAndRestartEndsInRecord) {
    ReplayManager& m = *g_replayManager;
    m.setup();
    m.setMode(ReplayManager::kRestart);
    m.endReplay();
    EXPECT_EQ(m.getMode(), ReplayManager::kRestart);
    EXPECT_EQ(m.getRecordingReplay()->stages.size(), 0u);

    writeSlot(1, goodFile());
    m.loadAllReplays();
    ASSERT_EQ(m.selectReplay(1), S_OK);
    setVar("stagenum", 3);
    setVar("stageflag", 0);
    m.startReplay();
    EXPECT_EQ(m.isActive(), 1);
    EXPECT_EQ(m.isReplayStarted(), 1);
    m.endReplay();
    EXPECT_EQ(m.isActive(), 0);
    EXPECT_EQ(m.getMode(), ReplayManager::kRecord);
    // The restarted stage carries stage 3's field 21 into its record.
    ASSERT_EQ(m.getRecordingReplay()->stages.count(3), 1u);
    EXPECT_EQ(m.getRecordingReplay()->stages.at(3)->field(21), 4u);
    m.clearReplay();
    EXPECT_EQ(m.isReplayStarted(), 0);
}

TEST_F(ReplayManagerTest, StageWithoutPreviousTakesScoreZeroAndItsOwnCarriedFlags) {
    writeSlot(1, goodFile());
    ReplayManager& m = *g_replayManager;
    m.setup();
    ASSERT_EQ(m.selectReplay(1), S_OK);
    m.setMode(ReplayManager::kPlayBack);
    g_gameInfo->setScore(777);
    setVar("stagenum", 3);
    m.startReplay();
    EXPECT_EQ(g_gameInfo->getScore(), 0u);
    EXPECT_EQ(var("_player_type"), 1.0f);  // bit 2 of field 21 = 4
    EXPECT_EQ(g_dinputObject->getReplayReader()->getRemainingWords(), 3u);
    m.endReplay();
    EXPECT_TRUE(g_dinputObject->getLockMask() & DInputObject::kLockStageEnded);
    // A stage the replay does not hold: failure, reader empty.
    setVar("stagenum", 2);
    m.startReplay();
    EXPECT_EQ(g_dinputObject->getReplayReader()->getRemainingWords(), 0u);
    EXPECT_TRUE(log.logContains("ReplayManager"));
}

TEST_F(ReplayManagerTest, RecordedStagesSaveLoadAndPlayBackTheSameWords) {
    std::filesystem::create_directories(log.root().path() / "replay");
    ReplayManager& m = *g_replayManager;
    m.setup();
    g_gameInfo->setMachineId(11, 22);
    const std::vector<std::int32_t> buttons = {-1, 0, 0, 1, 2, 2, 2, 3};
    for (int stage : {1, 2}) {
        setVar("stagenum", static_cast<float>(stage));
        setVar("stageflag", 0);
        g_gameInfo->setScore(100u * static_cast<unsigned>(stage));
        m.startReplay();
        for (auto b : buttons) recordFrame(b);
        g_gameInfo->setScore(1000u * static_cast<unsigned>(stage));
        m.endReplay();
    }
    // A stage numbered outside 1..9 is refused.
    setVar("stagenum", 12);
    m.startReplay();
    m.endReplay();
    EXPECT_EQ(m.getRecordingReplay()->stages.count(12), 0u);
    ASSERT_EQ(m.saveReplay(5), S_OK);
    const std::string bytes = readSlot(5);
    ASSERT_GE(bytes.size(), 512u + 256u);
    EXPECT_EQ(bytes.substr(0, 3), "RPL");
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[19]), 0x05);  // stages 1 and 2, state 1
    m.loadAllReplays();
    ASSERT_EQ(m.hasReplay(5), 1);
    EXPECT_EQ(m.replayFact(ReplayManager::Fact::Score, 5), 2000);
    const auto& s2 = *m.getSlot(5)->stages.at(2);
    EXPECT_EQ(s2.field(3), 2000u);
    EXPECT_EQ(s2.field(21), 1u);  // stage 1's flags
    // Eight frames: seven queued words plus the word of the ending frame.
    EXPECT_EQ(s2.field(2), 16u);
    auto words = ExpandInputWords(s2.block.data(), s2.block.size(), s2.field(2));
    // Buttons 0..3 sit at word bits 4..7.
    EXPECT_EQ(words, (std::vector<std::uint8_t>{0, 0, 0, 0x10, 0, 0x10, 0, 0x20, 0, 0x40, 0, 0x40, 0, 0x40, 0, 0x80}));

    // Played back on another machine: the flag reaches a replay saved from it.
    ASSERT_EQ(m.selectReplay(5), S_OK);
    m.setMode(ReplayManager::kPlayBack);
    g_gameInfo->setMachineId(33, 44);
    setVar("stagenum", 2);
    m.startReplay();
    EXPECT_EQ(g_gameInfo->getScore(), 1000u);
    EXPECT_EQ(m.isOtherMachine(), 1);
    m.endReplay();
    EXPECT_EQ(m.saveReplay(6), S_OK);
    EXPECT_EQ(static_cast<std::uint8_t>(readSlot(6)[168]), 1);
}

TEST_F(ReplayManagerTest, DownloadedFilesAreCheckedBeforeTheyAreWritten) {
    ReplayManager& m = *g_replayManager;
    m.setup();
    m.saveOnlineReplay(7, 0);
    EXPECT_EQ(m.getDownloadSlot(), 7);
    writeSlot(7, {9, 9, 9});
    const std::vector<std::uint8_t> broken(300, 0);
    EXPECT_FALSE(m.writeReplayFile(broken.data(), broken.size()));
    EXPECT_EQ(readSlot(7), std::string("\x09\x09\x09"));
    const auto good = goodFile();
    EXPECT_TRUE(m.writeReplayFile(good.data(), good.size()));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(m.readReplayFile(7, back));
    EXPECT_EQ(back, good);
    EXPECT_FALSE(m.readReplayFile(8, back));
    EXPECT_TRUE(back.empty());
}

TEST_F(ReplayManagerTest, SavingWithoutTheReplayFolderWritesNothing) {
    ReplayManager& m = *g_replayManager;
    m.setup();
    setVar("stagenum", 1);
    m.startReplay();
    recordFrame(0);
    m.endReplay();
    EXPECT_EQ(m.saveReplay(1), E_FAIL);
    EXPECT_FALSE(std::filesystem::exists(log.root().path() / "replay"));
    EXPECT_TRUE(log.logContains("ReplayManager"));
}

TEST_F(ReplayManagerTest, SetupPlaysTheConfiguredSlotOnlyWhenItHoldsAReplay) {
    g_systemInfo->setReplay(2);
    g_replayManager->setup();
    EXPECT_EQ(g_replayManager->getMode(), ReplayManager::kRecord);
    writeSlot(2, goodFile());
    ReplayManager other;
    other.setup();
    EXPECT_EQ(other.getMode(), ReplayManager::kPlayBack);
    EXPECT_EQ(other.selectedStageFlag(), 0x31);
}

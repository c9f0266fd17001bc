#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RecordFileFixture.h"
#include "input/ReplayManager.h"
#include "platform/Clock.h"
#include "records/GameInfo.h"
#include "records/LittleEndianWords.h"
#include "records/ScoreFile.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
NameHandle var(const char* name) { return internName(name); }

// A started game: records initialised and loaded in a game folder with a
// "data" folder, a replay manager that records, a fixed clock and adapter.
class PlayedGame : public RecordFileTest {
protected:
    void SetUp() override {
        RecordFileTest::SetUp();
        clock_.setLocalTime(LocalTime{2024, 3, 2, 5, 7, 9, 30, 0});
        Clock::setInstance(&clock_);
        g_systemInfo = new SystemInfo();
        g_systemInfo->setVersion(2, 1);
        g_replayManager = new ReplayManager();
        info_ = std::make_unique<GameInfo>();
        info_->init();
        info_->load();
    }
    void TearDown() override {
        info_.reset();
        delete g_replayManager;
        g_replayManager = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
        Clock::setInstance(nullptr);
        RecordFileTest::TearDown();
    }
    GameInfo& info() { return *info_; }
    void set(const char* name, float value) { info_->setVar(var(name), value); }

    FakeClock clock_;
    std::unique_ptr<GameInfo> info_;
};

class ScoreTableRegistration : public PlayedGame {};
class ScoreTableCommit : public PlayedGame {};
class RecordFilesGating : public PlayedGame {};
}  // namespace

TEST_F(ScoreTableRegistration, ThePlayFillsTheSpareEntryAndIsRankedByScore) {
    set("vorlytype", 3.0f);
    set("difficulty", 2.0f);
    set("weapontype", 2.0f);
    set("continuenum", 2.0f);
    info().setPlayerName(0x50515253, 0x54555657);
    info().setMachineId(0x44332211, 0x6655);
    info().countDroppedFrame();
    info().setScore(700);
    set("stagenum", 1.0f);
    set("stageflag", 0.0f);
    info().commitStageScore();
    info().setScore(1000);
    set("stagenum", 6.0f);
    set("stageflag", 1.0f);  // stage 6 flag 2
    info().commitStageScore();
    // A replay id left in the spare entry by an earlier play.
    info().localScoreTables().ranking(2, 2)[100][ScoreEntry::kReplayId] = 77;

    info().registerScore();

    EXPECT_EQ(info().isMyScoreUpdated(), 1);
    const ScoreEntry& entry = info().localScoreTables().ranking(2, 2)[0];
    ScoreEntry expected;
    expected.words = {0x50515253, 0x54555657, 1002, 0x2022, 1u | (2u << 10), 20240305, 709, 0x201, 0, 1,
                      0x44332211, 0x6655, 0, 702, 0, 0, 0, 0, 1002};
    EXPECT_EQ(entry.words, expected.words);
    EXPECT_EQ(info().getHiscore(0, 2, 2), 1002u);
    EXPECT_EQ(info().getHiscoreEachStage(0, 2, 2, 6), 2u);
    EXPECT_EQ(info().getHiscoreYear(0, 2, 2), 2024u);
    EXPECT_EQ(info().getHiscoreMonthDay(0, 2, 2), 305u);
    EXPECT_EQ(info().getHiscoreWeapon(0, 2, 2), 2u);
    EXPECT_EQ(info().getHiscoreStageScore(0, 2, 2, 6), 1002u);
    EXPECT_EQ(info().getHiscoreStageScore(0, 2, 2, 16), 0u);
    EXPECT_EQ(info().getHiscore(1, 2, 2), 0u);
    EXPECT_EQ(info().localScoreTables().ranking(2, 2)[1].mode().word, 0x22u) << "a default entry";
    // The route entry of stage 6's flag takes the score without continues.
    EXPECT_EQ(info().localScoreTables().route(2, 2)[1].score(), 1000u);
    EXPECT_EQ(info().localScoreTables().route(2, 2)[1][ScoreEntry::kReplayId], 0u);

    // The best of this pairing and difficulty, or the running score.
    EXPECT_EQ(info().getHiscore2(), 1002u);
    info().setScore(0x90000000u);
    EXPECT_EQ(info().getHiscore2(), 0x90000002u);
}

TEST_F(ScoreTableRegistration, HighestDifficultyGoesToItsOwnTableWithCodeFour) {
    set("vorlytype", 1.0f);
    set("difficulty", 3.0f);
    set("weapontype", 1.0f);
    info().setScore(50);
    info().registerScore();
    EXPECT_EQ(info().getHiscore(0, 3, 0), 50u);
    EXPECT_EQ(info().localScoreTables().ranking(3, 0)[0].mode().word, 0x1040u);
    EXPECT_EQ(info().localScoreTables().ranking(3, 0)[1].mode().word, 0x30u);
}

TEST_F(ScoreTableRegistration, SkippedRegistrationsChangeNothing) {
    struct Case {
        const char* name;
        std::uint32_t score;
        float practice;
        int replayMode;
        bool replayManager;
        std::int32_t replaySlot;
    };
    const Case cases[] = {
        {"score 0", 0, 0.0f, ReplayManager::kRecord, true, 0},
        {"practice", 10, 1.0f, ReplayManager::kRecord, true, 0},
        {"replay playback", 10, 0.0f, ReplayManager::kPlayBack, true, 0},
        {"no replay manager", 10, 0.0f, ReplayManager::kRecord, false, 0},
        {"replay slot configured", 10, 0.0f, ReplayManager::kRecord, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        info().setScore(c.score);
        set("practice_mode", c.practice);
        g_systemInfo->setReplay(c.replaySlot);
        g_replayManager->setMode(c.replayMode);
        ReplayManager* manager = g_replayManager;
        if (!c.replayManager) g_replayManager = nullptr;
        info().registerScore();
        g_replayManager = manager;
        EXPECT_EQ(info().isMyScoreUpdated(), 0);
        EXPECT_EQ(info().getHiscore(0, 0, 0), 0u);
        EXPECT_EQ(info().getHiscore(100, 0, 0), 0u);
    }
}

TEST_F(ScoreTableCommit, StageScoresStageFlagsAndReachWords) {
    struct Case {
        const char* name;
        float stage, flag, vorlyType, difficulty;
        int replayMode;
        std::int32_t maxStageUpdate;
        std::size_t stageScoreIndex;  // 0: none written
        std::uint32_t stageFlagWord;
        int reachIndex;  // -1: none written
        std::uint32_t reachWord;
    };
    const Case cases[] = {
        {"stage 0 does nothing", 0, 1, 1, 1, 0, 1, 0, 0, -1, 0},
        {"stage 3, flag 2", 3, 1, 1, 1, 0, 1, 3, 2u << 4, 4, 2u << 8},
        {"stage 20 commits stage 15", 20, 0, 0, 0, 0, 1, 15, 1u << 28, 0, 1u << 24},
        {"flag 5 has no reach bit", 2, 4, 2, 0, 0, 1, 2, 5u << 2, -1, 0},
        {"difficulty 3 reaches nothing", 1, 0, 1, 3, 0, 1, 1, 1, -1, 0},
        {"past the nine reach words", 2, 0, 3, 2, 0, 1, 2, 1u << 2, -1, 0},
        {"negative vorly type", 2, 0, -1, 0, 0, 1, 0, 0, -1, 0},
        {"playback reaches nothing", 1, 0, 1, 0, 1, 1, 1, 1, -1, 0},
        {"reach updates off", 1, 0, 1, 0, 0, 0, 1, 1, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        info().reachStageWords().fill(0);
        info().stageFlagWord() = 0;
        info().stageScores().fill(0);
        info().setMaxStageUpdate(c.maxStageUpdate);
        set("stagenum", c.stage);
        set("stageflag", c.flag);
        set("vorlytype", c.vorlyType);
        set("difficulty", c.difficulty);
        set("continuenum", 1.0f);
        g_replayManager->setMode(c.replayMode);
        info().setScore(300);
        info().commitStageScore();
        for (std::size_t i = 0; i < 16; ++i)
            EXPECT_EQ(info().stageScores()[i], i == c.stageScoreIndex && i != 0 ? 301u : 0u) << i;
        EXPECT_EQ(info().stageFlagWord(), c.stageFlagWord);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(info().reachStageWords()[i], i == c.reachIndex ? c.reachWord : 0u) << i;
    }
}

TEST_F(ScoreTableCommit, NameUpdateAndUploadOfTheBestEntries) {
    info().setMachineId(0x44332211, 0x6655);
    set("vorlytype", 2.0f);
    info().setScore(123);
    info().registerScore();
    set("difficulty", 3.0f);
    info().setScore(456);
    info().registerScore();

    info().setPlayerName(0x41414141, 0x42424242);
    info().updateScoreName();
    EXPECT_EQ(info().localScoreTables().ranking(0, 1)[0].nameChar(0), 'A');
    EXPECT_EQ(info().localScoreTables().ranking(0, 1)[1].nameChar(0), 'N') << "a default entry has no machine";

    std::array<ScoreEntry, 12> upload;
    info().collectScoresForUpload(upload);
    EXPECT_EQ(upload[1].score(), 123u);
    EXPECT_EQ(upload[10].score(), 456u);
    EXPECT_EQ(upload[10].nameChar(4), 'B');
    EXPECT_EQ(upload[0].score(), 0u);
    EXPECT_EQ(upload[0].mode().word, 0x00u);
    EXPECT_EQ(upload[11].mode().word, 0x32u);
}

TEST_F(RecordFilesGating, ScoreFileIsWrittenOnlyForARecordedNonPracticePlay) {
    struct Case {
        const char* name;
        float practice;
        int replayMode;
        bool replayManager;
        std::int32_t replaySlot;
        bool configuration;
        bool written;
    };
    const Case cases[] = {
        {"recorded play", 0.0f, ReplayManager::kRecord, true, 0, true, true},
        {"restart mode", 0.0f, ReplayManager::kRestart, true, 0, true, true},
        {"replay playback", 0.0f, ReplayManager::kPlayBack, true, 0, true, false},
        {"practice", 1.0f, ReplayManager::kRecord, true, 0, true, false},
        {"no replay manager", 0.0f, ReplayManager::kRecord, false, 0, true, false},
        {"replay slot configured", 0.0f, ReplayManager::kRecord, true, 1, true, false},
        {"no configuration record", 0.0f, ReplayManager::kRecord, true, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(log_.root().path() / "data/score.dat");
        set("practice_mode", c.practice);
        g_systemInfo->setReplay(c.replaySlot);
        g_replayManager->setMode(c.replayMode);
        ReplayManager* manager = g_replayManager;
        SystemInfo* configuration = g_systemInfo;
        if (!c.replayManager) g_replayManager = nullptr;
        if (!c.configuration) g_systemInfo = nullptr;
        EXPECT_EQ(info().writeScoreFile(), 0);
        g_replayManager = manager;
        g_systemInfo = configuration;
        EXPECT_EQ(log_.root().exists("data/score.dat"), c.written);
    }
}

TEST_F(RecordFilesGating, PracticeAtShutDownKeepsTheScoresButStampsTheMachine) {
    info().setScore(900);
    info().registerScore();
    info_.reset();  // release: writes all three files
    EXPECT_EQ(readBytes("data/score.dat").size(), 16u + 139036u);
    EXPECT_EQ(readBytes("data/cache.dat").size(), 4u + 134400u);
    EXPECT_EQ(readBytes("data/textread.dat").size(), 8u);
    std::vector<std::uint8_t> before = readBytes("data/score.dat");

    info_ = std::make_unique<GameInfo>();
    info().init();
    info().load();
    EXPECT_EQ(info().getHiscore(0, 0, 0), 900u);
    EXPECT_EQ(info().getMachineId0(), 0x44332211u) << "the adapter's identity, stored at the first release";
    set("practice_mode", 1.0f);
    info().setScore(5000);
    info().setMachineId(0x0A0B0C0D, 0x0E0F);
    info_.reset();
    std::vector<std::uint8_t> after = readBytes("data/score.dat");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(loadWordLE(after.data() + 4), 0x0A0B0C0Du);
    EXPECT_EQ(loadWordLE(after.data() + 8), 0x0E0Fu);
    EXPECT_TRUE(std::equal(after.begin() + 12, after.end(), before.begin() + 12));
    EXPECT_TRUE(log_.logLines().empty());
}

TEST_F(RecordFilesGating, ARestartReadsBackWhatTheReleaseWrote) {
    set("vorlytype", 2.0f);
    info().setScore(4321);
    info().registerScore();
    info().getReadTextSet() = {4, 8, 15};
    std::vector<ScoreEntry> reply(3);
    reply[2][ScoreEntry::kScore] = 88;
    reply[2][ScoreEntry::kMode] = 0x31;
    info().fillOnlineScores(reply.data(), reply.size());
    info().fillRankingCache();
    info().setEndingSeen(40);
    info().savedGameFlags(3)[7] = 5;
    info().setPlayerName(0x5A5A5A5A, 0x20202020);
    info_.reset();

    info_ = std::make_unique<GameInfo>();
    info().init();
    info().load();
    EXPECT_EQ(info().getHiscore(0, 0, 1), 4321u);
    EXPECT_EQ(info().getReadTextSet(), (ReadTextSet{4, 8, 15}));
    EXPECT_EQ(info().getOnlineHiscore(2, 3, 1), 88u);
    EXPECT_EQ(info().isEndingSeen(40), 1);
    EXPECT_EQ(info().savedGameFlags(3)[7], 5);
    EXPECT_EQ(info().getPlayerName0(), 0x5A5A5A5Au);
    EXPECT_TRUE(log_.logLines().empty()) << log_.logText();
}

TEST_F(RecordFilesGating, ReadTextsOfAllPlaysAndOfThisPlay) {
    info().addReadText(3);
    info().addReadText(9);
    EXPECT_EQ(info().isTextRead(3), 1);
    EXPECT_EQ(info().isTextReadThisPlay(3), 0);
    info().fixReadText();
    info().addReadText(12);
    EXPECT_EQ(info().isTextReadThisPlay(9), 1);
    EXPECT_EQ(info().isTextReadThisPlay(12), 0);
    info_.reset();
    EXPECT_EQ(readBytes("data/textread.dat").size(), 8u + 3 * 4);
    info_ = std::make_unique<GameInfo>();
    info().init();
    EXPECT_EQ(info().getReadTextSet(), (ReadTextSet{3, 9, 12}));
}

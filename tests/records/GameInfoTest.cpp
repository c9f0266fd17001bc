#include "records/GameInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <cmath>
#include <functional>
#include <string>

#include "input/ReplayManager.h"
#include "script/BulletML_Node_Number.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/ReleaseAll.h"
#include "support/TestSupport.h"

namespace {

NameHandle var(const char* name) { return internName(name); }

// ---- variable store ----

TEST(GameInfoVariables, MapsReadZeroUntilWrittenAndKeepWhatIsStored) {
    GameInfo info;
    NameHandle never = var("gameinfo_never_written");
    EXPECT_EQ(info.getVar(never), 0.0f);
    info.setVar(never, 2.5f);
    info.addVar(never, 1.0f);
    info.incVar(never);
    info.decVar(never);
    info.decVar(never);
    EXPECT_EQ(info.getVar(never), 2.5f);

    EXPECT_EQ(info.getGlobalVar(never), 0.0f);
    info.setGlobalVar(never, -4.0f);
    EXPECT_EQ(info.getGlobalVar(never), -4.0f);
    EXPECT_EQ(info.getVar(never), 2.5f) << "globals are a map of their own";

    EXPECT_EQ(info.getNamedVar("ignorecollision"), 0);
    info.setNamedVar("ignorecollision", 1);
    EXPECT_EQ(info.getNamedVar("ignorecollision"), 1);
    EXPECT_EQ(info.getNamedVar("gameinfo_name_never_pooled"), 0);
}

TEST(GameInfoVariables, DigitsAndLeadingDigitOfAVariable) {
    GameInfo info;
    NameHandle v = var("gameinfo_digits");
    struct Case { float value; float digits; float leading; };
    const Case cases[] = {{0.0f, 1, 1}, {7.9f, 1, 1}, {432.0f, 3, 100}, {-4567.8f, 4, 1000},
                          {1e12f, 10, 1e9f} /* out of range truncates to INT_MIN */};
    for (const Case& c : cases) {
        info.setVar(v, c.value);
        EXPECT_EQ(info.getVarDigits(v), c.digits) << c.value;
        EXPECT_EQ(info.getVarLeadingDigit(v), c.leading) << c.value;
    }
}

TEST(GameInfoVariables, LocksAreSetReleasedAndNeverCreatedByAQuery) {
    GameInfo info;
    EXPECT_EQ(info.isLocked(7), 0);
    info.setLock(7);
    info.setLock(8);
    EXPECT_EQ(info.isLocked(7), 1);
    info.releaseLock(7);
    EXPECT_EQ(info.isLocked(7), 0);
    EXPECT_EQ(info.isLocked(8), 1);
    info.releaseAllLocks();
    EXPECT_EQ(info.isLocked(8), 0);
}

TEST(GameInfoVariables, UnboundDynamicVariableReadsZero) {
    GameInfo info;
    EXPECT_EQ(info.resolveVar(var("gameinfo_unbound")), 0.0);
    info.setDynamicVar(var("gameinfo_null"), nullptr);
    EXPECT_EQ(info.resolveVar(var("gameinfo_null")), 0.0);
}

TEST(GameInfoVariables, DynamicVariablesResolveAgainstTheirOwnRecord) {
    // Not the program's record: globals and chained bindings are still read
    // from this one.
    ASSERT_EQ(g_gameInfo, nullptr);
    GameInfo info;
    info.setGlobalVar(var("gameinfo_global"), 3.0f);
    BulletML_Node_Number literal, global, chained, compiled;
    literal.setText("2.5");
    global.setText("$__gameinfo_global");
    chained.setText("@gameinfoglobal");
    compiled.setText("1+2*3");
    info.setDynamicVar(var("gameinfoliteral"), &literal);
    info.setDynamicVar(var("gameinfoglobal"), &global);
    info.setDynamicVar(var("gameinfochained"), &chained);
    info.setDynamicVar(var("gameinfocompiled"), &compiled);
    EXPECT_EQ(info.resolveVar(var("gameinfoliteral")), 2.5);
    EXPECT_EQ(info.resolveVar(var("gameinfoglobal")), 3.0);
    EXPECT_EQ(info.resolveVar(var("gameinfochained")), 3.0);
    EXPECT_EQ(info.resolveVar(var("gameinfocompiled")), 7.0);
}

// ---- numbers as digits ----

TEST(GameInfoDigits, CountDigitsOfTheMagnitude) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {0, 1}, {9, 1}, {-9, 1}, {10, 2}, {-123, 3}, {INT_MAX, 10}, {INT_MIN, 10}};
    for (auto [n, digits] : cases) EXPECT_EQ(GameInfo::countDigits(n), digits) << n;
}

TEST(GameInfoDigits, DigitAtPosition) {
    struct Case { std::int32_t value, position, digit; };
    const Case cases[] = {{432, 2, 4}, {432, 0, 2}, {432, 1, 3}, {432, 5, 0}, {432, -1, 2},
                          {-432, 1, -3}, {INT_MIN, 9, -2}, {INT_MIN, INT_MAX, 0}};
    for (const Case& c : cases) EXPECT_EQ(GameInfo::digitAt(c.value, c.position), c.digit) << c.value << " " << c.position;
}

// ---- play state ----

TEST(GameInfoPlayState, DefaultsOfANewRecord) {
    GameInfo info;
    EXPECT_EQ(info.getMaxX(), 640);
    EXPECT_EQ(info.getMaxY(), 480);
    EXPECT_EQ(info.getPrate(), 500000);
    EXPECT_EQ(info.getSpirit(), 10000);
    EXPECT_EQ(info.getMaxCrystal(), 255);
    EXPECT_EQ(info.isPauseAllowed(), 1);
    EXPECT_EQ(info.isFullDraw(), 1);
    EXPECT_EQ(info.isPlayerMoveEnabled(), 1);
    EXPECT_EQ(info.isEscToCancel(), 1);
    EXPECT_EQ(info.isPlayerSwitchable(), 1);
    EXPECT_EQ(info.getMaxStageUpdate(), 1);
    EXPECT_EQ(info.isSkipButtonEnabled(), 1);
    EXPECT_EQ(info.isInitialised(), 0);
    EXPECT_EQ(info.getMpoint(), 0.0f);
    EXPECT_EQ(info.getPlayerName0(), 0u);
}

TEST(GameInfoPlayState, ClampsOfPrateRankSpiritAndMpoint) {
    struct Case {
        const char* what;
        std::function<void(GameInfo&)> act;
        std::function<double(GameInfo&)> read;
        double expected;
    };
    const Case cases[] = {
        {"setPrate -5", [](GameInfo& g) { g.setPrate(-5); }, [](GameInfo& g) { return g.getPrate(); }, 0},
        {"setPrate 2000000", [](GameInfo& g) { g.setPrate(2000000); }, [](GameInfo& g) { return g.getPrate(); }, 1000000},
        {"addPrate past top", [](GameInfo& g) { g.addPrate(INT_MAX); }, [](GameInfo& g) { return g.getPrate(); }, 1000000},
        {"addPrate below 0", [](GameInfo& g) { g.addPrate(-600000); }, [](GameInfo& g) { return g.getPrate(); }, 0},
        {"addRank past top", [](GameInfo& g) { g.setRank(999999); g.addRank(5); }, [](GameInfo& g) { return g.getRank(); }, 1000000},
        {"setRank -1", [](GameInfo& g) { g.setRank(-1); }, [](GameInfo& g) { return g.getRank(); }, 0},
        {"setSpirit -3", [](GameInfo& g) { g.setSpirit(-3); }, [](GameInfo& g) { return g.getSpirit(); }, -3},
        {"spirit non-negative", [](GameInfo& g) { g.setSpirit(-3); }, [](GameInfo& g) { return g.getSpiritNonNegative(); }, 0},
        {"spirit digits of 0", [](GameInfo& g) { g.setSpirit(-300); }, [](GameInfo& g) { return g.getSpiritDigits(); }, 1},
        {"setSpirit 30000", [](GameInfo& g) { g.setSpirit(30000); }, [](GameInfo& g) { return g.getSpirit(); }, 20000},
        {"addSpirit past top", [](GameInfo& g) { g.addSpirit(15000); }, [](GameInfo& g) { return g.getSpirit(); }, 20000},
        {"addSpirit below 0", [](GameInfo& g) { g.addSpirit(-10500); }, [](GameInfo& g) { return g.getSpirit(); }, -500},
        {"addSpirit at the bottom", [](GameInfo& g) { g.setSpirit(INT_MIN); g.addSpirit(-1); }, [](GameInfo& g) { return g.getSpirit(); }, INT_MIN},
        {"setMpoint 1500", [](GameInfo& g) { g.setMpoint(1500.0f); }, [](GameInfo& g) { return g.getMpoint(); }, 1200},
        {"addMpoint below 0", [](GameInfo& g) { g.setMpoint(10.0f); g.addMpoint(-20.0f); }, [](GameInfo& g) { return g.getMpoint(); }, 0},
        {"addMpoint within", [](GameInfo& g) { g.setMpoint(10.0f); g.addMpoint(2.5f); }, [](GameInfo& g) { return g.getMpoint(); }, 12.5},
        {"setMpoint NaN", [](GameInfo& g) { g.setMpoint(std::nanf("")); }, [](GameInfo& g) { return g.getMpoint(); }, 0},
    };
    for (const Case& c : cases) {
        GameInfo info;
        c.act(info);
        EXPECT_EQ(c.read(info), c.expected) << c.what;
    }
}

TEST(GameInfoPlayState, VorlyRateAndItsShifts) {
    GameInfo info;
    EXPECT_EQ(info.getVorlyRate(), 100);
    info.setVorlyCounts(1, 2);
    EXPECT_EQ(info.getVorlyRate(), 33);
    info.resetVorlyRate();
    EXPECT_EQ(info.getVorlyRate(), 100);
    EXPECT_EQ(info.getVorlyRateDigits(), 3);

    info.setVorlyCounts(5, 3);
    info.shiftVorlyRateUp();
    EXPECT_EQ(info.getVorlyCount1(), 7);
    EXPECT_EQ(info.getVorlyCount2(), 1);
    info.shiftVorlyRateUp();  // second not above 2: unchanged
    EXPECT_EQ(info.getVorlyCount1(), 7);
    info.shiftVorlyRateDown();
    EXPECT_EQ(info.getVorlyCount1(), 5);
    EXPECT_EQ(info.getVorlyCount2(), 3);
    info.setVorlyCounts(2, 9);
    info.shiftVorlyRateDown();  // first not above 2: unchanged
    EXPECT_EQ(info.getVorlyCount1(), 2);
    EXPECT_EQ(info.getVorlyCount2(), 9);
}

TEST(GameInfoPlayState, PauseRequestsAndToggle) {
    GameInfo info;
    info.requestPauseState(0);
    EXPECT_EQ(info.isPauseToggleRequested(), 0) << "already in the requested state";
    info.requestPauseState(1);
    EXPECT_EQ(info.isPauseToggleRequested(), 1);
    info.applyPauseToggle();
    EXPECT_EQ(info.isPaused(), 1);
    EXPECT_EQ(info.isPauseToggleRequested(), 0);
    info.applyPauseToggle();
    EXPECT_EQ(info.isPaused(), 1) << "no request, no toggle";
    info.requestPauseToggle();
    info.applyPauseToggle();
    EXPECT_EQ(info.isPaused(), 0);
}

TEST(GameInfoPlayState, ItemCountsOutsideTheTypesAreIgnored) {
    GameInfo info;
    info.setItemCount(2, 41);
    info.incItemCount(2);
    info.setItemCount(7, 5);
    info.setItemCount(-1, 5);
    info.incItemCount(7);
    EXPECT_EQ(info.getItemCount(2), 42);
    EXPECT_EQ(info.getItemCountDigits(2), 2);
    EXPECT_EQ(info.getItemCount(7), 0);
    EXPECT_EQ(info.getItemCount(-1), 0);
    EXPECT_EQ(info.getItemCount(INT_MIN), 0);
}

TEST(GameInfoPlayState, ScoreCountsContinuesAndDiffScore) {
    GameInfo info;
    info.setScore(100);
    info.addScore(0xFFFFFFFFu);  // wraps as a 32-bit word
    EXPECT_EQ(info.getScore(), 99u);
    info.setVar(var("continuenum"), 2.9f);
    EXPECT_EQ(info.getScore(), 101u) << "the last digits count the continues";

    info.setVar(var("targetscore"), 1000.0f);
    info.setScore(300);
    EXPECT_EQ(info.getDiffScore(), 700u);
    EXPECT_EQ(info.getDiffScoreDigits(), 3);
    info.setScore(1200);
    EXPECT_EQ(info.getDiffScore(), 0u);
    EXPECT_EQ(info.getDiffScoreDigits(), 1);
    info.setScore(1000);
    EXPECT_EQ(info.getDiffScore(), 0u);
}

TEST(GameInfoPlayState, DroppedFramesCountOnlyWhileThePlayerMayMove) {
    GameInfo info;
    info.countDroppedFrame();
    info.countDroppedFrame();
    info.setPlayerMoveEnabled(0);
    info.countDroppedFrame();
    EXPECT_EQ(info.getDroppedFrames(), 2);
    EXPECT_EQ(info.getPlayFrameCount(), 2);
    info.resetDroppedFrames();
    info.clearPlayFrameCount();
    EXPECT_EQ(info.getDroppedFrames(), 0);
    EXPECT_EQ(info.getPlayFrameCount(), 0);
}

TEST(GameInfoPlayState, ReconfigCountStopsAtZero) {
    GameInfo info;
    info.setReconfigCount(1);
    info.decReconfigCount();
    info.decReconfigCount();
    EXPECT_EQ(info.getReconfigCount(), 0);
}

TEST(GameInfoPlayState, MaxStageUpdateResetsStageVariablesWhenSwitchedOn) {
    GameInfo info;
    info.setVar(var("stagenum"), 3.0f);
    info.setVar(var("stageflag"), 1.0f);
    info.setMaxStageUpdate(1);  // already on: nothing reset
    EXPECT_EQ(info.getVar(var("stagenum")), 3.0f);
    info.setMaxStageUpdate(0);
    info.setMaxStageUpdate(1);
    EXPECT_EQ(info.getVar(var("stagenum")), -1.0f);
    EXPECT_EQ(info.getVar(var("stageflag")), -1.0f);
    EXPECT_EQ(info.getMaxStageUpdate(), 1);
}

// ---- names ----

TEST(GameInfoNames, PackingAndLength) {
    struct Case { const char* name; std::uint32_t word0, word1; std::int32_t length; };
    const Case cases[] = {
        {"NONAME  ", 0x4E4F4E41u, 0x4D452020u, 6},
        {"AB C    ", 0x41422043u, 0x20202020u, 4},
        {"        ", 0x20202020u, 0x20202020u, 0},
        {"ABCDEFGH", 0x41424344u, 0x45464748u, 8},
    };
    for (const Case& c : cases) {
        GameInfo info;
        auto words = GameInfo::packName(c.name);
        EXPECT_EQ(words[0], c.word0) << c.name;
        EXPECT_EQ(words[1], c.word1) << c.name;
        info.setPlayerName(words[0], words[1]);
        EXPECT_EQ(info.getMyNameLength(), c.length) << c.name;
    }
    GameInfo empty;
    EXPECT_EQ(empty.getMyNameLength(), 0) << "all zero bytes";
}

TEST(GameInfoNames, CharactersBlankPastTheEndAndOutsideTheName) {
    GameInfo info;
    auto words = GameInfo::packName("AB C");
    info.setPlayerName(words[0], words[1]);
    EXPECT_EQ(info.getMyNameChar(0), 'A');
    EXPECT_EQ(info.getMyNameChar(2), ' ');
    EXPECT_EQ(info.getMyNameChar(3), 'C');
    for (std::int32_t position : {4, 7, 8, -1, INT_MIN, INT_MAX}) EXPECT_EQ(info.getMyNameChar(position), 32) << position;
}

TEST(GameInfoNames, EditingTheNameAndCommittingIt) {
    GameInfo info;
    auto words = GameInfo::packName("NONAME  ");
    info.setPlayerName(words[0], words[1]);
    info.createTmpName();
    info.setMyNameChar(-1, 'X');
    info.setMyNameChar(8, 'X');
    EXPECT_EQ(info.isMyScoreUpdated(), 0) << "writes outside the name are ignored";
    info.setMyNameChar(0, 'Z');
    info.setMyNameChar(6, 0x1FF);  // only the low byte is a character
    EXPECT_EQ(info.isMyScoreUpdated(), 1);
    EXPECT_EQ(info.getPlayerName0(), words[0]) << "the player name changes only on commit";
    info.commitMyName();
    EXPECT_EQ(info.getPlayerName0(), 0x5A4F4E41u);
    EXPECT_EQ(info.getPlayerName1(), 0x4D45FF20u);
    EXPECT_EQ(info.getMyNameLength(), 7);
}

// ---- flags ----

TEST(GameInfoFlags, CurrentFlagsAndClearing) {
    GameInfo info;
    EXPECT_EQ(info.getGameFlag(5), 0);
    info.setGameFlag(5, 3);
    info.setGameFlag(200, 9);
    info.setStageGameFlag(5, 7);
    EXPECT_EQ(info.getGameFlag(5), 3) << "no replay stage runs";
    info.clearGameFlags();
    EXPECT_EQ(info.getGameFlag(5), 0);
    EXPECT_EQ(info.getGameFlag(200), 0);
}

TEST(GameInfoFlags, UpdateMergesFlagValuesAsBitsOfThePairingsSavedMap) {
    struct Case { float vorlytype; std::int32_t value; std::int32_t savedBits; };
    // Flag value v is saved as bit v - 1, the shift count taken modulo 32.
    const Case cases[] = {{0.0f, 1, 0x1}, {1.0f, 3, 0x4}, {2.0f, 33, 0x1}, {3.0f, -1, 0x40000000},
                          {2.9f, INT_MIN, INT_MIN}, {0.0f, 32, INT_MIN}};
    for (const Case& c : cases) {
        GameInfo info;
        info.init();
        info.setVar(var("vorlytype"), c.vorlytype);
        info.setGameFlag(10, c.value);
        info.setGameFlag(11, 0);
        info.updateGameFlags();
        info.updateGameFlags();
        EXPECT_EQ(info.getSavedGameFlag(10), c.savedBits) << c.value;
        EXPECT_EQ(info.getSavedGameFlag(11), 0);
        EXPECT_EQ(info.getAllGameFlag(10), c.savedBits) << c.value;
    }
}

TEST(GameInfoFlags, AllGameFlagIsTheOrOfTheThreeSavedMaps) {
    GameInfo info;
    info.savedGameFlags(0)[4] = 0x1;
    info.savedGameFlags(2)[4] = 0x4;
    info.savedGameFlags(3)[4] = 0x10;
    EXPECT_EQ(info.getAllGameFlag(4), 0x15);
    EXPECT_EQ(info.getAllGameFlag(5), 0);
}

TEST(GameInfoFlags, SavedFlagFallsBackThroughTheMapsOfThePairing) {
    // A fresh record: the saved maps are empty until filled, so the order in
    // which the maps are asked shows.
    struct Case { float vorlytype; std::int32_t expected; };
    GameInfo info;
    info.savedGameFlags(3)[5] = 4;   // third map only
    info.savedGameFlags(0)[6] = 8;   // first map only
    const Case forFive[] = {{2.0f, 4}, {3.0f, 4}, {0.0f, 0}, {1.0f, 0}};
    for (const Case& c : forFive) {
        info.setVar(var("vorlytype"), c.vorlytype);
        EXPECT_EQ(info.getSavedGameFlag(5), c.expected) << c.vorlytype;
    }
    // Id 6: the second and third maps hold no id at or above it, so the
    // first answers.
    info.setVar(var("vorlytype"), 2.0f);
    EXPECT_EQ(info.getSavedGameFlag(6), 8);
    // A map holding only a greater id answers, with 0 for the asked id.
    info.savedGameFlags(2)[9] = 1;
    EXPECT_EQ(info.getSavedGameFlag(6), 0);
    EXPECT_EQ(info.getSavedGameFlag(200), 0);
}

// ---- endings and reached stages ----

TEST(GameInfoFlags, EndingBitsAndTheirRange) {
    GameInfo info;
    info.setEndingSeen(37);
    info.setEndingSeen(255);
    info.setEndingSeen(-1);
    info.setEndingSeen(256);
    info.setEndingSeen(INT_MIN);
    EXPECT_EQ(info.endingWords()[1], 1u << 5);
    EXPECT_EQ(info.endingWords()[7], 1u << 31);
    for (std::int32_t n : {37, 255}) EXPECT_EQ(info.isEndingSeen(n), 1) << n;
    for (std::int32_t n : {36, 0, -1, 256, INT_MIN, INT_MAX}) EXPECT_EQ(info.isEndingSeen(n), 0) << n;
}

TEST(GameInfoFlags, ReachedStagesByDifficultyAndPairing) {
    GameInfo info;
    info.reachStageWords()[3 * 1 + 2] = 0x2u << 4;  // stage 2, bit 1, difficulty 1, pairing 2
    info.reachStageWords()[8] = 0x8u << 28;         // stage 8, bit 3, difficulty 2, pairing 2
    struct Case { std::int32_t stage, bit, pairing, difficulty, expected; };
    const Case cases[] = {
        {2, 1, 2, 1, 1}, {2, 0, 2, 1, 0}, {2, 1, 1, 1, 0},
        {8, 3, 5, 7, 1},                     // indexes above 2 read the last word
        {2, 1, -1, 1, 0}, {2, 1, 2, -1, 0},  // negative indexes read nothing
        {0, 1, 2, 1, 0}, {9, 1, 2, 1, 0}, {10, 1, 2, 1, 0},  // stages outside the word
        {2, 4, 2, 1, 0}, {2, -1, 2, 1, 0},  // bits outside the stage's group
    };
    for (const Case& c : cases) {
        EXPECT_EQ(info.hasReachedStage(c.stage, c.bit, c.pairing, c.difficulty), c.expected)
            << c.stage << " " << c.bit << " " << c.pairing << " " << c.difficulty;
    }
    EXPECT_EQ(info.hasReachedStageAll(2, 1), 1);
    EXPECT_EQ(info.hasReachedStageAll(8, 3), 1);
    EXPECT_EQ(info.hasReachedStageAll(3, 1), 0);
    EXPECT_EQ(info.hasReachedStageAll(9, 1), 0);
    info.reachStageWords()[0] = 0x1234u;
    EXPECT_EQ(info.getMaxScoreStage(), 0x1234u);
}

// ---- what the replay manager decides ----

class GameInfoReplay : public ::testing::Test {
protected:
    void SetUp() override { g_replayManager = new ReplayManager(); }
    void TearDown() override {
        delete g_replayManager;
        g_replayManager = nullptr;
    }
};

TEST_F(GameInfoReplay, StartedReplayReadsTheReplayStageFlags) {
    GameInfo info;
    info.setGameFlag(5, 3);
    info.setStageGameFlag(5, 7);
    info.setStageGameFlag(6, 1);
    EXPECT_EQ(info.getGameFlag(5), 3);
    g_replayManager->setReplayStarted(1);
    EXPECT_EQ(info.getGameFlag(5), 7);
    EXPECT_EQ(info.getGameFlag(6), 1);
    EXPECT_EQ(info.getGameFlag(9), 0);
    g_replayManager->setReplayStarted(0);
    EXPECT_EQ(info.getGameFlag(6), 0);
}

TEST_F(GameInfoReplay, EndingsSeenDuringPlaybackAreNotRecorded) {
    GameInfo info;
    g_replayManager->setMode(ReplayManager::kPlayBack);
    info.setEndingSeen(3);
    EXPECT_EQ(info.isEndingSeen(3), 0);
    g_replayManager->setMode(ReplayManager::kRecord);
    info.setEndingSeen(3);
    EXPECT_EQ(info.isEndingSeen(3), 1);
}

// ---- what the configuration record decides ----

// A configuration record in a temporary game folder (its release writes the
// settings file there).
class GameInfoConfigured : public ::testing::Test {
protected:
    void SetUp() override { g_systemInfo = new SystemInfo(); }
    void TearDown() override {
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }
    TempRoot root;
};

TEST_F(GameInfoConfigured, SystemTypeThreeShowsTheScoreWithoutContinues) {
    GameInfo info;
    info.setScore(500);
    info.setVar(var("continuenum"), 3.0f);
    EXPECT_EQ(info.getScore(), 503u);
    g_systemInfo->setSystemType(3);
    EXPECT_EQ(info.getScore(), 500u);
}

TEST_F(GameInfoConfigured, AllStageReachesEveryStageAndSeesEveryEnding) {
    GameInfo info;
    EXPECT_EQ(info.isEndingSeen(3), 0);
    EXPECT_EQ(info.hasReachedStage(1, 0, 0, 0), 0);
    EXPECT_EQ(info.hasReachedStageAll(1, 0), 0);
    g_systemInfo->setAllStage();
    EXPECT_EQ(info.isEndingSeen(3), 1);
    EXPECT_EQ(info.hasReachedStage(1, 0, 0, 0), 1);
    EXPECT_EQ(info.hasReachedStageAll(1, 0), 1);
}

TEST_F(GameInfoConfigured, ContinueCountIsTakenAtInitAndWrittenBackAtRelease) {
    g_systemInfo->setMaxContinue(5);
    auto* info = new GameInfo();
    info->init();
    EXPECT_EQ(info->getVar(var("maxcontinuenum")), 5.0f);
    info->setVar(var("maxcontinuenum"), 7.9f);
    info->setNamedVar("ignorecollision", 1);
    delete info;
    EXPECT_EQ(g_systemInfo->getMaxContinue(), 7u);

    // A record that was never initialised writes nothing back.
    info = new GameInfo();
    info->setVar(var("maxcontinuenum"), 1.0f);
    delete info;
    EXPECT_EQ(g_systemInfo->getMaxContinue(), 7u);
}

// Two runs save their scores, then one bit of the score file is flipped:
// the next run reads the copy the second save kept, the first run's scores.
TEST_F(GameInfoConfigured, ADamagedScoreFileGivesBackTheScoresOfTheSaveBefore) {
    std::filesystem::create_directories(root.path() / "data");
    g_replayManager = new ReplayManager();
    for (std::uint32_t score : {1000u, 2000u}) {
        auto* info = new GameInfo();
        info->init();
        info->load();
        info->localScoreTables().ranking(0, 0)[0][ScoreEntry::kScore] = score;
        delete info;  // the release saves the records
    }
    std::string bytes = root.readFile("data/score.dat");
    ASSERT_EQ(bytes.size(), 139052u);
    bytes[16 + 112 * 5] ^= 0x08;
    root.writeFile("data/score.dat", bytes);
    {
        GameInfo info;
        info.init();
        info.load();
        EXPECT_EQ(info.localScoreTables().ranking(0, 0)[0][ScoreEntry::kScore], 1000u);
    }
    delete g_replayManager;
    g_replayManager = nullptr;
}

// ---- life cycle ----

TEST(GameInfoLifecycle, InitAndLoadSetTheirDefaults) {
    GameInfo info;
    info.setItemCount(3, 9);
    info.setECrystal1(4);
    info.setECrystal2(5);
    info.setTextBlockActive(1);
    info.reachStageWords()[4] = 1;
    info.endingWords()[2] = 1;
    info.setOnlineRank(3, 2, 1);
    info.init();
    EXPECT_EQ(info.isInitialised(), 1);
    EXPECT_EQ(info.getItemCount(3), 0);
    EXPECT_EQ(info.reachStageWords()[4], 0u);
    EXPECT_EQ(info.endingWords()[2], 0u);
    EXPECT_EQ(info.getOnlineRank(3, 2), 0u);
    EXPECT_EQ(info.getPlayerName0(), GameInfo::packName("NONAME  ")[0]);
    EXPECT_EQ(info.getPlayerName1(), GameInfo::packName("NONAME  ")[1]);
    EXPECT_EQ(info.getVar(var("maxcontinuenum")), 3.0f) << "the configured continues";
    for (std::int32_t pairing : {0, 2, 3}) {
        EXPECT_EQ(info.savedGameFlags(pairing).size(), 128u);
    }

    info.setItemCount(3, 9);
    info.load();
    EXPECT_EQ(info.getItemCount(3), 0);
    EXPECT_EQ(info.getECrystal1(), 0);
    EXPECT_EQ(info.getECrystal2(), 0);
    EXPECT_EQ(info.isTextBlockActive(), 0);
}

TEST(GameInfoLifecycle, ReleasedInItsStepOfTheReleaseOrder) {
    LoggedTest logged;
    g_gameInfo = new GameInfo();
    g_gameInfo->init();
    releaseAll();
    EXPECT_EQ(g_gameInfo, nullptr);
    auto lines = logged.logLines();
    auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    EXPECT_LT(at("Network Manager を開放しました"), at("GameInfo Manager を開放しました"));
    EXPECT_LT(at("GameInfo Manager を開放しました"), at("Replay Manager を開放しました"));
    EXPECT_LT(at("Replay Manager を開放しました"), static_cast<long>(lines.size()));
}

}  // namespace

#include "services/FrameCounter.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "PollingClock.h"
#include "graphics/PresentFrame.h"
#include "platform/Clock.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/MainLoop.h"
#include "support/TestSupport.h"

namespace {
// Stands in for the device, the replay manager, the game records and the player.
struct FakePeers : FrameCounterPeers {
    bool vsync = true;
    bool retrace60 = false;
    std::optional<ReplayState> replayState;
    bool gameInfo = false;
    float stageNum = 0.0f;
    bool paused = false;
    int droppedFrames = 0;
    std::optional<PlayerCentre> player;

    bool deviceVsync() override { return vsync; }
    bool retraceGives60Hz() override { return retrace60; }
    std::optional<ReplayState> replay() override { return replayState; }
    bool gameInfoExists() override { return gameInfo; }
    float gameVariable(NameHandle name) override { return name == internName("stagenum") ? stageNum : 0.0f; }
    void countDroppedFrame() override { ++droppedFrames; }
    bool gamePaused() override { return paused; }
    std::optional<PlayerCentre> playerCentre() override { return player; }
};

ReplayState playingBack(int speed) { return {1, speed, true}; }
ReplayState recording() { return {0, 1, true}; }

// A frame counter with its own configuration record and fake peers, on the
// clock the test installs.
class FrameCounterFixture {
public:
    explicit FrameCounterFixture(Clock& clock) : installed_(clock) {
        g_systemInfo = new SystemInfo();
        frames = std::make_unique<FrameCounter>(peers);
    }
    ~FrameCounterFixture() {
        frames.reset();
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }
    SystemInfo& config() { return *g_systemInfo; }

    FakePeers peers;
    std::unique_ptr<FrameCounter> frames;

private:
    TempRoot root_;
    InstalledClock installed_;
};

struct PacedFrames {
    std::vector<std::uint32_t> durations;  // ms from one frame's end to the next
    std::vector<std::uint64_t> sleptMs;    // ms of sleep asked per frame
    std::vector<std::uint64_t> polls;      // reads of the timer per frame (1 us each)
};

// Runs `count` frames back to back (wait, then the per-Present update); each
// frame's own work takes `workMicros` before its wait.
PacedFrames paceFrames(FrameCounterFixture& f, PollingClock& clock, int count, std::uint32_t workMicros = 0) {
    PacedFrames result;
    f.frames->start();
    std::uint32_t previous = clock.nowMs();
    for (int i = 0; i < count; ++i) {
        clock.advanceMicros(workMicros);
        std::uint64_t sleptBefore = clock.sleptMs();
        std::uint64_t readsBefore = clock.reads();
        f.frames->waitNextFrame();
        result.durations.push_back(clock.nowMs() - previous);
        result.sleptMs.push_back(clock.sleptMs() - sleptBefore);
        result.polls.push_back(clock.reads() - readsBefore);
        previous = clock.nowMs();
        f.frames->onPresent();
    }
    return result;
}
}  // namespace

TEST(FrameCounterPacing, SixtyFramesASecondInSixteenSeventeenSeventeen) {
    PollingClock clock(5000);
    FrameCounterFixture f(clock);
    f.config().setForce60fps(1);
    PacedFrames paced = paceFrames(f, clock, 6);
    EXPECT_EQ(paced.durations, (std::vector<std::uint32_t>{16, 17, 17, 16, 17, 17}));
    // Sleeps up to one millisecond before the frame's end and polls only that
    // last millisecond (a millisecond is 1000 reads of this clock).
    EXPECT_EQ(paced.sleptMs, (std::vector<std::uint64_t>{15, 16, 16, 15, 16, 16}));
    for (std::uint64_t polls : paced.polls) EXPECT_LE(polls, 1010u);

    // Frames whose work ends partway through a millisecond still end on the
    // millisecond of their target, 16, 17 and 17 ms apart.
    for (std::uint32_t work : {400u, 5999u, 14700u}) {
        PacedFrames busy = paceFrames(f, clock, 6, work);
        EXPECT_EQ(busy.durations, (std::vector<std::uint32_t>{16, 17, 17, 16, 17, 17})) << work << " us of work";
        for (std::uint64_t polls : busy.polls) EXPECT_LE(polls, 1010u) << work << " us of work";
    }

    // A frame that already took longer than its target does not wait.
    clock.advance(40);
    std::uint32_t before = clock.nowMs();
    f.frames->waitNextFrame();
    EXPECT_EQ(clock.nowMs(), before);
}

TEST(FrameCounterPacing, ReplaySpeedDividesTheTimes) {
    struct Case {
        int speed;
        std::vector<std::uint32_t> durations;
        std::vector<std::uint64_t> sleptMs;
    };
    const Case cases[] = {
        {0, {16, 17, 17}, {15, 16, 16}}, {1, {16, 17, 17}, {15, 16, 16}}, {2, {8, 8, 8}, {7, 7, 7}},
        {4, {4, 4, 4}, {3, 3, 3}},       {8, {2, 2, 2}, {1, 1, 1}},       {12, {2, 2, 2}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        PollingClock clock;
        FrameCounterFixture f(clock);
        f.config().setForce60fps(1);
        f.peers.replayState = playingBack(c.speed);
        PacedFrames paced = paceFrames(f, clock, 3);
        EXPECT_EQ(paced.durations, c.durations) << "speed " << c.speed;
        EXPECT_EQ(paced.sleptMs, c.sleptMs) << "speed " << c.speed;
    }

    // Recording is not playing back: the speed does not apply.
    PollingClock clock;
    FrameCounterFixture f(clock);
    f.config().setForce60fps(1);
    f.peers.replayState = ReplayState{0, 4, true};
    EXPECT_EQ(paceFrames(f, clock, 3).durations, (std::vector<std::uint32_t>{16, 17, 17}));
}

TEST(FrameCounterPacing, WaitsOnlyWhereTheRetraceDoesNotPace) {
    struct Case {
        std::uint32_t force60fps;
        bool vsync;
        bool retrace60;
        bool paced;
    };
    const Case cases[] = {
        {1, true, false, true},
        {1, true, true, true},    // the device presents at once: this wait paces
        {0, true, true, false},   // a 60 Hz retrace paces the frames
        {0, true, false, true},   // a retrace that cannot give 60 Hz: pace here
        {1, false, false, false}, // vsync off: nothing waits
        {0, false, false, false},
    };
    for (const Case& c : cases) {
        PollingClock clock;
        FrameCounterFixture f(clock);
        f.config().setForce60fps(c.force60fps);
        f.peers.vsync = c.vsync;
        f.peers.retrace60 = c.retrace60;
        PacedFrames paced = paceFrames(f, clock, 3);
        std::vector<std::uint32_t> expected = c.paced ? std::vector<std::uint32_t>{16, 17, 17}
                                                       : std::vector<std::uint32_t>{0, 0, 0};
        EXPECT_EQ(paced.durations, expected)
            << "force60fps " << c.force60fps << " vsync " << c.vsync << " retrace60 " << c.retrace60;
    }
}

TEST(FrameCounterSkip, PlaybackAtSpeedSkipsFramesBetweenMultiples) {
    struct Case {
        std::optional<ReplayState> replay;
        std::vector<std::uint32_t> skipped;  // frames 0 to 5
    };
    const Case cases[] = {
        {std::nullopt, {0, 0, 0, 0, 0, 0}},
        {recording(), {0, 0, 0, 0, 0, 0}},
        {ReplayState{0, 3, true}, {0, 0, 0, 0, 0, 0}},
        {playingBack(1), {0, 0, 0, 0, 0, 0}},
        {playingBack(3), {0, 1, 1, 0, 1, 1}},
        {playingBack(2), {0, 1, 0, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        FrameCounterFixture f(clock);
        f.peers.replayState = c.replay;
        f.frames->start();
        std::vector<std::uint32_t> skipped;
        for (int frame = 0; frame < 6; ++frame) {
            skipped.push_back(f.frames->isSkippedFrame());
            clock.advance(16);
            f.frames->onPresent();
        }
        EXPECT_EQ(skipped, c.skipped);
    }
}

TEST(FrameCounterDropped, SlowPresentsWhileRecordingCountAsDropped) {
    struct Case {
        std::uint32_t gap;
        std::optional<ReplayState> replay;
        bool gameInfo;
        std::uint32_t systemType;
        float stageNum;
        int dropped;
    };
    const Case cases[] = {
        {18, recording(), true, 0, 1.0f, 0},
        {19, recording(), true, 0, 1.0f, 1},
        {19, recording(), true, 4, 8.0f, 0},   // the last stage of system type 4
        {19, recording(), true, 4, 8.9f, 0},   // the stage number is truncated
        {19, recording(), true, 4, 7.0f, 1},
        {19, recording(), true, 2, 8.0f, 1},
        {19, playingBack(1), true, 0, 1.0f, 0},
        {19, ReplayState{0, 1, false}, true, 0, 1.0f, 0},
        {19, std::nullopt, true, 0, 1.0f, 0},
        {19, recording(), false, 0, 1.0f, 0},
    };
    for (const Case& c : cases) {
        FakeClock clock(100);
        FrameCounterFixture f(clock);
        f.peers.replayState = c.replay;
        f.peers.gameInfo = c.gameInfo;
        f.peers.stageNum = c.stageNum;
        f.config().setSystemType(c.systemType);
        f.frames->start();
        clock.advance(c.gap);
        f.frames->onPresent();
        EXPECT_EQ(f.peers.droppedFrames, c.dropped)
            << "gap " << c.gap << " system type " << c.systemType << " stage " << c.stageNum;
    }
}

TEST(FrameCounterFps, OneUntilTheFirstSecondThenPresentsOfThePreviousSecond) {
    FakeClock clock(7000);
    FrameCounterFixture f(clock);
    f.frames->start();
    for (int i = 0; i < 99; ++i) {  // Presents at 10 .. 990 ms
        clock.advance(10);
        f.frames->onPresent();
    }
    EXPECT_EQ(f.frames->getFps(), 1);
    clock.advance(10);  // 1000 ms
    f.frames->onPresent();
    EXPECT_EQ(f.frames->getFps(), 99);
    for (int i = 0; i < 99; ++i) {  // 1010 .. 1990 ms
        clock.advance(10);
        f.frames->onPresent();
    }
    EXPECT_EQ(f.frames->getFps(), 99);
    clock.advance(10);  // 2000 ms: the Presents of 1000 .. 1990
    f.frames->onPresent();
    EXPECT_EQ(f.frames->getFps(), 100);
    EXPECT_EQ(f.frames->getFrameNumber(), 200u);
}

TEST(FrameCounterProfile, SectionAveragesFoldEveryHalfSecond) {
    FakeClock clock(300);
    FrameCounterFixture f(clock);
    f.frames->start();
    for (std::uint32_t ms : {2u, 4u, 6u}) {
        f.frames->beginSection("Render");
        clock.advance(ms);
        f.frames->endSection("Render");
    }
    clock.advance(100);
    f.frames->onPresent();  // 112 ms after the last fold: no fold yet
    EXPECT_EQ(f.frames->getSectionAverage("Render"), 0.0f);
    clock.advance(388);
    f.frames->onPresent();  // 500 ms: fold
    EXPECT_EQ(f.frames->getSectionAverage("Render"), 4.0f);
    clock.advance(500);
    f.frames->onPresent();  // a fold that finds no calls keeps the average
    EXPECT_EQ(f.frames->getSectionAverage("Render"), 4.0f);
}

TEST(FrameCounterProfile, EndWithoutBeginMeasuresNothing) {
    FakeClock clock(50000);
    FrameCounterFixture f(clock);
    f.frames->start();
    f.frames->endSection("Present");  // would measure 50000 ms from time 0
    clock.advance(500);
    f.frames->onPresent();
    EXPECT_EQ(f.frames->getSectionAverage("Present"), 0.0f);
    f.frames->beginSection("Present");
    clock.advance(3);
    f.frames->endSection("Present");
    f.frames->endSection("Present");  // a second end measures nothing either
    clock.advance(500);
    f.frames->onPresent();
    EXPECT_EQ(f.frames->getSectionAverage("Present"), 3.0f);
}

TEST(FrameCounterProfile, PresentFrameRunsPacingPresentSectionAndUpdate) {
    PollingClock clock;
    FrameCounterFixture f(clock);
    f.config().setForce60fps(1);
    f.frames->start();
    g_frameCounter = f.frames.get();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(presentFrame(), S_OK);
    g_frameCounter = nullptr;
    EXPECT_EQ(clock.nowMs(), 50u);
    EXPECT_EQ(f.frames->getFrameNumber(), 3u);
}

TEST(FrameCounterNames, IdToNameTableHasItsRowsPadded) {
    FakeClock clock;
    FrameCounterFixture f(clock);
    const auto& names = f.frames->idNames();
    EXPECT_EQ(names.size(), 208u);
    const std::vector<std::pair<std::uint32_t, const char*>> rows = {
        {0, "none            "},
        {1, "bullet          "},
        {119, "waitdirectionkey"},
        {99, "setsharedvitalnum"},
        {98, "changebullettoitem"},
        {136, "setfontshadowcolor"},
        {144, "parentrevenge   "},
        {512, "none            "},
        {531, "y               "},
        {533, "inv             "},
        {548, "effect          "},
        {1025, "gotoNext        "},
        {1026, "execNode        "},
        {1056, "DrawPrimitive   "},
        {1281, "Checkpoint1     "},
        {1290, "CheckpointA     "},
        {1295, "CheckpointF     "},
        {1296, "Checkpoint10     "},
        {1304, "Checkpoint18     "},
    };
    for (const auto& [id, name] : rows) {
        ASSERT_TRUE(names.count(id)) << id;
        EXPECT_EQ(names.at(id), name) << id;
    }
    for (std::uint32_t missing : {145u, 511u, 532u, 549u, 1024u, 1027u, 1280u, 1305u}) {
        EXPECT_EQ(names.count(missing), 0u) << missing;
    }
}

TEST(FrameCounterCounters, PerPlayCountersSerialsAndBases) {
    FakeClock clock;
    FrameCounterFixture f(clock);
    FrameCounter& frames = *f.frames;
    EXPECT_EQ(frames.getMagicFrames(), 360000u);
    EXPECT_EQ(frames.getMissFrames(), 360000u);
    EXPECT_EQ(frames.getGrazeFrames(), 360000u);
    frames.resetMagicFrames();
    frames.resetMissFrames();
    frames.tickMissFrames();
    frames.tickMissFrames();
    frames.resetPlayerFrames();
    frames.tickPlayerFrames();
    EXPECT_EQ(frames.getMagicFrames(), 0u);
    EXPECT_EQ(frames.getMissFrames(), 2u);
    EXPECT_EQ(frames.getPlayerFrames(), 1u);

    frames.nextSerial();
    frames.resetSerial();
    EXPECT_EQ(frames.nextSerial(), 0u);
    EXPECT_EQ(frames.nextSerial(), 1u);
    EXPECT_EQ(frames.nextSerial(), 2u);

    frames.start();
    for (int i = 0; i < 5; ++i) frames.onPresent();
    // The game reset expires the per-play counters and bases the play frames.
    g_frameCounter = &frames;
    resetGame();
    g_frameCounter = nullptr;
    EXPECT_EQ(frames.getMagicFrames(), 360000u);
    EXPECT_EQ(frames.getMissFrames(), 360000u);
    EXPECT_EQ(frames.getPlayerFrames(), 0u);
    EXPECT_EQ(frames.getFramesSinceReset(), 0u);

    frames.noteReplayStart();
    f.peers.gameInfo = true;
    f.peers.paused = true;
    frames.onPresent();
    frames.onPresent();
    EXPECT_EQ(frames.getFramesSinceReset(), 2u);
    EXPECT_EQ(frames.getFramesSinceMark(), 2u);
    EXPECT_EQ(frames.getPausedFramesSinceReplayStart(), 2u);
    frames.markReplayStart();
    EXPECT_EQ(frames.getFramesSinceMark(), 0u);
    EXPECT_EQ(frames.getPausedFramesSinceReplayStart(), 0u);
}

TEST(FrameCounterCounters, PlayerPositionOnlyWhileThePlayerExists) {
    FakeClock clock;
    FrameCounterFixture f(clock);
    f.frames->samplePlayerPosition();
    EXPECT_EQ(f.frames->getPlayerX(), 0.0f);
    f.peers.player = PlayerCentre{120.5f, 400.0f};
    f.frames->samplePlayerPosition();
    EXPECT_EQ(f.frames->getPlayerX(), 120.5f);
    EXPECT_EQ(f.frames->getPlayerY(), 400.0f);
    f.peers.player.reset();
    EXPECT_EQ(f.frames->getPlayerX(), 0.0f);
    EXPECT_EQ(f.frames->getPlayerY(), 0.0f);
}

TEST(FrameCounterStart, CountsFramesAndTheSecondAfresh) {
    PollingClock clock(1000);
    FrameCounterFixture f(clock);
    f.frames->start();
    f.frames->tickPlayerFrames();
    for (int i = 0; i < 70; ++i) {
        clock.advance(16);
        f.frames->onPresent();
    }
    ASSERT_EQ(f.frames->getFrameNumber(), 70u);
    ASSERT_GT(f.frames->getFps(), 1);

    clock.advance(5000);
    f.frames->start();
    EXPECT_EQ(f.frames->getFrameNumber(), 0u);
    EXPECT_EQ(f.frames->getPlayerFrames(), 0u);
    // A new second starts now: 30 Presents within it leave the rate as it was;
    // the first Present a second later reports them.
    int fps = f.frames->getFps();
    for (int i = 0; i < 30; ++i) {
        clock.advance(10);
        f.frames->onPresent();
    }
    EXPECT_EQ(f.frames->getFps(), fps);
    clock.advance(701);
    f.frames->onPresent();
    EXPECT_EQ(f.frames->getFps(), 30);
}

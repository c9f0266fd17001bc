// The player step with scripted buttons: movement, slow mode, shots, magic,
// bombs, the player switch, pause, the replay speed keys, key assignment and
// the gauges.
#include <vector>

#include "input/ReplayManager.h"
#include "objects/MenuFixture.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {

class PlayerStepTest : public MenuTest {
protected:
    PlayerStepTest() {
        setVar("playerspeed", 4.0f);
        setVar("playerslowspeed", 2.0f);
        setVar("slowterm", 10.0f);
        player = makePlayer();
    }
    ~PlayerStepTest() override {
        delete g_replayManager;
        g_replayManager = nullptr;
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }
    // A top object as the game reset makes it: in the scene's set, script
    // switched off.
    BulletObject* top(TopObject which) {
        BulletObject* object = manager().createPlainObject();
        object->setWideName(wide(TopObjects::label(which)));
        object->setMainRuntime(script({}));
        object->setRuntimeActive(0);
        manager().getTopObjects().set(which, object);
        return object;
    }
    // The player's vertical step over one frame.
    float stepY(std::initializer_list<std::int32_t> held) {
        const float y = player->getY();
        step(held);
        return player->getY() - y;
    }
    void systemType(std::uint32_t type) {
        g_systemInfo = new SystemInfo();
        g_systemInfo->setSystemType(type);
    }

    BulletObject* player = nullptr;
};

TEST_F(PlayerStepTest, DirectionsMoveThePlayerAndLaterKeysWin) {
    struct Case {
        const char* name;
        std::initializer_list<std::int32_t> held;
        float dx, dy;
        std::uint32_t sideFlags;
    } cases[] = {
        {"up", {kButtonUp}, 0.0f, -4.0f, 0},
        {"up and down: down", {kButtonUp, kButtonDown}, 0.0f, 4.0f, 0},
        {"left", {kButtonLeft}, -4.0f, 0.0f, 8},
        {"left and right: right", {kButtonLeft, kButtonRight}, 4.0f, 0.0f, 4},
        {"nothing", {}, 0.0f, 0.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const float x = player->getX();
        const float y = player->getY();
        step(c.held);
        EXPECT_FLOAT_EQ(player->getX() - x, c.dx);
        EXPECT_FLOAT_EQ(player->getY() - y, c.dy);
        EXPECT_EQ(player->getFlags() & 0xC, c.sideFlags);
        step();  // every key released between cases
    }
}

TEST_F(PlayerStepTest, OutOfPlayThePlayerDoesNotMove) {
    player->addFlags(object_flag::kRevenge);
    EXPECT_FLOAT_EQ(stepY({kButtonDown}), 0.0f);
}

// With "slowterm" 10 the movement reads the counter its shot step left the
// frame before, and a release keeps the counter one frame more: slow speed
// from the 12th held frame, normal again on the 3rd frame after release.
TEST_F(PlayerStepTest, SlowModeFramesOfButtonZero) {
    std::vector<float> steps;
    std::vector<std::int32_t> counters;
    for (int frame = 1; frame <= 17; ++frame) {
        steps.push_back(frame <= 14 ? stepY({kButton0, kButtonDown}) : stepY({kButtonDown}));
        counters.push_back(getSlowCounter());
    }
    const std::vector<float> expected = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 2, 2, 2, 2, 2, 4};
    EXPECT_EQ(steps, expected);
    const std::vector<std::int32_t> counted = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 11, 11, 10, 0, 0};
    EXPECT_EQ(counters, counted);
    resetSlowCounter();
    EXPECT_EQ(getSlowCounter(), 0);
}

TEST_F(PlayerStepTest, ButtonFourFiresWithoutSlowingDown) {
    BulletObject* shot1 = top(TopObject::kShot1);
    BulletObject* shot2 = top(TopObject::kShot2);
    shot2->setRuntimeActive(1);
    for (int frame = 0; frame < 15; ++frame) EXPECT_FLOAT_EQ(stepY({kButton4, kButtonDown}), 4.0f);
    EXPECT_EQ(getSlowCounter(), 0);
    EXPECT_EQ(player->getFlags() & 2, 2u);
    EXPECT_EQ(shot1->isRuntimeActive(), 1);
    EXPECT_EQ(shot2->isRuntimeActive(), 0);
    step();
    step();
    EXPECT_EQ(player->getFlags() & 2, 0u);

    // The second player type fires the second shot.
    setVar("_player_type", 1.0f);
    step({kButton0});
    EXPECT_EQ(shot2->isRuntimeActive(), 1);
    EXPECT_EQ(shot1->isRuntimeActive(), 0);
}

TEST_F(PlayerStepTest, MoveGaugeRisesToAboutOneAndDropsToZero) {
    float last = 0.0f;
    for (int frame = 0; frame < 25; ++frame) {
        step({kButtonRight});
        const float now = var("playermovex");
        EXPECT_GE(now, last);
        last = now;
    }
    EXPECT_GT(last, 1.0f);
    EXPECT_LT(last, 1.0501f);
    step({kButtonUp});
    EXPECT_FLOAT_EQ(var("playermovex"), 0.0f);
    EXPECT_FLOAT_EQ(var("playermovey"), -0.05f);
}

TEST_F(PlayerStepTest, ReplaySpeedKeysWorkOnlyInPlayBack) {
    g_replayManager = new ReplayManager();
    // Raw presses of Right, whatever the played-back input holds.
    for (int i = 0; i < 10; ++i) {
        input->holdLive({kButtonRight});
        step({kButtonUp});
        input->holdLive({});
        step({kButtonUp});
    }
    EXPECT_EQ(g_replayManager->getReplaySpeed(), 1);
    g_replayManager->setMode(ReplayManager::kPlayBack);
    for (int i = 0; i < 10; ++i) {
        input->holdLive({kButtonRight});
        step();
        input->holdLive({});
        step();
    }
    EXPECT_EQ(g_replayManager->getReplaySpeed(), 8);
    input->holdLive({kButtonLeft});
    step();
    EXPECT_EQ(g_replayManager->getReplaySpeed(), 7);
    input->holdLive({kButtonDown});
    step();
    EXPECT_EQ(g_replayManager->getReplaySpeed(), 1);
}

TEST_F(PlayerStepTest, ThePauseKeyStartsThePauseObjectAndPausesNextFrame) {
    BulletObject* pause = top(TopObject::kPause);
    game().setPauseAllowed(0);
    step({kButtonPause});
    EXPECT_EQ(game().isPauseToggleRequested(), 0);
    step();
    game().setPauseAllowed(1);
    step({kButtonPause});
    EXPECT_EQ(game().isPauseToggleRequested(), 1);
    EXPECT_EQ(pause->isRuntimeActive(), 1);
    EXPECT_EQ(game().isPaused(), 0);
    step({kButtonPause});  // held, not fresh
    EXPECT_EQ(game().isPaused(), 1);
    EXPECT_EQ(game().isPauseToggleRequested(), 0);
}

TEST_F(PlayerStepTest, KeyAssignmentTakesTheFirstFreshButton) {
    game().setWaitKey(1);
    game().setWaitKeyValue(3);
    const float y = player->getY();
    step({kButton4, 7, kButtonDown});
    EXPECT_EQ(input->getKeyAssign(3), 4);
    step({kButton4, 7, 9});
    EXPECT_EQ(input->getKeyAssign(3), 9);
    EXPECT_FLOAT_EQ(player->getY(), y);  // no play while assigning keys
}

TEST_F(PlayerStepTest, GaugesTickOnlyInARunningReplayStage) {
    setVar("mpointdelta2", 2.0f);
    const std::uint32_t expired = g_frameCounter->getMagicFrames();
    const std::int32_t vorly = game().getVorlyCount1();
    steps(3);
    EXPECT_EQ(g_frameCounter->getMagicFrames(), expired);
    EXPECT_EQ(game().getVorlyCount1(), vorly);
    EXPECT_FLOAT_EQ(game().getMpoint(), 0.0f);

    g_replayManager = new ReplayManager();
    g_replayManager->startReplay();
    const int updates = input->updates;
    step({kButtonDown});  // the stage's first frame runs nothing here
    EXPECT_EQ(input->updates, updates);
    g_frameCounter->onPresent();
    steps(3);
    EXPECT_EQ(g_frameCounter->getMagicFrames(), expired + 3);
    EXPECT_EQ(g_frameCounter->getMissFrames(), expired + 3);
    EXPECT_EQ(game().getVorlyCount1(), vorly + 3);
    EXPECT_FLOAT_EQ(game().getMpoint(), 6.0f);
}

TEST_F(PlayerStepTest, SystemTypeThreeFillsTheOptionGaugeOutsideStages) {
    systemType(3);
    steps(2);
    EXPECT_EQ(g_frameCounter->getMagicFrames(), FrameCounter::kExpiredFrames + 2);
    EXPECT_EQ(g_frameCounter->getMissFrames(), FrameCounter::kExpiredFrames);
}

TEST_F(PlayerStepTest, SystemTypeThreeBombAndOptionCostMpoint) {
    systemType(3);
    BulletObject* bomb = top(TopObject::kBomb);
    BulletObject* option = top(TopObject::kOption);
    setVar("bombmpoint", 3.0f);
    setVar("optmpoint", 2.0f);
    game().addMpoint(299.0f);
    step({kButton1});
    EXPECT_EQ(bomb->isRuntimeActive(), 0);
    step();
    game().addMpoint(1.0f);
    step({kButton1});
    EXPECT_EQ(bomb->isRuntimeActive(), 1);
    EXPECT_FLOAT_EQ(game().getMpoint(), 0.0f);

    game().addMpoint(200.0f);
    player->addFlags(object_flag::kRevenge);
    step({kButton2});
    EXPECT_EQ(option->isRuntimeActive(), 0);
    step();
    player->clearFlags(object_flag::kRevenge);
    step({kButton2});
    EXPECT_EQ(option->isRuntimeActive(), 1);
    EXPECT_FLOAT_EQ(game().getMpoint(), 0.0f);
    EXPECT_EQ(g_frameCounter->getMagicFrames(), 0u);
}

TEST_F(PlayerStepTest, VorlyMagicSpendsSpiritOnceItIsDue) {
    BulletObject* bomb = top(TopObject::kBomb);
    setVar("vorlymagic_spirit", 1000.5f);
    setVar("magicinterval", 60.0f);
    setVar("ttcinvframe", 120.0f);
    game().setSpirit(1000);
    step({kButton1});
    EXPECT_EQ(bomb->isRuntimeActive(), 0);
    step();
    game().setSpirit(2500);
    step({kButton1});
    EXPECT_EQ(bomb->isRuntimeActive(), 1);
    EXPECT_EQ(game().getSpirit(), 1500);
    EXPECT_EQ(player->getInvincibleFrames(), 119);  // the object step counted one
    EXPECT_EQ(g_frameCounter->getMagicFrames(), 0u);
    step();
    step({kButton1});  // within the interval
    EXPECT_EQ(game().getSpirit(), 1500);
}

TEST_F(PlayerStepTest, PlayerSwitchTurnsTheTypeOver) {
    BulletObject* option = top(TopObject::kOption);
    step({kButton2});
    EXPECT_FLOAT_EQ(var("_player_type"), 1.0f);
    EXPECT_EQ(option->isRuntimeActive(), 1);
    step();
    step({kButton2});
    EXPECT_FLOAT_EQ(var("_player_type"), 0.0f);
    game().setPlayerSwitchable(0);
    step();
    step({kButton2});
    EXPECT_FLOAT_EQ(var("_player_type"), 0.0f);
}

// A top object that has gone (vanished by its own script) is kept by the set
// without its scripts: starting it does nothing, and nothing fails.
TEST_F(PlayerStepTest, AVanishedTopObjectIsSkipped) {
    BulletObject* shot = top(TopObject::kShot1);
    shot->setState(1);
    steps(2);
    ASSERT_TRUE(shot->isReleased());
    step({kButton0});
    EXPECT_EQ(player->getFlags() & 2, 2u);
    EXPECT_EQ(shot->getMainRuntime(), nullptr);
}

TEST_F(PlayerStepTest, TheStepNeedsTheDeviceAndTheInputManager) {
    g_dinputObject = nullptr;
    EXPECT_EQ(updatePlayerFrame(), E_FAIL);
    g_dinputObject = input.get();
    EXPECT_EQ(updatePlayerFrame(), S_OK);
}

TEST_F(PlayerStepTest, QueryInputForModeAnswersOnlyInItsState) {
    input->hold({kButton0});
    input->holdLive({});
    input->update();
    EXPECT_EQ(queryInputForMode(0), 1);
    EXPECT_EQ(queryInputForMode(1), 0);
    game().requestPauseToggle();
    game().applyPauseToggle();
    EXPECT_EQ(queryInputForMode(0), 0);
    EXPECT_EQ(queryInputForMode(1), 0);  // the live history
    input->holdLive({kButton0});
    input->update();
    EXPECT_EQ(queryInputForMode(1), 1);
}

}  // namespace

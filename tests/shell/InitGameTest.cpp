// The game initialisation's render targets: the effect target only for the
// system types that use it with the 3-D background drawn, and what its failure
// leaves behind.
#include <gtest/gtest.h>

#include "graphics/D3DObject.h"
#include "graphics/Sprite.h"
#include "input/ReplayManager.h"
#include "network/OnlineReplayFiles.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "objects/DSoundObjectManager.h"
#include "platform/Audio.h"
#include "platform/Glyph.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "records/GameInfo.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/InitGame.h"
#include "shell/MainLoop.h"
#include "shell/ReleaseAll.h"
#include "support/TestSupport.h"

namespace {
// The stand-in window, fonts, graphics and sound of one start-up, registered
// for its life, and a fresh settings record.
struct StartRig {
    LoggedTest test;
    TestWindow window;
    BoxGlyphSystem glyphs;
    RecordingBackend gfx;
    NullAudioBackend audio;

    StartRig() {
        Window::setInstance(&window);
        GlyphSystem::setInstance(&glyphs);
        g_systemInfo = new SystemInfo();
    }
    ~StartRig() {
    }
    // Opens the window and the device, as the program does before InitGame.
    bool open() { return window.create("t", 0, 0, 640, 480, nullptr) && createDirect3DObject() == S_OK; }
};
}  // namespace

TEST(InitGameTargets, EffectTargetOnlyForSystemTypesTwoAndFourWithTheBackground) {
    struct Case {
        std::uint32_t systemType;
        std::uint32_t drawBg;
        bool effectMade;
        bool createFails;
    } cases[] = {
        {2, 1, true, false}, {4, 1, true, false}, {2, 0, false, false}, {4, 0, false, false},
        {0, 1, false, false}, {1, 1, false, false}, {3, 1, false, false}, {2, 1, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "system type " << c.systemType << " drawBg " << c.drawBg << " fails "
                                        << c.createFails);
        StartRig rig;
        g_systemInfo->setSystemType(c.systemType);
        g_systemInfo->setDrawBg(c.drawBg);
        ASSERT_TRUE(rig.open());
        if (c.createFails) rig.gfx.faults.failNext("CreateDepthStencilSurface", D3DERR_OUTOFVIDEOMEMORY);

        // When the effect target cannot be made, start-up goes on without
        // it and says so once.
        EXPECT_EQ(InitGame(640, 480, false, 1, 1), S_OK);
        EXPECT_EQ(rig.test.logContains("エフェクト用レンダリングターゲットを無効にします"), c.createFails);
        EXPECT_EQ(g_systemInfo->isEffectTargetEnabled(), c.createFails ? 0u : 1u);
        ASSERT_NE(g_d3dObject->getRenderTarget(0), nullptr);
        EXPECT_EQ(g_d3dObject->getRenderTarget(0)->getMode(), RenderTarget::kModeBackBuffer);
        RenderTarget* effect = g_d3dObject->getRenderTarget(1);
        ASSERT_EQ(effect != nullptr, c.effectMade);
        if (effect) {
            EXPECT_EQ(effect->getMode(), RenderTarget::kModeEffect);
            EXPECT_EQ(effect->isActive(), 0);
            ASSERT_NE(effect->getSprite(), nullptr);
            EXPECT_EQ(effect->getSprite()->isActive(), 0);
        }
        EXPECT_NE(g_frameCounter, nullptr);
        EXPECT_NE(g_textureManager, nullptr);

        releaseAll();
        EXPECT_EQ(g_textureManager, nullptr);
    }
}

// The sound manager: its channel levels from the settings (music from the
// first word, effects from the second, voice from the third), a fresh
// direct-play track at each game reset, and its release.
TEST(InitGameSound, LevelsFromTheSettingsAndADirectTrackPerReset) {
    StartRig rig;
    g_systemInfo->setVolume0(3);
    g_systemInfo->setVolume1(1);
    g_systemInfo->setVolume2(9);
    ASSERT_TRUE(rig.open());
    ASSERT_EQ(InitGame(640, 480, false, 1, 1), S_OK);
    DSoundObjectManager* sound = g_dsoundObjectManager;
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->getVolumeLevel(kSoundChannelMusic), 3);
    EXPECT_EQ(sound->getChannelVolume(kSoundChannelMusic), -800);
    EXPECT_EQ(sound->getVolumeLevel(kSoundChannelEffects), 1);
    EXPECT_EQ(sound->getChannelVolume(kSoundChannelEffects), -2400);
    EXPECT_EQ(sound->getVolumeLevel(kSoundChannelVoice), 5);
    EXPECT_EQ(sound->getChannelVolume(kSoundChannelVoice), 0);
    EXPECT_TRUE(rig.test.logContains("Primary Stereo supported"));

    for (int reset = 0; reset < 2; ++reset) {
        ASSERT_EQ(resetGame(), S_OK);
        EXPECT_EQ(sound->getTrackCount(), 1u);
        ASSERT_NE(sound->getDirectTrack(0), nullptr);
        EXPECT_EQ(sound->getDirectTrack(0)->getBufferBytes(), 882000u);
    }
    EXPECT_EQ(frameStep(), 0);

    releaseAll();
    EXPECT_EQ(g_dsoundObjectManager, nullptr);
    EXPECT_EQ(rig.audio.device(), nullptr);
}

// The replay manager made at start-up serves the ranking client's replay files
// until it is released, and a replay stage starts the script random generator
// from its first number again.
TEST(InitGameReplays, ReplayFilesForTheRankingClientAndTheReseedAtAReplayStart) {
    StartRig rig;
    ASSERT_TRUE(rig.open());
    ASSERT_EQ(InitGame(640, 480, false, 1, 1), S_OK);
    ASSERT_NE(g_replayManager, nullptr);
    EXPECT_EQ(onlineReplayFiles(), static_cast<OnlineReplayFiles*>(g_replayManager));

    ExBulletML_Runtime::reseed();
    const std::uint32_t first = ExBulletML_Runtime::nextRandom();
    for (int i = 0; i < 5; ++i) ExBulletML_Runtime::nextRandom();
    g_replayManager->startReplayCommand();
    EXPECT_EQ(ExBulletML_Runtime::nextRandom(), first);

    releaseAll();
    EXPECT_EQ(onlineReplayFiles(), nullptr);
}

// A lost device (Present answers D3DERR_DEVICELOST) pauses the game through
// the pause object, when pausing is allowed, the game runs and escape does
// not cancel; the device itself is reset only on the next focus event.
TEST(InitGameLostDevice, APresentThatLosesTheDevicePausesTheGame) {
    struct Case {
        std::int32_t allowed, paused, escToCancel;
        bool pauses;
    } cases[] = {{1, 0, 0, true}, {0, 0, 0, false}, {1, 1, 0, false}, {1, 0, 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.allowed << c.paused << c.escToCancel);
        StartRig rig;
        ASSERT_TRUE(rig.open());
        ASSERT_EQ(InitGame(640, 480, false, 1, 1), S_OK);
        g_gameInfo = new GameInfo();
        g_gameInfo->setPauseAllowed(c.allowed);
        g_gameInfo->setEscToCancel(c.escToCancel);
        if (c.paused) {
            g_gameInfo->requestPauseToggle();
            g_gameInfo->applyPauseToggle();
        }
        BulletObject* pause = g_bulletObjectManager->createPauseObject();
        ASSERT_NE(pause, nullptr);
        g_bulletObjectManager->setPauseTop(pause);
        pause->setRuntimeActive(0);

        EXPECT_EQ(frameStep(), 0);
        EXPECT_EQ(g_gameInfo->isPauseToggleRequested(), 0);
        rig.gfx.loseDevice();
        EXPECT_EQ(frameStep(), 0);
        EXPECT_EQ(g_gameInfo->isPauseToggleRequested() != 0, c.pauses);
        EXPECT_EQ(pause->isRuntimeActive() != 0, c.pauses);
        EXPECT_TRUE(rig.gfx.callsOf("Reset").empty());

        releaseAll();
    }
}

// The frame step's own state and the game reset's play flags.
#include <gtest/gtest.h>

#include <cfenv>

#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "records/GameInfo.h"
#include "services/Managers.h"
#include "shell/MainLoop.h"
#include "support/TestSupport.h"

TEST(GameReset, PlayFlagsOfTheGameRecordsStartAfresh) {
    TempRoot root;
    g_gameInfo = new GameInfo();
    GameInfo& game = *g_gameInfo;
    // A scene left behind: a texture clearing asked for, paused with pausing
    // forbidden, escape cancelling, game over, a text block open, the player
    // fixed, and frames counted.
    game.setClearTextureRequest(1);
    game.requestPauseToggle();
    game.applyPauseToggle();
    game.setPauseAllowed(0);
    game.setReconfigCount(2);
    game.setEscToCancel(1);
    game.setGameOver(1);
    game.setTextBlockActive(1);
    game.setPlayerSwitchable(0);
    game.setPlayerMoveEnabled(1);
    game.countDroppedFrame();
    ASSERT_EQ(game.isPaused(), 1);
    ASSERT_EQ(game.getPlayFrameCount(), 1);

    EXPECT_EQ(resetGame(), S_OK);
    EXPECT_EQ(game.isClearTextureRequested(), 0);
    EXPECT_EQ(game.isPauseAllowed(), 1);
    // Leaving the pause is requested, not forced.
    EXPECT_EQ(game.isPauseToggleRequested(), 1);
    EXPECT_EQ(game.getReconfigCount(), 1);
    EXPECT_EQ(game.isEscToCancel(), 0);
    EXPECT_EQ(game.isGameOver(), 0);
    EXPECT_EQ(game.isTextBlockActive(), 0);
    EXPECT_EQ(game.isPlayerSwitchable(), 1);
    EXPECT_EQ(game.getPlayFrameCount(), 0);

    delete g_gameInfo;
    g_gameInfo = nullptr;
}

TEST(GameReset, TexturesAreLetGoAndTheirIdsRestart) {
    TempRoot root;
    g_textureManager = new TextureManager();
    TextureManager& textures = *g_textureManager;
    auto held = textures.createNamed(internName("held.bmp"));
    textures.create();
    textures.setFlags(internName("held.bmp"), 2);
    textures.queueRemove(2);
    EXPECT_EQ(resetGame(), S_OK);
    EXPECT_EQ(textures.size(), 0u);
    EXPECT_EQ(textures.findCachedByName("held.bmp"), nullptr);
    EXPECT_EQ(textures.queuedRemovals(), 0u);
    // Ids start again from 1; the texture a user still holds lives on.
    EXPECT_EQ(textures.create()->getTag(), 1u);
    EXPECT_EQ(held.use_count(), 1);
    delete g_textureManager;
    g_textureManager = nullptr;
}

TEST(GameReset, SpriteManagersAndTheirSpritesGoFirst) {
    TempRoot root;
    SpriteAllocator::instance().fill();
    g_textureManager = new TextureManager();
    g_spriteManagerManager = new SpriteManagerManager();
    auto manager = g_spriteManagerManager->findOrCreate("a.bmp");
    ASSERT_NE(manager->createSprite(0, 0, 8, 8, 0, 0, 1, 1), nullptr);
    EXPECT_EQ(SpriteAllocator::instance().handedOut(), 1u);
    manager.reset();
    EXPECT_EQ(resetGame(), S_OK);
    EXPECT_EQ(g_spriteManagerManager->size(), 0u);
    EXPECT_EQ(g_spriteManagerManager->findByTexture(internName("a.bmp")), nullptr);
    EXPECT_EQ(SpriteAllocator::instance().handedOut(), 0u);
    // The texture its manager held is let go with the others.
    EXPECT_EQ(g_textureManager->size(), 0u);
    delete g_spriteManagerManager;
    g_spriteManagerManager = nullptr;
    delete g_textureManager;
    g_textureManager = nullptr;
    SpriteAllocator::instance().freeBlocks();
}

TEST(GameReset, MeshesAndParticlesAllGo) {
    TempRoot root;
    g_particleManager = new ParticleManager();
    g_particleManager->init();
    g_particleManager->emit(0, 0, 0);
    g_meshManager = new MeshManager();
    g_meshManager->createNamed(internName("a.x"));
    g_meshManager->createNamed(internName("b.x"));
    EXPECT_EQ(resetGame(), S_OK);
    EXPECT_EQ(g_meshManager->size(), 0u);
    EXPECT_EQ(g_meshManager->findCachedByName("a.x"), nullptr);
    EXPECT_EQ(g_particleManager->liveCount(), 0u);
    delete g_meshManager;
    g_meshManager = nullptr;
    delete g_particleManager;
    g_particleManager = nullptr;
}

TEST(FrameStep, StartsFromTheFloatingPointDefaults) {
    for (int rounding : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(rounding);
        std::feraiseexcept(FE_INEXACT | FE_DIVBYZERO);
        EXPECT_EQ(frameStep(), 0);
        EXPECT_EQ(std::fegetround(), FE_TONEAREST) << rounding;
        EXPECT_EQ(std::fetestexcept(FE_INEXACT | FE_DIVBYZERO), 0) << rounding;
    }
}

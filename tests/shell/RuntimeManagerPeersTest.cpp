// The script runtime's peers in the running program: without a manager every
// question gives the absent answer and every call reports the manager
// missing; with the managers, the answers and calls are theirs.
#include <gtest/gtest.h>

#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "input/DInputObject.h"
#include "network/NetworkManager.h"
#include "objects/DSoundObjectManager.h"
#include "runtime/RuntimePeers.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "support/TestSupport.h"

namespace {

// An input object whose button histories the test sets (bit 0 this frame).
class HistoryInput : public DInputObject {
public:
    std::int32_t history = 0;
    std::int32_t getButton(std::int32_t button) override { return button == 101 ? history : 0; }
};

TEST(RuntimeManagerPeers, WithoutManagersEveryAnswerIsTheAbsentOne) {
    RuntimePeers& peers = RuntimePeers::managers();
    EXPECT_EQ(peers.volumeLevel(1), 0);
    EXPECT_EQ(peers.keyAssign(3), 0);
    EXPECT_FALSE(peers.inputExists());
    EXPECT_EQ(peers.keyState(100), 0);
    EXPECT_FALSE(peers.networkConnected());
    EXPECT_FALSE(peers.networkBusy());
    EXPECT_FALSE(peers.networkOffline());
    EXPECT_FALSE(peers.networkExists());
    EXPECT_FALSE(peers.soundPauseAll());
    EXPECT_FALSE(peers.inputClearKeyState());
    EXPECT_FALSE(peers.texturePurgeMarked());
    EXPECT_FALSE(peers.spritePurgeMarked());
    EXPECT_FALSE(peers.meshClearAll());
    std::int32_t inForce = -1;
    EXPECT_FALSE(peers.soundSetVolumeLevel(9, 1, inForce));
    EXPECT_EQ(inForce, 5);
}

TEST(RuntimeManagerPeers, LevelsKeysAndNetworkStateComeFromTheManagers) {
    RuntimePeers& peers = RuntimePeers::managers();
    DSoundObjectManager sound;
    HistoryInput input;
    NetworkManager network(nullptr, 0);
    g_dsoundObjectManager = &sound;
    g_dinputObject = &input;
    g_networkManager = &network;

    std::int32_t inForce = -1;
    EXPECT_TRUE(peers.soundSetVolumeLevel(-2, 0, inForce));
    EXPECT_EQ(inForce, 0);
    EXPECT_TRUE(peers.soundSetVolumeLevel(3, 2, inForce));
    EXPECT_EQ(peers.volumeLevel(0), 0);
    EXPECT_EQ(peers.volumeLevel(1), 5);  // the level a new manager starts at
    EXPECT_EQ(peers.volumeLevel(2), 3);
    EXPECT_TRUE(peers.soundPauseAll());

    input.setKeyAssign(3, 9);
    EXPECT_EQ(peers.keyAssign(3), 9);
    EXPECT_EQ(peers.keyAssign(4), 4);
    EXPECT_TRUE(peers.inputExists());
    // Held means held on this frame, not earlier in the history.
    input.history = 0b10;
    EXPECT_EQ(peers.keyState(101), 0);
    input.history = 0b11;
    EXPECT_EQ(peers.keyState(101), 1);
    EXPECT_EQ(peers.keyState(100), 0);
    EXPECT_TRUE(peers.inputClearKeyState());

    // A manager without a connection is neither connected, busy nor offline.
    EXPECT_TRUE(peers.networkExists());
    EXPECT_FALSE(peers.networkConnected());
    EXPECT_FALSE(peers.networkBusy());
    EXPECT_FALSE(peers.networkOffline());

    g_networkManager = nullptr;
    g_dinputObject = nullptr;
    g_dsoundObjectManager = nullptr;
}

// "cleartemptexture": the sprite managers of marked textures go first, then
// the marked textures.
TEST(RuntimeManagerPeers, TheSpritePurgeDropsTheManagersOfMarkedTextures) {
    TempRoot root;
    SpriteAllocator::instance().fill();
    g_textureManager = new TextureManager();
    g_spriteManagerManager = new SpriteManagerManager();
    g_spriteManagerManager->findOrCreate("kept.bmp");
    g_spriteManagerManager->findOrCreate("temp.bmp");
    g_textureManager->setFlags(internName("temp.bmp"), 1);

    RuntimePeers& peers = RuntimePeers::managers();
    EXPECT_TRUE(peers.spritePurgeMarked());
    EXPECT_NE(g_spriteManagerManager->findByTexture(internName("kept.bmp")), nullptr);
    EXPECT_EQ(g_spriteManagerManager->findByTexture(internName("temp.bmp")), nullptr);
    EXPECT_TRUE(peers.texturePurgeMarked());
    EXPECT_FALSE(peers.meshClearAll());  // no mesh manager was made here

    delete g_spriteManagerManager;
    g_spriteManagerManager = nullptr;
    delete g_textureManager;
    g_textureManager = nullptr;
    SpriteAllocator::instance().freeBlocks();
}

}  // namespace

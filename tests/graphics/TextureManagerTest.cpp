// The texture manager: one load per name, failed loads, purging by flag
// word, removal after Present.
#include <gtest/gtest.h>

#include "graphics/PresentFrame.h"
#include "graphics/TextureManager.h"
#include "graphics/TextureTestSupport.h"

namespace {
class TextureManagerTest : public TextureTest {
protected:
    TextureManagerTest() { g_textureManager = &manager; }
    ~TextureManagerTest() override { g_textureManager = nullptr; }
    TextureManager manager;
};
}  // namespace

TEST_F(TextureManagerTest, ANameIsLoadedOnceAndShared) {
    pack({{"a.bmp", files::bmp(2, 2, Pixels(4, 0xFF112233), 24)}});
    auto first = manager.loadTexture("a.bmp");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(manager.getOrLoad("a.bmp"), first);
    EXPECT_EQ(manager.loadTextureEx("a.bmp", D3DX_FILTER_POINT, 1), first);
    EXPECT_EQ(gfx.callsOf("CreateTexture").size(), 1u);
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(first->getTag(), 1u);
    EXPECT_EQ(manager.findCachedByName("a.bmp"), first);
}

TEST_F(TextureManagerTest, AFailedLoadGivesEmptyEveryTimeWithOneLoadAndOneLog) {
    pack({{"bad.png", FileBytes(64, 0x11)}});
    EXPECT_EQ(manager.loadTexture("bad.png"), nullptr);
    EXPECT_EQ(manager.loadTexture("bad.png"), nullptr);
    EXPECT_EQ(manager.loadTextureEx("bad.png", D3DX_FILTER_POINT, 1), nullptr);
    const std::vector<std::string> lines = linesFrom("bad.png 64");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], ".\\Src\\Texture:65  Arg:bad.png  FAILED");
    EXPECT_EQ(lines[2], "D3DXERR_INVALIDDATA");
    EXPECT_EQ(lines[3], ".\\Src\\TextureManager:36  FAILED");
    EXPECT_EQ(lines[4], "D3DXERR_INVALIDDATA");
    // Registered and cached picture-less: no second load.
    EXPECT_EQ(manager.size(), 1u);
}

TEST_F(TextureManagerTest, PurgeFlaggedErasesTheWordsWithBit2) {
    pack({{"keep.bmp", files::bmp(1, 1, {0}, 24)}, {"go.bmp", files::bmp(1, 1, {0}, 24)}});
    manager.setFlags(internName("keep.bmp"), 0);
    manager.setFlags(internName("go.bmp"), 3);
    auto keep = manager.loadTexture("keep.bmp");
    auto go = manager.loadTexture("go.bmp");
    manager.purgeMarked();
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(manager.findById(keep->getTag()), keep);
    EXPECT_EQ(manager.findById(go->getTag()), nullptr);
    EXPECT_EQ(manager.findCachedByName("go.bmp"), nullptr);
    EXPECT_EQ(manager.findCachedByName("keep.bmp"), keep);
    // Still held by its user.
    EXPECT_NE(go->getD3DTexture(), nullptr);
    // Reading an absent name's word inserts 0.
    EXPECT_EQ(manager.getFlags(internName("never.bmp")), 0u);
}

TEST_F(TextureManagerTest, ARetiredTextureLeavesAtPresent) {
    auto text = manager.createNamed(internName("text"));
    auto other = manager.create();
    EXPECT_EQ(manager.size(), 2u);
    text->setState(1);
    EXPECT_EQ(presentFrame(), D3D_OK);
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(manager.findById(other->getTag()), other);
    // Its cache entry stays until the cache is emptied.
    EXPECT_EQ(manager.findCachedByName("text"), text);
}

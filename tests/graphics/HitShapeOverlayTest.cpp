// Hit-shape overlays through the sprite managers: with "collisiondisplay" on,
// setting a shape makes a translucent red sprite of the shape's image and
// size in layer 23; setting it again or revenge mode lets it go; a missing
// image makes none.
#include <gtest/gtest.h>

#include <memory>

#include "graphics/Sprite.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "graphics/TextureTestSupport.h"
#include "objects/GameObject.h"
#include "services/SystemInfo.h"

namespace {
class HitShapeOverlayTest : public TextureTest {
protected:
    HitShapeOverlayTest() {
        SpriteAllocator::instance().fill();
        g_textureManager = &textures;
        // No "halfrect.dds": the "syncedge" overlay has no image.
        pack({{"circle.bmp", files::bmp(8, 8, Pixels(64, 0xFFFFFFFF), 32)},
              {"rectwhite.bmp", files::bmp(8, 8, Pixels(64, 0xFFFFFFFF), 32)}});
        sprites = std::make_unique<SpriteManagerManager>();
        g_spriteManagerManager = sprites.get();
        g_systemInfo = new SystemInfo();  // the fixture deletes it
        g_systemInfo->setCollisionDisplay(1);
    }
    ~HitShapeOverlayTest() override {
        sprites.reset();
        g_spriteManagerManager = nullptr;
        g_textureManager = nullptr;
        SpriteAllocator::instance().freeBlocks();
    }
    TextureManager textures;
    std::unique_ptr<SpriteManagerManager> sprites;
};
}  // namespace

TEST_F(HitShapeOverlayTest, OverlaysFollowTheShapes) {
    auto object = std::make_unique<GameObject>();
    Sprite* image = sprites->createSpriteIn(0, 0, 8, 8, 0, 0, 1, 1, "circle.bmp");
    ASSERT_NE(image, nullptr);
    image->setAngle(1026, 30.0f);
    object->setImage(image);

    object->setHitShape(kShapeCircle, 0, 0, 7, 0);
    Sprite* circle = object->getShape1Image();
    ASSERT_NE(circle, nullptr);
    EXPECT_FLOAT_EQ(circle->getWidth(), 16.0f);
    EXPECT_FLOAT_EQ(circle->getHeight(), 16.0f);
    EXPECT_EQ(circle->getLayer(), 23);
    EXPECT_EQ(circle->getBlend(), 3);
    EXPECT_EQ(circle->getPackedColor(), 0x80ff0000u);

    object->setHitShape(kShapeRotated, -2, -3, 4, 5);
    EXPECT_EQ(circle->getState(), 1u);  // the old overlay goes
    Sprite* rotated = object->getShape1Image();
    ASSERT_NE(rotated, nullptr);
    EXPECT_FLOAT_EQ(rotated->getWidth(), 6.0f);
    EXPECT_FLOAT_EQ(rotated->getHeight(), 8.0f);
    EXPECT_EQ(rotated->getRotationMode(), 1029u);
    EXPECT_FLOAT_EQ(rotated->getAngle(), 30.0f);

    // A missing image: the shape is set, without an overlay.
    object->setBuzzShape(kShapeRotatedEdge, -5, -5, 5, 15);
    EXPECT_EQ(object->getShape2Image(), nullptr);
    EXPECT_FLOAT_EQ(object->getHitShape2().angle, 30.0f);
    EXPECT_EQ(object->getHitShape2Type(), kShapeRotatedEdge);

    object->setFlags(0x100);  // revenge mode lets the overlay go
    EXPECT_EQ(rotated->getState(), 1u);
    EXPECT_EQ(object->getShape1Image(), nullptr);
}

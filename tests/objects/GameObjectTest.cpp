#include <gtest/gtest.h>

#include "objects/ObjectFixture.h"

namespace {
class GameObjectTest : public ObjectTest {};

// Axis and action of one edge case: which setter, where the bounds are, the
// action byte, the velocity on that axis, where the object is put, and what
// follows.
struct EdgeCase {
    const char* name;
    int axis;          // 0 horizontal, 1 vertical
    int side;          // 0 right/bottom, 1 left/top
    int action;
    float velocity;
    float to;          // corner coordinate asked for
    float expected;    // corner coordinate afterwards
    std::uint32_t state;
    std::int32_t active;
    std::uint8_t events;
};
}  // namespace

// Every action at every edge: the bounds are the field (0..640, 0..480) by
// margins of 0, so "at or past" starts at the field's limits.
TEST_F(GameObjectTest, EdgeActionsPerSide) {
    const EdgeCase cases[] = {
        {"right wrap", 0, 0, 1, 1.0f, 650.0f, 0.0f, 0, 1, 0},
        {"left wrap", 0, 1, 1, -1.0f, -5.0f, 640.0f, 0, 1, 0},
        {"bottom wrap", 1, 0, 1, 1.0f, 480.0f, 0.0f, 0, 1, 0},
        {"top wrap", 1, 1, 1, -1.0f, 0.0f, 480.0f, 0, 1, 0},
        {"right vanish", 0, 0, 2, 1.0f, 640.0f, 640.0f, 1, 0, 0},
        {"top vanish", 1, 1, 2, -1.0f, -1.0f, -1.0f, 1, 0, 0},
        {"right clamp 3", 0, 0, 3, 1.0f, 700.0f, 640.0f, 0, 1, 0},
        {"left clamp 0", 0, 1, 0, -1.0f, -700.0f, 0.0f, 0, 1, 0},
        {"bottom clamp 9", 1, 0, 9, 1.0f, 481.0f, 480.0f, 0, 1, 0},
        {"left hide", 0, 1, 4, -1.0f, -3.0f, 0.0f, 0, 0, 0},
        {"bottom hide", 1, 0, 4, 1.0f, 500.0f, 480.0f, 0, 0, 0},
        {"right reflect", 0, 0, 5, 2.0f, 645.0f, 640.0f, 0, 1, 1},
        {"left reflect", 0, 1, 5, -2.0f, -1.0f, 0.0f, 0, 1, 2},
        {"bottom reflect", 1, 0, 5, 2.0f, 490.0f, 480.0f, 0, 1, 4},
        {"top reflect", 1, 1, 5, -2.0f, -9.0f, 0.0f, 0, 1, 8},
        // Moving away from the edge: not reflected, stays where it was put.
        {"right reflect moving left", 0, 0, 5, -2.0f, 645.0f, 645.0f, 0, 1, 0},
        {"top reflect moving down", 1, 1, 5, 2.0f, -9.0f, -9.0f, 0, 1, 0},
        // Inside the bounds nothing happens.
        {"inside", 0, 0, 2, 1.0f, 639.5f, 639.5f, 0, 1, 0},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        BulletObject* object = manager().createPlainObject();
        ASSERT_NE(object, nullptr);
        object->setActive(1);
        object->setEdgeBoundsMax(0.0f, 0.0f);
        object->setEdgeBoundsMin(0.0f, 0.0f);
        object->setEdgeAction(c.axis, c.side, c.action);
        if (c.axis == 0) {
            object->setVelocityX(c.velocity);
            object->setLeft(c.to);
            EXPECT_EQ(object->getLeft(), c.expected);
            // The centre moves by the same amount as the corner.
            EXPECT_EQ(object->getX(), c.expected);
        } else {
            object->setVelocityY(c.velocity);
            object->setTop(c.to);
            EXPECT_EQ(object->getTop(), c.expected);
            EXPECT_EQ(object->getY(), c.expected);
        }
        EXPECT_EQ(object->getState(), c.state);
        EXPECT_EQ(object->isActive(), c.active);
        EXPECT_EQ(object->getEdgeEvents(), c.events);
        object->setState(1);
        manager().getPlainObjectManager()->removeDead();
    }
}

// The centre follows the corner by the corner's own displacement, not from
// the width; the main image goes to the corner in device pixels and the
// shape images after the centre.
TEST_F(GameObjectTest, ImagesFollowTheCorner) {
    BulletObject* object = manager().createPlainObject();
    Sprite* image = sprite(20.0f, 10.0f);
    Sprite* shape1 = sprite();
    Sprite* shape2 = sprite();
    object->setX(100.0f);
    object->setY(50.0f);
    object->setImage(image);
    EXPECT_EQ(object->getWidth(), 20.0f);
    EXPECT_EQ(object->getLeft(), 90.0f);
    EXPECT_EQ(object->getTop(), 45.0f);
    object->setShapeImages(shape1, shape2);
    object->setLeft(95.5f);
    object->setTop(40.0f);
    EXPECT_EQ(object->getX(), 105.5f);
    EXPECT_EQ(object->getY(), 45.0f);
    EXPECT_EQ(image->getX(), 95.5f);
    EXPECT_EQ(image->getY(), 40.0f);
    // Shape 1 is the default circle of radius 16; shape 2 a zero circle.
    EXPECT_EQ(shape1->getX(), 105.5f - 16.0f);
    EXPECT_EQ(shape1->getY(), 45.0f - 16.0f);
    EXPECT_EQ(shape2->getX(), 105.5f);

    // A size change of the image does not move the centre at the next move:
    // the centre follows the corner's delta only.
    image->setSize(40.0f, 10.0f);
    object->moveX(1.0f);
    EXPECT_EQ(object->getX(), 106.5f);

    // Centre placement has no edge rules, but the images go along.
    object->setX(200.0f);
    object->setY(100.0f);
    EXPECT_EQ(image->getX(), 190.0f);
    EXPECT_EQ(image->getY(), 95.0f);
    EXPECT_EQ(shape1->getX(), 200.0f - 16.0f);
    EXPECT_EQ(shape1->getY(), 100.0f - 16.0f);
    EXPECT_EQ(shape2->getX(), 200.0f);
    EXPECT_EQ(shape2->getY(), 100.0f);
}

// An object without an image keeps the far default bounds: it vanishes only
// at 2000 or -2000, and image operations do nothing.
TEST_F(GameObjectTest, ImagelessObjectVanishesAtTwoThousand) {
    BulletObject* object = manager().createPlainObject();
    object->setLeft(1999.0f);
    object->setTop(-1999.0f);
    EXPECT_EQ(object->getState(), 0u);
    object->setLeft(2000.0f);
    EXPECT_EQ(object->getState(), 1u);

    BulletObject* other = manager().createPlainObject();
    other->setTop(-2000.0f);
    EXPECT_EQ(other->getState(), 1u);

    BulletObject* still = manager().createPlainObject();
    EXPECT_EQ(still->setImage(nullptr), nullptr);
    still->updateSizeFromImage();
    still->changeImageColor(0x80FF0000u, 4);
    still->setDrawLevel(3);
    EXPECT_EQ(still->getWidth(), 0.0f);
}

// Reflections count down; at the third contact the edge becomes a vanishing
// edge at the field limit and the object leaves.
TEST_F(GameObjectTest, ReflectCountTwoThenVanishes) {
    BulletObject* object = manager().createBullet();
    object->setImage(sprite(16.0f, 16.0f));
    object->setEdgeMode(3);  // bounds stay as set below
    object->setEdgeBoundsMax(-16.0f, -16.0f);
    object->setEdgeBoundsMin(0.0f, 0.0f);
    object->setAllEdgeActions(5);
    object->setReflectCount(2);
    object->setX(600.0f);
    object->setY(240.0f);
    object->setSpeed(10.0f);
    object->setDirection(90.0f);
    int reflections = 0;
    int frame = 0;
    while (object->getState() == 0 && frame < 400) {
        object->update();
        if (object->getEdgeEvents() & 3) ++reflections;
        ++frame;
    }
    EXPECT_EQ(reflections, 2);
    EXPECT_EQ(object->getState(), 1u);
    EXPECT_EQ(object->getReflectCount(), 0);
    // Right, left, then the right edge again, now at the field's limit.
    EXPECT_EQ(object->getEdgeAction(0), 2);
    EXPECT_EQ(object->getRightBound(), 640.0f);
    EXPECT_GE(object->getLeft(), 640.0f);
}

TEST_F(GameObjectTest, EdgeActionAxisAndSideOutOfRangeLogTheirLine) {
    BulletObject* object = manager().createPlainObject();
    object->setEdgeAction(2, 0, 1);
    object->setEdgeAction(0, -1, 1);
    object->setEdgeAction(1, 1, 300);  // stored as its byte, 44: clamps
    for (int i = 0; i < 3; ++i) EXPECT_EQ(object->getEdgeAction(i), 2);
    EXPECT_EQ(object->getEdgeAction(3), 44);
    const std::vector<std::string> lines = log.logLines();
    const std::vector<std::string> expected = {".\\Src\\GameObject:689  FAILED", "E_FAIL",
                                               ".\\Src\\GameObject:698  FAILED", "E_FAIL"};
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), expected);
}

// Revenge mode is refused while the object is flagged for item conversion;
// when granted it releases the shape-1 image. Levels never go negative.
TEST_F(GameObjectTest, FlagRulesAndDrawLevels) {
    BulletObject* object = manager().createPlainObject();
    Sprite* image = sprite();
    Sprite* shape1 = sprite();
    Sprite* shape2 = sprite();
    object->setImage(image);
    object->setShapeImages(shape1, shape2);

    object->setFlags(0x20000);
    object->setFlags(0x100);
    EXPECT_EQ(object->getFlags(), 0x20000u);
    object->addFlags(0x101);
    EXPECT_EQ(object->getFlags(), 0x20000u);
    object->clearFlags(0x4);
    EXPECT_EQ(object->getFlags(), 0x20000u);
    object->clearFlags(0x20000);
    EXPECT_EQ(shape1->getState(), 0u);
    object->addFlags(0x100);
    EXPECT_EQ(object->getFlags(), 0x100u);
    EXPECT_EQ(shape1->getState(), 1u);
    EXPECT_EQ(object->getShape1Image(), nullptr);

    EXPECT_EQ(object->setDrawLevel(-3), 0);
    EXPECT_EQ(image->getLayer(), 0);
    EXPECT_EQ(shape2->getLayer(), 2);
    object->setShapeImages(shape1 = sprite(), shape2);
    object->setDrawLevel(7);
    EXPECT_EQ(image->getLayer(), 7);
    EXPECT_EQ(shape1->getLayer(), 8);
    EXPECT_EQ(shape2->getLayer(), 9);

    // State and activity reach the images; a non-zero state also deactivates.
    object->setActive(1);
    EXPECT_EQ(image->isActive(), 1);
    object->setState(2);
    EXPECT_EQ(image->getState(), 2u);
    EXPECT_EQ(image->isActive(), 0);
    object->setAttributeBits(0x1FF);
    EXPECT_EQ(object->getAttributeBits(), 0xFF);
}

// copyFrom: geometry, looks and bounds; not the radius squared, the angles,
// the flags, the edge events or mode; active and state cleared.
TEST_F(GameObjectTest, CopyFromTakesGeometryAndLooks) {
    BulletObject* from = manager().createPlainObject();
    from->setImage(sprite(30.0f, 10.0f));
    from->setX(200.0f);
    from->setY(100.0f);
    from->setVelocityX(3.0f);
    from->setAccelY(0.5f);
    from->setEdgeBoundsMax(7.0f, 8.0f);
    from->setAllEdgeActions(4);
    from->setKind(3);
    from->setDrawLevel(5);
    from->setFlags(0x10);
    from->setEdgeMode(2);
    from->setActive(1);

    BulletObject* to = manager().createPlainObject();
    to->setActive(1);
    to->copyFrom(*from);
    EXPECT_EQ(to->getX(), 200.0f);
    EXPECT_EQ(to->getLeft(), 185.0f);
    EXPECT_EQ(to->getTop(), 95.0f);
    EXPECT_EQ(to->getVelocityX(), 3.0f);
    EXPECT_EQ(to->getAccelY(), 0.5f);
    EXPECT_EQ(to->getRightBound(), 647.0f);
    EXPECT_EQ(to->getEdgeAction(2), 4);
    EXPECT_EQ(to->getKind(), 3);
    EXPECT_EQ(to->getDrawLevel(), 5);
    EXPECT_EQ(to->getFlags(), 0u);
    EXPECT_EQ(to->getEdgeMode(), 0);
    EXPECT_EQ(to->isActive(), 0);
    EXPECT_EQ(to->getImage(), nullptr);
    // The radius squared stays the copy's own (the default 256).
    EXPECT_EQ(to->getHitShape1().radiusSquared, 256.0f);
}

// Images are placed in device pixels and sized from them: with a virtual
// screen half the device's size every image coordinate doubles.
TEST_F(GameObjectTest, ImagesUseDeviceUnits) {
    d3d->setVirtualScreenSize(320, 240);
    BulletObject* object = manager().createPlainObject();
    Sprite* image = sprite(32.0f, 16.0f);
    object->setImage(image);
    EXPECT_EQ(object->getWidth(), 16.0f);
    EXPECT_EQ(object->getHeight(), 8.0f);
    object->setLeft(10.5f);
    object->setTop(-3.0f);
    EXPECT_EQ(image->getX(), 21.0f);
    EXPECT_EQ(image->getY(), -6.0f);
    d3d->setVirtualScreenSize(640, 480);
}

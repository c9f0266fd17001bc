#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "objects/HitShape.h"
#include "objects/HitShapeOverlay.h"
#include "objects/ObjectFixture.h"
#include "services/SystemInfo.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// One side of an overlap case: type, the four script values, the object's
// centre and (rotated kinds) the angle.
struct Side {
    std::int32_t type;
    float p1, p2, p3, p4;
    float x, y;
    float angle = 0.0f;
    std::int32_t valuesFrom = 0;  // a known code to take the values from
};

struct OverlapCase {
    const char* name;
    Side a;
    Side b;
    std::int32_t stage;
    std::int32_t expected;
    bool symmetric;  // the swapped call gives the same answer
};

struct Made {
    HitShape shape;
    hit_shape::Placed placed;
};

Made make(const Side& side) {
    Made made{};
    hit_shape::assign(made.shape, side.valuesFrom ? side.valuesFrom : side.type, side.p1, side.p2, side.p3, side.p4,
                      false, 0.0f);
    made.shape.angle = side.angle;
    made.placed = {side.type, &made.shape, side.x, side.y};
    return made;
}

std::int32_t overlap(const Side& a, const Side& b, std::int32_t stage) {
    Made ma = make(a);
    Made mb = make(b);
    ma.placed.shape = &ma.shape;
    mb.placed.shape = &mb.shape;
    return hit_shape::overlap(ma.placed, mb.placed, stage);
}

constexpr std::int32_t C = kShapeCircle;
constexpr std::int32_t R = kShapeRect;
constexpr std::int32_t S = kShapeRotated;
constexpr std::int32_t E = kShapeRotatedEdge;

// A 10 x 10 square around its centre.
Side square(float x, float y) { return {R, -5, -5, 5, 5, x, y}; }
// A thin bar, 1 wide and `length` long, turned by `angle`.
Side bar(std::int32_t type, float x, float y, float length, float angle) {
    return {type, -0.5f, -length / 2, 0.5f, length / 2, x, y, angle};
}

const OverlapCase kCases[] = {
    // Test 1: strict.
    {"touching circles miss", {C, 0, 0, 5, 0, 0, 0}, {C, 0, 0, 5, 0, 10, 0}, 0, 0, true},
    {"overlapping circles", {C, 0, 0, 5, 0, 0, 0}, {C, 0, 0, 5, 0, 9.9f, 0}, 0, 1, true},
    {"offsets move the hit centres", {C, 10, 0, 5, 0, 0, 0}, {C, 0, 0, 5, 0, 19, 0}, 0, 1, true},
    {"radius 0 never hits", {C, 0, 0, 0, 0, 0, 0}, {C, 0, 0, 5, 0, 0, 0}, 0, 0, true},
    {"negative radius never hits", {C, 0, 0, -5, 0, 0, 0}, {C, 0, 0, 5, 0, 1, 0}, 0, 0, true},
    {"NaN radius never hits", {C, 0, 0, kNaN, 0, 0, 0}, {C, 0, 0, 5, 0, 0, 0}, 0, 0, true},
    {"NaN centre never hits", {C, 0, 0, 5, 0, kNaN, 0}, {R, -5, -5, 5, 5, 0, 0}, 0, 0, true},
    // Test 2: l = 0 is in the column, rt = 0 is not (and the corner needs
    // to be strictly inside).
    {"circle on the left edge", {C, 0, 0, 2, 0, 10, 12}, {R, 10, 0, 20, 10, 0, 0}, 0, 1, true},
    {"circle on the right edge", {C, 0, 0, 2, 0, 20, 12}, {R, 10, 0, 20, 10, 0, 0}, 0, 0, true},
    {"corner strictly inside", {C, 0, 0, 2.01f, 0, 20, 12}, {R, 10, 0, 20, 10, 0, 0}, 0, 1, true},
    {"circle larger than the rectangle", {C, 0, 0, 50, 0, 3, 3}, {R, -1, -1, 1, 1, 0, 0}, 0, 1, true},
    {"rectangle around the centre, not the offset", {C, 0, 0, 2, 0, 0, 0}, {R, 10, 10, 20, 20, 0, 0}, 0, 0, true},
    {"row test", {C, 0, 0, 3, 0, 8, 5}, {R, 10, 0, 20, 10, 0, 0}, 0, 1, true},
    // Test 3: "syncedge" spans from its hit centre down; "sync" uses its top.
    {"syncedge ignores its top", {C, 0, 0, 2, 0, 0, -60}, {E, -5, -100, 5, 20, 0, 0}, 0, 0, true},
    {"sync uses its top", {C, 0, 0, 2, 0, 0, -60}, {S, -5, -100, 5, 20, 0, 0}, 0, 1, true},
    // Stage 9 turns the circle's offset with it; otherwise it is added after.
    {"offset added unturned", {C, 10, 0, 2, 0, 0, 0}, {S, -3, -20, 3, 20, 0, 0, 90}, 0, 0, true},
    {"offset turned at stage 9", {C, 10, 0, 2, 0, 0, 0}, {S, -3, -20, 3, 20, 0, 0, 90}, 9, 1, true},
    {"no offset: the stages agree", {C, 0, 0, 2, 0, 0, -10}, {S, -3, -20, 3, 20, 0, 0, 90}, 9, 0, true},
    {"no offset: the stages agree (0)", {C, 0, 0, 2, 0, 0, -10}, {S, -3, -20, 3, 20, 0, 0, 90}, 0, 0, true},
    {"turned bar reaches the circle", {C, 0, 0, 2, 0, 10, 0}, {S, -0.5f, -12, 0.5f, 12, 0, 0, 90}, 0, 1, true},
    {"circle of radius 0 against sync", {C, 0, 0, 0, 0, 0, 0}, {S, -5, -5, 5, 5, 0, 0}, 0, 0, true},
    // Test 6: a shared edge hits; a gap does not.
    {"rectangles sharing an edge", {R, 0, 0, 10, 10, 0, 0}, {R, 0, 0, 10, 10, 10, 0}, 0, 1, true},
    {"rectangles sharing a corner", {R, 0, 0, 10, 10, 0, 0}, {R, 0, 0, 10, 10, 10, 10}, 0, 1, true},
    {"rectangles apart", {R, 0, 0, 10, 10, 0, 0}, {R, 0, 0, 10, 10, 10.5f, 0}, 0, 0, true},
    // Test 4 at the four right angles: a bar whose corner enters the square.
    {"bar at 0 degrees, corner inside", square(0, 0), bar(S, 4, 12, 16, 0), 0, 1, true},
    {"bar at 0 degrees, beside", square(0, 0), bar(S, 6, 12, 16, 0), 0, 0, true},
    {"bar at 90 degrees, corner inside", square(0, 0), bar(S, 12, 4, 16, 90), 0, 1, true},
    {"bar at 90 degrees, beside", square(0, 0), bar(S, 12, 6, 16, 90), 0, 0, true},
    {"bar at 270 degrees, corner inside", square(0, 0), bar(S, 12, -4, 16, 270), 0, 1, true},
    {"bar at 270 degrees, beside", square(0, 0), bar(S, 12, -6, 16, 270), 0, 0, true},
    // At 180 degrees the long edges are vertical: that pair is skipped (no
    // slope), so crossing only through the top and bottom sides misses.
    {"bar at 180 degrees across top and bottom", {R, -20, -2, 20, 2, 0, 0}, bar(S, 15, 0, 24, 180), 0, 0, true},
    {"bar at 180 degrees on the right side", {R, -20, -2, 20, 2, 0, 0}, bar(S, 20.5f, 0, 24, 180), 0, 0, true},
    {"bar at 180 degrees, corner inside", square(0, 0), bar(S, 4, 12, 16, 180), 0, 1, true},
    // Edge crossing a vertical side with no corner inside (about 59 degrees).
    {"edge crosses the right side", square(0, 0), bar(S, 0, 6, 23.3238f, 59.04f), 0, 1, true},
    {"edge passes by", square(0, 0), bar(S, 0, 9, 23.3238f, 59.04f), 0, 0, true},
    // Rough tests: centres closer than the half widths always hit.
    {"centres close", square(0, 0), bar(S, 2, 2, 4, 33), 0, 1, true},
    {"diagonals too short", square(0, 0), bar(S, 40, 0, 4, 33), 0, 0, true},
    // Reversed rectangles: only the axis-aligned case takes the edges in
    // either order.
    {"reversed square, bar at 0", {R, 5, 5, -5, -5, 0, 0}, bar(S, 4, 12, 16, 0), 0, 1, true},
    {"reversed square, bar at 270", {R, 5, 5, -5, -5, 0, 0}, bar(S, 12, -4, 16, 270), 0, 1, true},
    {"reversed square, bar at 45", {R, 5, 5, -5, -5, 0, 0}, bar(S, 9, 9, 8, 45), 0, 0, true},
    // Test 5: rotated against rotated, in the first one's frame.
    {"diamond tip in a square's edge", {S, -5, -5, 5, 5, 0, 0, 45}, {S, -5, -5, 5, 5, 12, 0, 0}, 0, 1, false},
    {"diamond short of the square", {S, -5, -5, 5, 5, 0, 0, 45}, {S, -5, -5, 5, 5, 13, 0, 0}, 0, 0, false},
    {"syncedge against sync", {E, -5, -5, 5, 5, 0, 0, 45}, {S, -5, -5, 5, 5, 12, 0, 0}, 0, 1, false},
    // Codes not listed: a circle as the first, a rectangle as the second.
    {"unknown code as the first is a circle", {9999, 0, 0, 5, 0, 0, 0, 0, C}, {C, 0, 0, 5, 0, 9, 0}, 0, 1, false},
    {"unknown code of radius 0 as the first", {9999, 0, 0, 0, 0, 0, 0, 0, C}, {C, 0, 0, 5, 0, 0, 0}, 0, 0, false},
    {"unknown code as the second is a rectangle", {C, 0, 0, 2, 0, 0, 0}, {9999, 10, -1, 20, 1, 0, 0, 0, R}, 0, 0,
     false},
    {"unknown code as the second, overlapping", {C, 0, 0, 2, 0, 9, 0}, {9999, 10, -1, 20, 1, 0, 0, 0, R}, 0, 1,
     false},
    {"rectangle against an unknown code: test 6", {R, 0, 0, 10, 10, 0, 0}, {9999, 0, 0, 10, 10, 10, 0, 0, R}, 0, 1,
     false},
};

class HitShapeOverlapTest : public ::testing::TestWithParam<OverlapCase> {};

TEST_P(HitShapeOverlapTest, Table) {
    const OverlapCase& c = GetParam();
    EXPECT_EQ(overlap(c.a, c.b, c.stage), c.expected) << c.name;
    if (c.symmetric) {
        EXPECT_EQ(overlap(c.b, c.a, c.stage), c.expected) << c.name << " (swapped)";
    }
}

INSTANTIATE_TEST_SUITE_P(HitShape, HitShapeOverlapTest, ::testing::ValuesIn(kCases));

class HitShapeTest : public ObjectTest {};
}  // namespace

// The setters: values per kind, which type words change, the image angle of
// "syncedge", unknown codes.
TEST_F(HitShapeTest, SettersStoreValuesAndTypeWords) {
    BulletObject* object = manager().createPlainObject();
    Sprite* image = sprite();
    image->setAngle(1026, 30.0f);
    object->setImage(image);
    object->setBuzzShape(kShapeCircle, 1, 2, 3, 0);

    object->setHitShape(kShapeRect, -2, -4, 4, 4);
    EXPECT_EQ(object->getHitShapeType(), kShapeRect);
    EXPECT_EQ(object->getHitShape2Type(), kShapeRect);  // both words
    const HitShape& s1 = object->getHitShape1();
    EXPECT_FLOAT_EQ(s1.offsetX, 1.0f);
    EXPECT_FLOAT_EQ(s1.offsetY, 0.0f);
    EXPECT_FLOAT_EQ(s1.radiusSquared, 100.0f);  // 8^2 + 6^2
    EXPECT_FLOAT_EQ(s1.radius, 10.0f);
    // Shape 2's values stay as the buzz shape set them.
    EXPECT_FLOAT_EQ(object->getHitShape2().radius, 3.0f);
    EXPECT_FLOAT_EQ(object->getHitShape2().radiusSquared, 9.0f);

    object->setHitShape(kShapeRotatedEdge, -2, -4, 4, 4);
    EXPECT_FLOAT_EQ(object->getHitShape1().angle, 30.0f);
    object->setHitShape(kShapeRotated, -2, -4, 4, 4);
    EXPECT_FLOAT_EQ(object->getHitShape1().angle, 30.0f);  // kept
    object->setHitShape(kShapeCircle, 1, 2, -3, 9);
    EXPECT_FLOAT_EQ(object->getHitShape1().radiusSquared, 9.0f);
    EXPECT_FLOAT_EQ(object->getHitShape1().rectRight, 4.0f);  // untouched

    object->setHitShape(4242, 7, 7, 7, 7);
    EXPECT_EQ(object->getHitShapeType(), 4242);
    EXPECT_FLOAT_EQ(object->getHitShape1().radius, -3.0f);

    object->setBuzzShape(kShapeRect, 0, 0, 1, 1);
    EXPECT_EQ(object->getHitShapeType(), 4242);
    EXPECT_EQ(object->getHitShape2Type(), kShapeRect);

    // Without a main image "syncedge" keeps its angle.
    BulletObject* bare = manager().createPlainObject();
    bare->setHitShape(kShapeRotatedEdge, -1, -1, 1, 1);
    EXPECT_FLOAT_EQ(bare->getHitShape1().angle, 0.0f);
    EXPECT_EQ(bare->getShape1Image(), nullptr);
}

// hitTest and buzzTest read their own shapes; "stagenum" is read from the
// game variables when none is given.
TEST_F(HitShapeTest, ObjectTestsReadTheirShapesAndTheStage) {
    BulletObject* circle = manager().createPlainObject();
    BulletObject* rotated = manager().createPlainObject();
    circle->setX(0.0f);
    circle->setY(0.0f);
    rotated->setX(0.0f);
    rotated->setY(0.0f);
    circle->setHitShape(kShapeCircle, 10, 0, 2, 0);
    rotated->setHitShape(kShapeRect, -3, -20, 3, 20);
    EXPECT_EQ(circle->hitTest(*rotated), 0);
    EXPECT_EQ(rotated->hitTest(*circle), 0);
    circle->setBuzzShape(kShapeCircle, 0, 0, 4, 0);
    rotated->setBuzzShape(kShapeCircle, 0, 0, 4, 0);
    EXPECT_EQ(circle->buzzTest(*rotated), 1);
    EXPECT_EQ(circle->hitTest(*rotated, 9), 0);
    rotated->setHitShape(kShapeCircle, 0, 0, 8.5f, 0);
    EXPECT_EQ(circle->hitTest(*rotated), 1);

    game().setVar(internName("stagenum"), 9.9f);  // truncated: 9
    BulletObject* bar = manager().createPlainObject();
    bar->setX(0.0f);
    bar->setY(0.0f);
    bar->setHitShape(kShapeRotated, -3, -20, 3, 20);
    bar->setBuzzShape(kShapeRotated, -3, -20, 3, 20);
    // The angle follows the image in play; here 0: the offset case differs
    // only when turned, so both stages agree.
    EXPECT_EQ(circle->hitTest(*bar), 0);
    EXPECT_EQ(circle->buzzTest(*bar), 1);
}

TEST_F(HitShapeTest, ShapeInFieldByKind) {
    struct Case {
        std::int32_t type;
        float p1, p2, p3, p4;
        float x, y;
        std::int32_t expected;
    };
    // Field 0..640 x 0..480.
    const Case cases[] = {
        {kShapeCircle, 100, 100, 5, 0, -4, 240, 1},   // offset ignored; reaches x 1
        {kShapeCircle, 0, 0, 5, 0, -5.5f, 240, 0},     // right edge at -0.5
        {kShapeCircle, 0, 0, 5, 0, 645, 240, 0},       // 640 <= 645 - 5
        {kShapeCircle, 0, 0, 5, 0, 644.9f, 240, 1},
        {kShapeCircle, 0, 0, 5, 0, 320, 485, 0},       // bottom: 480 > 480 fails
        {kShapeCircle, 0, 0, 0, 0, 320, 240, 0},       // radius 0
        {kShapeRect, -5, -5, 5, 5, -5, 240, 1},        // right edge on the left limit
        {kShapeRect, -5, -5, 5, 5, -5.5f, 240, 0},
        {kShapeRect, 5, -5, 5, 5, 320, 240, 0},        // no width
        {kShapeRect, -5, -5, 5, 5, 320, 485, 0},
        {kShapeRotated, -5, -5, 5, 5, 5000, 5000, 1},  // no position test
        {kShapeRotatedEdge, 5, -5, 5, 5, 320, 240, 0},
        {777, 0, 0, 0, 0, 640, 240, 0},                // the centre test
        {777, 0, 0, 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        BulletObject* object = manager().createPlainObject();
        object->setX(c.x);
        object->setY(c.y);
        object->setHitShape(c.type, c.p1, c.p2, c.p3, c.p4);
        EXPECT_EQ(object->isHitShapeInField(), c.expected) << c.type << " at " << c.x << ", " << c.y;
    }
}

TEST_F(HitShapeTest, BuzzCountStopsAtZero) {
    BulletObject* object = manager().createPlainObject();
    object->setBuzzCount(1);
    object->decBuzzCount();
    object->decBuzzCount();
    EXPECT_EQ(object->getBuzzCount(), 0);
}

// The overlay's image per kind, and no overlay while it cannot be made: the
// shape is set all the same.
TEST_F(HitShapeTest, OverlayImagesAndSizes) {
    struct Case {
        std::int32_t type;
        float p1, p2, p3, p4;
        const char* texture;
        float width, height;
        bool turned;
    };
    const Case cases[] = {
        {kShapeCircle, 0, 0, 7, 0, "circle.bmp", 16, 16, false},
        {kShapeCircle, 0, 0, -1, 0, "circle.bmp", 0, 0, false},
        {kShapeCircle, 0, 0, kNaN, 0, "circle.bmp", 0, 0, false},
        {kShapeRect, -2, -3, 4, 5, "rectwhite.bmp", 6, 8, false},
        {kShapeRotated, -2, -3, 4, 5, "rectwhite.bmp", 6, 8, true},
        {kShapeRotatedEdge, -2, -3, 4, 5, "halfrect.dds", 6, 8, true},
    };
    for (const Case& c : cases) {
        HitShape shape;
        hit_shape::assign(shape, c.type, c.p1, c.p2, c.p3, c.p4, false, 0.0f);
        const hit_shape_overlay::Look look = hit_shape_overlay::lookFor(c.type, shape);
        ASSERT_NE(look.texture, nullptr);
        EXPECT_STREQ(look.texture, c.texture);
        EXPECT_FLOAT_EQ(look.width, c.width) << c.type;
        EXPECT_FLOAT_EQ(look.height, c.height) << c.type;
        EXPECT_EQ(look.turned, c.turned) << c.type;
    }
    EXPECT_EQ(hit_shape_overlay::lookFor(4242, HitShape{}).texture, nullptr);
}

// With "collisiondisplay" on but no overlay to be had, the shape is set all
// the same and the object lives on without one.
TEST_F(HitShapeTest, DisplayOnWithoutOverlayStillSetsTheShape) {
    SystemInfo system;
    system.setCollisionDisplay(1);
    g_systemInfo = &system;
    BulletObject* object = manager().createPlainObject();
    object->setActive(1);
    object->setImage(sprite());
    object->setHitShape(kShapeRotatedEdge, -4, -4, 4, 4);
    object->setBuzzShape(kShapeCircle, 0, 0, 3, 0);
    EXPECT_EQ(object->getShape1Image(), nullptr);
    EXPECT_EQ(object->getShape2Image(), nullptr);
    EXPECT_FLOAT_EQ(object->getHitShape1().radiusSquared, 128.0f);
    object->setFlags(0x100);
    frames(2);
    g_systemInfo = nullptr;
}

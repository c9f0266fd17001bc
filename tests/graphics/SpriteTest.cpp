// Sprites and the sprite pool: defaults, setters, colour and size changes
// frame by frame, vertex positions, and the pool's exhaustion, refill and
// block return.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "graphics/GfxTestSupport.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteAllocator.h"

namespace {
// A pool of its own for each test: everything given back, then filled.
class SpritePoolTest : public ::testing::Test {
protected:
    SpritePoolTest() { pool().fill(); }
    ~SpritePoolTest() override {
        for (Sprite* s : live) s->destroy(0);
        pool().freeBlocks();
    }
    static SpriteAllocator& pool() { return SpriteAllocator::instance(); }
    Sprite* make(float x = 0, float y = 0, float w = 8, float h = 8) {
        Sprite* s = pool().make(x, y, w, h, 0, 0, 1, 1, 8, 8);
        if (s) live.push_back(s);
        return s;
    }
    LoggedTest log;
    std::vector<Sprite*> live;
};

struct Corner {
    float x, y;
};
std::vector<Corner> corners(Sprite& s) {
    const SpriteVertex* v = s.getVertices();
    return {{v[0].x, v[0].y}, {v[1].x, v[1].y}, {v[2].x, v[2].y}, {v[3].x, v[3].y}};
}
}  // namespace

TEST(SpriteTest, DefaultsAndReset) {
    Sprite s;
    EXPECT_EQ(s.isActive(), 1);  // constructed: drawn
    s.setX(5);
    s.setColor(1, 2, 3, 4);
    s.setLayer(9);
    s.changeSize(1, 1, 3);
    EXPECT_EQ(s.reset(0), -1);
    EXPECT_EQ(s.isActive(), 0);  // reset: the ResourceObject init clears it
    EXPECT_EQ(s.getBlend(), 3);
    EXPECT_EQ(s.getLayer(), 0);
    EXPECT_EQ(s.getX(), 0.0f);
    EXPECT_EQ(s.getWidth(), 64.0f);
    EXPECT_EQ(s.getHeight(), 64.0f);
    EXPECT_EQ(s.getRotationMode(), 1024u);
    EXPECT_EQ(s.getPackedColor(), 0xFFFFFFFFu);
    EXPECT_EQ(s.stepSize(), 0);
    const SpriteVertex* v = s.getVertices();
    const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].z, 0.0f);
        EXPECT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].u, uv[i][0]);
        EXPECT_EQ(v[i].v, uv[i][1]);
    }
    EXPECT_EQ(sizeof(SpriteVertex), 28u);
}

TEST(SpriteTest, LayersAreKeptWithinTheFortyLayers) {
    const struct {
        int given, kept;
    } cases[] = {{-3, 0}, {0, 0}, {17, 17}, {39, 39}, {40, 39}, {45, 39}, {INT32_MIN, 0}, {INT32_MAX, 39}};
    for (const auto& c : cases) {
        Sprite s;
        s.setLayer(c.given);
        EXPECT_EQ(s.getLayer(), c.kept) << c.given;
    }
}

TEST(SpriteTest, ColourChangeFrameByFrame) {
    // From white to alpha 0 over 4 frames: exact target on the last frame.
    Sprite s;
    s.changeColor(0xFFFFFFu, 4);
    const float alpha[] = {191.25f, 127.5f, 63.75f, 0.0f, 0.0f};
    const std::uint32_t packed[] = {0xBFFFFFFFu, 0x7FFFFFFFu, 0x3FFFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu};
    for (int f = 0; f < 5; ++f) {
        s.stepColor();
        EXPECT_EQ(s.getChannel(0), alpha[f]) << f;
        EXPECT_EQ(s.getPackedColor(), packed[f]) << f;
    }
    // 0 frames acts as 1: the target at the next step.
    s.changeColor(255, 10, 20, 30, 0);
    EXPECT_EQ(s.getPackedColor(), 0x00FFFFFFu);
    s.stepColor();
    EXPECT_EQ(s.getPackedColor(), 0xFF0A141Eu);
    // Only alpha changes; r, g, b keep their values.
    s.changeAlpha(55, 1);
    s.stepColor();
    EXPECT_EQ(s.getPackedColor(), 0x370A141Eu);
}

TEST(SpriteTest, PackedChannelsAreClampedNotWrapped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float a, r, g, b;
        std::uint32_t packed;
    } cases[] = {
        {256, 255, 0, 1, 0xFFFF0001u},     // 256 stays 255 (not 0)
        {-1, 300, -500, 128.9f, 0x00FF0080u},  // -1 is 0 (not 255); truncation toward zero
        {nan, 1e30f, -1e30f, 7, 0x00FF0007u},
    };
    for (const auto& c : cases) {
        Sprite s;
        s.setColor(c.a, c.r, c.g, c.b);
        EXPECT_EQ(s.getPackedColor(), c.packed);
    }
    // A step from a channel above 255 draws 255, not its low 8 bits.
    Sprite s;
    s.setColor(300, 0, 0, 0);
    s.changeColor(255, 0, 0, 0, 3);  // 285 at the first step
    s.stepColor();
    EXPECT_EQ(s.getPackedColor(), 0xFF000000u);
}

TEST(SpriteTest, SizeChangeFrameByFrame) {
    const struct {
        int frames;
        std::vector<float> widths;  // after each step
        std::vector<int> ran;
    } cases[] = {
        {4, {46, 28, 10, -8, -8}, {1, 1, 1, 1, 0}},  // 64 -> -8: exact target at the end
        {1, {-8, -8}, {1, 0}},
        {0, {64, 64}, {0, 0}},  // never changes (and no division by zero)
        {-2, {64, 64}, {0, 0}},
    };
    for (const auto& c : cases) {
        Sprite s;
        s.changeSize(-8, 100, c.frames);
        for (std::size_t f = 0; f < c.widths.size(); ++f) {
            EXPECT_EQ(s.stepSize(), c.ran[f]) << c.frames << " frame " << f;
            EXPECT_EQ(s.getWidth(), c.widths[f]) << c.frames << " frame " << f;
            EXPECT_TRUE(std::isfinite(s.getHeight()));
        }
    }
}

TEST(SpriteTest, UVsFromTexelsAndATextureOfSizeZero) {
    Sprite s;
    s.setup(0, 0, 8, 8, 0, 0, 1, 1, 32, 16);
    s.setUV(8, 4, 16, 12);
    EXPECT_EQ(s.getU0(), 0.25f);
    EXPECT_EQ(s.getV0(), 0.25f);
    EXPECT_EQ(s.getDu(), 0.25f);
    EXPECT_EQ(s.getDv(), 0.5f);
    const SpriteVertex* v = s.getVertices();
    EXPECT_EQ(v[3].u, 0.5f);
    EXPECT_EQ(v[3].v, 0.75f);
    Sprite none;
    none.setup(0, 0, 8, 8, 0, 0, 1, 1, 0, 0);
    none.setUV(8, 4, 16, 12);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(none.getVertices()[i].u, 0.0f);
        EXPECT_EQ(none.getVertices()[i].v, 0.0f);
    }
}

TEST(SpriteTest, VertexPositions) {
    const struct {
        std::uint32_t mode;
        float angle;
        float x, y, w, h;
        std::vector<Corner> expected;  // tl, tr, bl, br
        float tolerance;
    } cases[] = {
        // Axis-aligned, shifted by half a pixel.
        {1024, 90, 10, 20, 8, 4, {{9.5f, 19.5f}, {17.5f, 19.5f}, {9.5f, 23.5f}, {17.5f, 23.5f}}, 0},
        {1026, 0, 10, 20, 8, 4, {{9.5f, 19.5f}, {17.5f, 19.5f}, {9.5f, 23.5f}, {17.5f, 23.5f}}, 0},
        // 90 degrees: each corner a quarter turn clockwise on screen (the
        // top-left corner goes to the top right).
        {1026, 90, 0, 0, 4, 4, {{3.5f, -0.5f}, {3.5f, 3.5f}, {-0.5f, -0.5f}, {-0.5f, 3.5f}}, 1e-5f},
        // A 40 x 10 sprite turned 90 degrees stands upright around its centre.
        {1029, 90, 100, 100, 40, 10, {{124.5f, 84.5f}, {124.5f, 124.5f}, {114.5f, 84.5f}, {114.5f, 124.5f}}, 1e-4f},
        {1026, 180, 0, 0, 4, 2, {{3.5f, 1.5f}, {-0.5f, 1.5f}, {3.5f, -0.5f}, {-0.5f, -0.5f}}, 1e-5f},
    };
    for (const auto& c : cases) {
        Sprite s;
        s.setX(c.x);
        s.setY(c.y);
        s.setSize(c.w, c.h);
        s.setAngle(c.mode, c.angle);
        const std::vector<Corner> got = corners(s);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(got[i].x, c.expected[i].x, c.tolerance) << c.mode << "/" << c.angle << " corner " << i;
            EXPECT_NEAR(got[i].y, c.expected[i].y, c.tolerance) << c.mode << "/" << c.angle << " corner " << i;
        }
    }
    // NaN and huge angles go through the table's index rule.
    for (float angle : {std::numeric_limits<float>::quiet_NaN(), 1e30f, -1e30f}) {
        Sprite s;
        s.setAngle(1026, angle);
        for (const Corner& c : corners(s)) EXPECT_TRUE(std::isfinite(c.x) && std::isfinite(c.y)) << angle;
    }
}

namespace {
class SpriteOnDeviceTest : public GfxTest {};
}  // namespace

TEST_F(SpriteOnDeviceTest, SizesInVirtualPixelsAtA1280x960BackBuffer) {
    created(1280, 960);
    Sprite s;
    s.setWidth(140);
    s.setHeight(30);
    EXPECT_EQ(s.getWidth(), 280.0f);
    EXPECT_EQ(s.getHeight(), 60.0f);
    s.addWidth(10);
    s.addHeight(-5);
    EXPECT_EQ(s.getWidth(), 300.0f);
    EXPECT_EQ(s.getHeight(), 50.0f);
    s.changeSize(20, 20, 1);
    s.stepSize();
    EXPECT_EQ(s.getWidth(), 40.0f);
    EXPECT_EQ(s.getHeight(), 40.0f);
    // Positions are device pixels as given.
    s.setX(140);
    EXPECT_EQ(s.getX(), 140.0f);
}

TEST_F(SpritePoolTest, ExhaustionLogsOncePerFailedCallAndABlockComesBack) {
    EXPECT_EQ(pool().freeCount(), 10000u);
    for (int i = 0; i < 10000; ++i) ASSERT_NE(make(), nullptr) << i;
    EXPECT_EQ(pool().handedOut(), 10000u);
    EXPECT_FALSE(log.logContains("SpriteAllocator EMPTY"));
    EXPECT_EQ(pool().make(0, 0, 1, 1, 0, 0, 1, 1, 1, 1), nullptr);
    EXPECT_EQ(pool().make(0, 0, 1, 1, 0, 0, 1, 1, 1, 1), nullptr);
    int lines = 0;
    for (const std::string& line : log.logLines()) lines += line == "SpriteAllocator EMPTY";
    EXPECT_EQ(lines, 2);
    // One destroyed: its block goes to the back of the free store, and one
    // creation is possible again.
    Sprite* gone = live.back();
    live.pop_back();
    gone->destroy(0);
    EXPECT_EQ(pool().handedOut(), 9999u);
    Sprite* again = make(3, 4);
    ASSERT_EQ(again, gone);
    EXPECT_EQ(again->getX(), 3.0f);
    EXPECT_EQ(again->isActive(), 1);
    EXPECT_EQ(pool().make(0, 0, 1, 1, 0, 0, 1, 1, 1, 1), nullptr);
}

TEST_F(SpritePoolTest, RefillTopsUpSixBelowTheThresholdAndMakeTakesTheFrontReadySprite) {
    pool().refill();
    EXPECT_EQ(pool().readyCount(), 6u);
    EXPECT_EQ(pool().freeCount(), 9994u);
    EXPECT_EQ(pool().handedOut(), 6u);
    // The first ready sprite goes first.
    Sprite* first = make();
    Sprite* second = make();
    EXPECT_LT(first, second);
    EXPECT_EQ(pool().readyCount(), 4u);
    // Up to 5,001 ready: the test is made once before each six.
    for (int i = 0; i < 1000; ++i) pool().refill();
    EXPECT_EQ(pool().readyCount(), 5002u);  // 4996 -> 5002 on the last top-up
    pool().refill();
    EXPECT_EQ(pool().readyCount(), 5002u);
    // Near exhaustion the six gets log the empty line for what is missing.
    while (pool().freeCount() > 2) ASSERT_NE(make(), nullptr);
    while (pool().readyCount() > 0) ASSERT_NE(make(), nullptr);
    pool().refill();
    EXPECT_EQ(pool().readyCount(), 2u);
    int lines = 0;
    for (const std::string& line : log.logLines()) lines += line == "SpriteAllocator EMPTY";
    EXPECT_EQ(lines, 4);
}

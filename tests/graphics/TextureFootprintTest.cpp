// The per-draw choice of anisotropic sampling: which pre-transformed
// triangles minify a 16 x 16 texture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/gfx/TextureFootprint.h"

namespace {

struct Vertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u, v;
};
constexpr std::int32_t kUv = 20;

bool minifies(const Vertex& a, const Vertex& b, const Vertex& c) {
    return triangleMinifies(reinterpret_cast<const std::uint8_t*>(&a), reinterpret_cast<const std::uint8_t*>(&b),
                            reinterpret_cast<const std::uint8_t*>(&c), kUv, 16.0f, 16.0f);
}

bool drawOf(D3DPRIMITIVETYPE type, const std::vector<Vertex>& vertices) {
    return drawMinifies(
        type, vertices.size(),
        [&](std::uint64_t i) { return reinterpret_cast<const std::uint8_t*>(&vertices[std::size_t(i)]); }, kUv,
        16.0f, 16.0f);
}

}  // namespace

TEST(TextureFootprint, TrianglesThatMinifyTheTexture) {
    const float c = std::cos(0.5f) * 16.0f, s = std::sin(0.5f) * 16.0f;
    const struct {
        const char* name;
        Vertex a, b, c;
        bool minifies;
    } cases[] = {
        {"one texel a pixel", {-0.5f, -0.5f, 0, 1, 0, 0, 0}, {15.5f, -0.5f, 0, 1, 0, 1, 0}, {-0.5f, 15.5f, 0, 1, 0, 0, 1}, false},
        {"half size", {0, 0, 0, 1, 0, 0, 0}, {8, 0, 0, 1, 0, 1, 0}, {0, 8, 0, 1, 0, 0, 1}, true},
        {"twice the size", {0, 0, 0, 1, 0, 0, 0}, {32, 0, 0, 1, 0, 1, 0}, {0, 32, 0, 1, 0, 0, 1}, false},
        {"wide and flat", {0, 0, 0, 1, 0, 0, 0}, {32, 0, 0, 1, 0, 1, 0}, {0, 15, 0, 1, 0, 0, 1}, true},
        {"rotated at full size", {100, 100, 0, 1, 0, 0, 0}, {100 + c, 100 + s, 0, 1, 0, 1, 0}, {100 - s, 100 + c, 0, 1, 0, 0, 1}, false},
        {"a texture row over a pixel row", {0, 0, 0, 1, 0, 0, 0}, {16, 0, 0, 1, 0, 1, 0}, {0, 16, 0, 1, 0, 1, 1}, true},
        {"in perspective", {0, 0, 0, 1, 0, 0, 0}, {32, 0, 0, 0.5f, 0, 1, 0}, {0, 32, 0, 1, 0, 0, 1}, true},
        {"without area", {0, 0, 0, 1, 0, 0, 0}, {8, 8, 0, 1, 0, 1, 0}, {16, 16, 0, 1, 0, 0, 1}, false},
    };
    for (const auto& t : cases) EXPECT_EQ(minifies(t.a, t.b, t.c), t.minifies) << t.name;
}

TEST(TextureFootprint, DrawsLookAtEveryTriangleOfTheirKind) {
    // A 1:1 quad as a strip, then with a half-size quad after it in a list.
    const Vertex tl{0, 0, 0, 1, 0, 0, 0}, tr{16, 0, 0, 1, 0, 1, 0}, bl{0, 16, 0, 1, 0, 0, 1}, br{16, 16, 0, 1, 0, 1, 1};
    const Vertex sl{40, 0, 0, 1, 0, 0, 0}, sr{48, 0, 0, 1, 0, 1, 0}, sb{40, 8, 0, 1, 0, 0, 1};
    EXPECT_FALSE(drawOf(D3DPT_TRIANGLESTRIP, {tl, tr, bl, br}));
    EXPECT_FALSE(drawOf(D3DPT_TRIANGLELIST, {tl, tr, bl, bl, tr, br}));
    EXPECT_TRUE(drawOf(D3DPT_TRIANGLELIST, {tl, tr, bl, sl, sr, sb}));
    EXPECT_TRUE(drawOf(D3DPT_TRIANGLESTRIP, {tl, tr, bl, br, sl, sb}));
    EXPECT_FALSE(drawOf(D3DPT_TRIANGLEFAN, {tl, tr, br, bl}));
    EXPECT_TRUE(drawOf(D3DPT_TRIANGLEFAN, {tl, tr, br, sb}));
    // Points and lines are sampled anisotropically.
    EXPECT_TRUE(drawOf(D3DPT_LINELIST, {tl, tr}));
    EXPECT_TRUE(drawOf(D3DPT_POINTLIST, {tl}));
}

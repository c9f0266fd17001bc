#include "platform/gfx/TextureFootprint.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
float floatAt(const std::uint8_t* p) {
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
}
}  // namespace

bool triangleMinifies(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* c, std::int32_t uv,
                      float texelsU, float texelsV) {
    if (floatAt(a + 12) != floatAt(b + 12) || floatAt(a + 12) != floatAt(c + 12)) return true;
    // Texel offsets along the edges, solved for one pixel step in x and in y.
    const float e1x = floatAt(b) - floatAt(a), e1y = floatAt(b + 4) - floatAt(a + 4);
    const float e2x = floatAt(c) - floatAt(a), e2y = floatAt(c + 4) - floatAt(a + 4);
    const float det = e1x * e2y - e1y * e2x;
    if (!(std::fabs(det) > 1e-12f)) return false;
    const float f1u = (floatAt(b + uv) - floatAt(a + uv)) * texelsU;
    const float f1v = (floatAt(b + uv + 4) - floatAt(a + uv + 4)) * texelsV;
    const float f2u = (floatAt(c + uv) - floatAt(a + uv)) * texelsU;
    const float f2v = (floatAt(c + uv + 4) - floatAt(a + uv + 4)) * texelsV;
    // The steps times det, compared with det squared: no division.
    const float dxu = f1u * e2y - f2u * e1y, dxv = f1v * e2y - f2v * e1y;
    const float dyu = f2u * e1x - f1u * e2x, dyv = f2v * e1x - f1v * e2x;
    // The small margin keeps an exact 1:1 mapping out of float noise.
    return std::max(dxu * dxu + dxv * dxv, dyu * dyu + dyv * dyv) > 1.0001f * det * det;
}

// How many texels of a texture's top level one pixel step covers in a draw of
// pre-transformed vertices: the OpenGL backend samples anisotropically only
// in draws that minify the texture somewhere, since at one texel per pixel or
// magnified the anisotropic filter reads as the linear one does on Direct3D
// hardware (some OpenGL drivers blur even there). Decided per draw on the
// CPU, from the vertices the draw reads.
#pragma once
#include <cstdint>

#include "platform/gfx/GfxTypes.h"

// Whether a triangle maps more than one texel onto one pixel step in some
// direction, or is drawn in perspective (its rhw differ, so the footprint
// varies over it). Each vertex starts with x, y, z, rhw as floats; its
// texture coordinates u, v are floats at byte `uv`; the top level is
// texelsU x texelsV. A triangle without area covers no pixel: false.
bool triangleMinifies(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* c, std::int32_t uv,
                      float texelsU, float texelsV);

// The same over the triangles of a draw of `count` vertices; vertexAt(i) is
// the i-th vertex the draw reads. Points and lines count as minifying.
template <class VertexAt>
bool drawMinifies(D3DPRIMITIVETYPE type, std::uint64_t count, VertexAt vertexAt, std::int32_t uv, float texelsU,
                  float texelsV) {
    switch (type) {
    case D3DPT_TRIANGLELIST:
        for (std::uint64_t i = 0; i + 2 < count; i += 3)
            if (triangleMinifies(vertexAt(i), vertexAt(i + 1), vertexAt(i + 2), uv, texelsU, texelsV)) return true;
        return false;
    case D3DPT_TRIANGLESTRIP:
        for (std::uint64_t i = 0; i + 2 < count; ++i)
            if (triangleMinifies(vertexAt(i), vertexAt(i + 1), vertexAt(i + 2), uv, texelsU, texelsV)) return true;
        return false;
    case D3DPT_TRIANGLEFAN:
        for (std::uint64_t i = 1; i + 1 < count; ++i)
            if (triangleMinifies(vertexAt(0), vertexAt(i), vertexAt(i + 1), uv, texelsU, texelsV)) return true;
        return false;
    default:
        return true;
    }
}

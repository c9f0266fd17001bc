// One particle of the background: a textured quad of four vertices in
// triangle-strip order, exactly as it is copied into the vertex buffer.
#pragma once
#include <cstdint>

struct ParticleVertex {
    float x, y, z;
    float u, v;
};

// XYZ | TEX1.
inline constexpr std::uint32_t kParticleFvf = 0x102;

struct ParticleQuad {
    ParticleVertex v[4];

    // v0 at (x, y, z), the others `w` and `h` away in the plane the
    // orientation picks: 0 the y/z plane, 2 the x/y plane, else the x/z plane.
    void setup(float x, float y, float z, float w, float h, std::int32_t orientation);
    void move(float dx, float dy, float dz);
};

static_assert(sizeof(ParticleVertex) == 20 && sizeof(ParticleQuad) == 80 && kParticleFvf == 0x102,
              "particle vertices are XYZ | TEX1, four to a quad");

#include "graphics/ParticleQuad.h"

void ParticleQuad::setup(float x, float y, float z, float w, float h, std::int32_t orientation) {
    v[0] = {x, y, z, 0.0f, 0.0f};
    switch (orientation) {
        case 0:
            v[1] = {x, y + w, z, 1.0f, 0.0f};
            v[2] = {x, y, z - h, 0.0f, 1.0f};
            v[3] = {x, y + w, z - h, 1.0f, 1.0f};
            break;
        case 2:
            v[1] = {x + w, y, z, 1.0f, 0.0f};
            v[2] = {x, y - h, z, 0.0f, 1.0f};
            v[3] = {x + w, y - h, z, 1.0f, 1.0f};
            break;
        default:
            v[1] = {x + w, y, z, 1.0f, 0.0f};
            v[2] = {x, y, z - h, 0.0f, 1.0f};
            v[3] = {x + w, y, z - h, 1.0f, 1.0f};
            break;
    }
}

void ParticleQuad::move(float dx, float dy, float dz) {
    for (ParticleVertex& p : v) {
        p.x += dx;
        p.y += dy;
        p.z += dz;
    }
}

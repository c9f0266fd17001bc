// The translucent red overlay that shows a hit shape while the
// configuration's "collisiondisplay" switch is on: which image, how large,
// and the sprite made for it.
#pragma once
#include <cstdint>

#include "objects/HitShape.h"

class Sprite;

namespace hit_shape_overlay {
inline constexpr std::int32_t kBlendGroup = 3;
inline constexpr std::int32_t kLayer = 23;
inline constexpr std::uint32_t kColor = 0x80ff0000u;  // half-transparent red
// The angle mode of the turned overlays (the "sync" image rule).
inline constexpr std::uint32_t kAngleMode = 1029;

struct Look {
    const char* texture;  // null: no overlay for this type
    float width;          // virtual-screen units
    float height;
    bool turned;  // turned by the main image's angle
};

// The overlay of a shape type and its values: image, size, turned or not.
Look lookFor(std::int32_t type, const HitShape& shape);

// Makes the overlay sprite through the sprite managers; null when it cannot
// be made (no sprite managers, an empty sprite pool, a missing image). A
// turned overlay takes the main image's angle when there is a main image.
Sprite* create(std::int32_t type, const HitShape& shape, const Sprite* mainImage);
}  // namespace hit_shape_overlay

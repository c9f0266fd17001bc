// Hit shapes: the values an object carries for collisions (shape 1) and
// grazing (shape 2), how scripts set them, and the overlap test of two
// placed shapes. Circles, axis-aligned rectangles and rectangles rotated
// about their hit centre ("sync", or "syncedge" whose upper edge lies on the
// hit centre when tested against a circle).
#pragma once
#include <cstdint>

// Hit-shape type codes.
inline constexpr std::int32_t kShapeCircle = 1035;
inline constexpr std::int32_t kShapeRect = 1036;
inline constexpr std::int32_t kShapeRotated = 1029;
inline constexpr std::int32_t kShapeRotatedEdge = 1055;

// One hit shape: centre offset, circle radius (and its square), rectangle
// edges relative to the object's centre, and a rotation angle in degrees.
struct HitShape {
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float radius = 0.0f;
    float radiusSquared = 0.0f;
    float rectLeft = 0.0f;
    float rectTop = 0.0f;
    float rectRight = 0.0f;
    float rectBottom = 0.0f;
    float angle = 0.0f;
};

namespace hit_shape {
// The stage number that selects the alternative circle-versus-rotated test
// (the circle's offset turns with it).
inline constexpr std::int32_t kRotatedOffsetStage = 9;

// A shape at its object: type, values and the object's centre.
struct Placed {
    std::int32_t type;
    const HitShape* shape;
    float centreX;
    float centreY;
};

// Sets a shape from a script's four values. Returns false for an unknown
// type (the values stay). A "syncedge" shape takes imageAngle when one is
// given (hasImageAngle); "sync" keeps its angle.
bool assign(HitShape& shape, std::int32_t type, float p1, float p2, float p3, float p4, bool hasImageAngle,
            float imageAngle);

// 1 when the two shapes overlap, else 0; `self` is the object the test is
// asked on (its type picks the row of the dispatch).
std::int32_t overlap(const Placed& self, const Placed& other, std::int32_t stageNum);
}  // namespace hit_shape

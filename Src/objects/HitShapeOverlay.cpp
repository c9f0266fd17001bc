#include "objects/HitShapeOverlay.h"

#include "graphics/Sprite.h"

namespace hit_shape_overlay {

Spec specFor(std::int32_t type, const HitShape& shape) {
    switch (type) {
        case kShapeCircle: {
            // NaN radii make no overlay size either.
            const float side = shape.radius > 0.0f ? (shape.radius + 1.0f) * 2.0f : 0.0f;
            return {"circle.bmp", side, side, false};
        }
        case kShapeRect:
            return {"rectwhite.bmp", shape.rectRight - shape.rectLeft, shape.rectBottom - shape.rectTop, false};
        case kShapeRotated:
            return {"rectwhite.bmp", shape.rectRight - shape.rectLeft, shape.rectBottom - shape.rectTop, true};
        case kShapeRotatedEdge:
            return {"halfrect.dds", shape.rectRight - shape.rectLeft, shape.rectBottom - shape.rectTop, true};
        default:
            return {nullptr, 0.0f, 0.0f, false};
    }
}

Sprite* create(std::int32_t type, const HitShape& shape, const Sprite* mainImage) {
    const Spec spec = specFor(type, shape);
    if (!spec.texture) return nullptr;
    // The sprite managers (one per texture, made through the sprite manager
    // list) join here: createSpriteIn(spec.texture, the rectangle 0, 0,
    // width, height through D3DObject::toDeviceRect, UV 0, 0, 1, 1), then
    // blend group kBlendGroup, layer kLayer, colour kColor and, for turned
    // overlays with a main image, addAngle(kAngleMode, its angle). Until they
    // exist no overlay can be made and the shape goes without one.
    (void)mainImage;
    return nullptr;
}

}  // namespace hit_shape_overlay

#include "objects/HitShapeOverlay.h"

#include "graphics/D3DObject.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "services/Managers.h"

// The sprite managers arrive with the sprites work; until they are part of
// the build no overlay can be made and shapes go without one.
#if __has_include("graphics/SpriteManagerManager.h")
#include "graphics/SpriteManagerManager.h"
#define VORLY_HIT_SHAPE_OVERLAYS 1
#else
#define VORLY_HIT_SHAPE_OVERLAYS 0
#endif

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
#if VORLY_HIT_SHAPE_OVERLAYS
    SpriteManagerManager* sprites = g_spriteManagerManager;
    if (!sprites) return nullptr;
    // A missing image makes no overlay (its manager stays without texture).
    SpriteManagerManager::Pointer manager = sprites->findOrCreate(spec.texture);
    if (!manager || !manager->getTexture() || !manager->getTexture()->getD3DTexture()) return nullptr;
    D3DObject::FloatRect rect{0.0f, 0.0f, spec.width, spec.height};
    if (const D3DObject* d3d = g_d3dObject) rect = d3d->toDeviceRect(0.0f, 0.0f, spec.width, spec.height);
    Sprite* sprite = sprites->createSpriteIn(rect.x, rect.y, rect.width, rect.height, 0.0f, 0.0f, 1.0f, 1.0f,
                                             spec.texture);
    if (!sprite) return nullptr;  // the sprite pool is empty
    sprite->setBlend(static_cast<std::uint8_t>(kBlendGroup));
    sprite->setLayer(kLayer);
    sprite->setPackedColor(kColor);
    if (spec.turned && mainImage) sprite->addAngle(kAngleMode, mainImage->getAngle());
    return sprite;
#else
    (void)mainImage;
    return nullptr;
#endif
}

}  // namespace hit_shape_overlay

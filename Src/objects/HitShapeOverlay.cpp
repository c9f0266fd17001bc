#include "objects/HitShapeOverlay.h"

#include <cstring>
#include <string>

#include "graphics/D3DObject.h"
#include "graphics/Sprite.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/Texture.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"

namespace hit_shape_overlay {
namespace {
// Whether an overlay image is in the "texture" archive: a missing one would
// end the program in the texture loader, so it makes no overlay instead,
// with one log line per image. Found entries are kept by the archive reader.
bool imageInArchive(const char* texture) {
    static const char* const kImages[] = {"circle.bmp", "rectwhite.bmp", "halfrect.dds"};
    static bool reported[3] = {};
    ArchiveManager* archive = g_archiveManager;
    if (!archive) return false;
    if (archive->findEntry("texture", texture)) return true;
    for (int i = 0; i < 3; ++i) {
        if (std::strcmp(kImages[i], texture) == 0 && !reported[i]) {
            reported[i] = true;
            logLine(std::string("当たり判定の表示画像 ") + texture + " が見つかりません");
        }
    }
    return false;
}
}  // namespace

Look lookFor(std::int32_t type, const HitShape& shape) {
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
    const Look look = lookFor(type, shape);
    if (!look.texture) return nullptr;
    SpriteManagerManager* sprites = g_spriteManagerManager;
    if (!sprites || !imageInArchive(look.texture)) return nullptr;
    // An image that does not load makes none either (its manager stays
    // without texture).
    SpriteManagerManager::Pointer manager = sprites->findOrCreate(look.texture);
    if (!manager || !manager->getTexture() || !manager->getTexture()->getD3DTexture()) return nullptr;
    D3DObject::FloatRect rect{0.0f, 0.0f, look.width, look.height};
    if (const D3DObject* d3d = g_d3dObject) rect = d3d->toDeviceRect(0.0f, 0.0f, look.width, look.height);
    Sprite* sprite = sprites->createSpriteIn(rect.x, rect.y, rect.width, rect.height, 0.0f, 0.0f, 1.0f, 1.0f,
                                             look.texture);
    if (!sprite) return nullptr;  // the sprite pool is empty
    sprite->setBlend(static_cast<std::uint8_t>(kBlendGroup));
    sprite->setLayer(kLayer);
    sprite->setPackedColor(kColor);
    if (look.turned && mainImage) sprite->addAngle(kAngleMode, mainImage->getAngle());
    return sprite;
}

}  // namespace hit_shape_overlay

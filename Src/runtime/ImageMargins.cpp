#include "runtime/ImageMargins.h"

#include <algorithm>

#include "objects/BulletObject.h"
#include "script/ElementId.h"

namespace {
bool turnsWithDirection(std::int32_t type) { return type == kTypeSync || type == kTypeSyncEdge; }
}  // namespace

void applyMarginTable(BulletObject& object, float w, float h, ReflectMargins reflect) {
    switch (object.getEdgeMode()) {
        case 0:
            object.setEdgeBoundsMax(0.0f, 0.0f);
            object.setEdgeBoundsMin(-w, -h);
            return;
        case 1:
            object.setEdgeBoundsMax(-w, -h);
            object.setEdgeBoundsMin(0.0f, 0.0f);
            for (std::int32_t axis : {0, 1})
                for (std::int32_t side : {0, 1}) object.applyCornerBounds(axis, side, 0);
            return;
        case 4:
            object.setEdgeBoundsMax(0.0f, 0.0f);
            object.setEdgeBoundsMin(-w, -480.0f);
            return;
        case 3:
            if (reflect == ReflectMargins::ByOption) {
                // The sides the object bounces off keep the image inside.
                const std::uint8_t option = object.getReflectOption();
                object.setEdgeBoundsMax(option & 2 ? -w : 0.0f, option & 8 ? -h : 0.0f);
                object.setEdgeBoundsMin(option & 1 ? 0.0f : -w, option & 4 ? 0.0f : -h);
                return;
            }
            break;
        default:
            break;
    }
    object.setEdgeBoundsMax(w, h);
    object.setEdgeBoundsMin(-w, -h);
}

void applyImageMargins(BulletObject& object, float w, float h, ReflectMargins reflect) {
    if (turnsWithDirection(object.getImageAngleMode()) || turnsWithDirection(object.getHitShapeType())) {
        const float side = std::max(w, h);
        w = side;
        h = side;
    }
    applyMarginTable(object, w, h, reflect);
}

// GameObject's hit shapes: setting them from scripts, the overlap tests and
// the field test of shape 1.
#include "graphics/Sprite.h"
#include "objects/GameObject.h"
#include "objects/HitShapeOverlay.h"
#include "records/GameInfo.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
std::int32_t currentStageNum() {
    GameInfo* game = g_gameInfo;
    if (!game) return 0;
    static const NameHandle stageNum = internName("stagenum");
    return truncateToInt32(game->getVar(stageNum));
}

bool collisionDisplayOn() {
    const SystemInfo* system = g_systemInfo;
    return system && system->getCollisionDisplay() != 0;
}

// Releases a shape's overlay, sets the values and makes a new overlay when
// the display is on.
void setShape(HitShape& shape, Sprite*& overlay, std::int32_t type, float p1, float p2, float p3, float p4,
              const Sprite* mainImage) {
    if (overlay) {
        overlay->setState(1);
        overlay = nullptr;
    }
    const bool known = hit_shape::assign(shape, type, p1, p2, p3, p4, mainImage != nullptr,
                                         mainImage ? mainImage->getAngle() : 0.0f);
    if (known && collisionDisplayOn()) overlay = hit_shape_overlay::create(type, shape, mainImage);
}
}  // namespace

void GameObject::setHitShape(std::int32_t type, float p1, float p2, float p3, float p4) {
    hitShape1Type_ = type;
    hitShape2Type_ = type;
    setShape(hitShape1_, shape1Image_, type, p1, p2, p3, p4, mainImage_);
    placeShapeImagesX();
    placeShapeImagesY();
}

void GameObject::setBuzzShape(std::int32_t type, float p1, float p2, float p3, float p4) {
    hitShape2Type_ = type;
    setShape(hitShape2_, shape2Image_, type, p1, p2, p3, p4, mainImage_);
    placeShapeImagesX();
    placeShapeImagesY();
}

std::int32_t GameObject::hitTest(const GameObject& other, std::int32_t stageNum) const {
    return hit_shape::overlap({hitShape1Type_, &hitShape1_, centreX_, centreY_},
                              {other.hitShape1Type_, &other.hitShape1_, other.centreX_, other.centreY_}, stageNum);
}

std::int32_t GameObject::buzzTest(const GameObject& other, std::int32_t stageNum) const {
    return hit_shape::overlap({hitShape2Type_, &hitShape2_, centreX_, centreY_},
                              {other.hitShape2Type_, &other.hitShape2_, other.centreX_, other.centreY_}, stageNum);
}

std::int32_t GameObject::hitTest(const GameObject& other) const { return hitTest(other, currentStageNum()); }

std::int32_t GameObject::buzzTest(const GameObject& other) const { return buzzTest(other, currentStageNum()); }

std::int32_t GameObject::isHitShapeInField() const {
    const HitShape& s = hitShape1_;
    const float fl = static_cast<float>(fieldLeft_);
    const float fr = static_cast<float>(fieldRight_);
    const float ft = static_cast<float>(fieldTop_);
    const float fb = static_cast<float>(fieldBottom_);
    switch (hitShape1Type_) {
        case kShapeRotated:
        case kShapeRotatedEdge:
            // No position test for the rotated kinds.
            return s.rectRight != s.rectLeft ? 1 : 0;
        case kShapeCircle:
            // The circle around the object's centre; its offset is not used.
            if (s.radius == 0.0f) return 0;
            if (centreX_ + s.radius < fl) return 0;
            if (fr <= centreX_ - s.radius) return 0;
            if (s.radius + centreY_ < ft) return 0;
            return fb > centreY_ - s.radius ? 1 : 0;
        case kShapeRect:
            if (s.rectRight == s.rectLeft) return 0;
            if (s.rectRight + centreX_ < fl) return 0;
            if (fr <= s.rectLeft + centreX_) return 0;
            if (s.rectBottom + centreY_ < ft) return 0;
            return fb > s.rectTop + centreY_ ? 1 : 0;
        default:
            return isInsideField();
    }
}

#include "objects/GameObject.h"

#include "graphics/D3DObject.h"
#include "graphics/Sprite.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/Truncate.h"

namespace {
// Virtual-screen units to device pixels and back, through the device object;
// without one, or at the virtual size (640 x 480), the two are the same.
float deviceX(float x) {
    const D3DObject* d3d = g_d3dObject;
    return d3d && !d3d->isIdentityScale() ? d3d->toDeviceX(x) : x;
}
float deviceY(float y) {
    const D3DObject* d3d = g_d3dObject;
    return d3d && !d3d->isIdentityScale() ? d3d->toDeviceY(y) : y;
}
float virtualX(float x) {
    const D3DObject* d3d = g_d3dObject;
    return d3d && !d3d->isIdentityScale() ? d3d->toVirtualX(x) : x;
}
float virtualY(float y) {
    const D3DObject* d3d = g_d3dObject;
    return d3d && !d3d->isIdentityScale() ? d3d->toVirtualY(y) : y;
}

// Where a shape's image starts on one axis: a circle's from its centre less
// the radius, other shapes' from their rectangle's near side.
float shapeImageX(float centre, std::int32_t type, const HitShape& shape) {
    return type == kShapeCircle ? centre + shape.offsetX - shape.radius : centre + shape.rectLeft;
}
float shapeImageY(float centre, std::int32_t type, const HitShape& shape) {
    return type == kShapeCircle ? centre + shape.offsetY - shape.radius : centre + shape.rectTop;
}
}  // namespace

GameObject::~GameObject() { releaseImages(); }

void GameObject::releaseImages() {
    if (!hasImages()) return;
    for (Sprite** image : {&mainImage_, &shape1Image_, &shape2Image_}) {
        if (*image) (*image)->setState(1);
        *image = nullptr;
    }
}

void GameObject::passActiveToImages(std::int32_t active) {
    for (Sprite* image : {mainImage_, shape1Image_, shape2Image_}) {
        if (image) image->setActive(active);
    }
}

void GameObject::passStateToImages(std::uint32_t state) {
    for (Sprite* image : {mainImage_, shape1Image_, shape2Image_}) {
        if (image) image->setState(state);
    }
}

void GameObject::copyFrom(GameObject& other) {
    active_ = 0;
    state_ = 0;
    centreX_ = other.centreX_;
    centreY_ = other.centreY_;
    width_ = other.width_;
    height_ = other.height_;
    left_ = centreX_ - width_ / 2.0f;
    top_ = centreY_ - height_ / 2.0f;
    velocityX_ = other.velocityX_;
    velocityY_ = other.velocityY_;
    accelX_ = other.accelX_;
    accelY_ = other.accelY_;
    rightBound_ = other.rightBound_;
    bottomBound_ = other.bottomBound_;
    leftBound_ = other.leftBound_;
    topBound_ = other.topBound_;
    hitShape1Type_ = other.hitShape1Type_;
    hitShape2Type_ = other.hitShape2Type_;
    // The radius squared and the rotation angle are not copied.
    for (auto [to, from] : {std::pair{&hitShape1_, &other.hitShape1_}, std::pair{&hitShape2_, &other.hitShape2_}}) {
        to->offsetX = from->offsetX;
        to->offsetY = from->offsetY;
        to->radius = from->radius;
        to->rectLeft = from->rectLeft;
        to->rectTop = from->rectTop;
        to->rectRight = from->rectRight;
        to->rectBottom = from->rectBottom;
    }
    buzzCount_ = other.buzzCount_;
    drawLevel_ = other.drawLevel_;
    kind_ = other.kind_;
    attributeBits_ = other.attributeBits_;
    for (int i = 0; i < 4; ++i) edgeAction_[i] = other.edgeAction_[i];
    flags_ = 0;
    edgeEvents_ = 0;
    edgeMode_ = 0;
}

void GameObject::resetMotion() {}

void GameObject::setFlags(std::uint32_t flags) {
    using namespace object_flag;
    if ((flags & kRevenge) && (flags_ & (kToItemNear | kToItemByCommand))) return;
    flags_ = flags;
    if ((flags & kRevenge) && shape1Image_) {
        shape1Image_->setState(1);
        shape1Image_ = nullptr;
    }
}

void GameObject::addFlags(std::uint32_t flags) {
    using namespace object_flag;
    if ((flags & kRevenge) && (flags_ & (kToItemNear | kToItemByCommand))) return;
    flags_ |= flags;
    if ((flags_ & kRevenge) && shape1Image_) {
        shape1Image_->setState(1);
        shape1Image_ = nullptr;
    }
}

void GameObject::clearFlags(std::uint32_t flags) {
    if (flags_ & flags) flags_ &= ~flags;
}

void GameObject::setLeft(float x) {
    using namespace edge_action;
    const float old = left_;
    left_ = x;
    if (!(leftBound_ < x && x < rightBound_)) {
        // NaN reaches no bound test as true and takes the left action.
        const bool right = x >= rightBound_;
        const std::uint8_t action = edgeAction_[right ? 0 : 1];
        switch (action) {
        case kWrap:
            left_ = right ? leftBound_ : rightBound_;
            break;
        case kVanish:
            setState(1);
            break;
        case kHide:
            left_ = right ? rightBound_ : leftBound_;
            setActive(0);
            break;
        case kReflect:
            if (right && velocityX_ > 0.0f) {
                if (reflectCount_ == 0) {
                    edgeAction_[0] = kVanish;
                    rightBound_ = static_cast<float>(fieldRight_);
                } else {
                    if (reflectCount_ > 0) --reflectCount_;
                    edgeEvents_ |= 1;
                    left_ = rightBound_;
                }
            } else if (!right && velocityX_ < 0.0f) {
                if (reflectCount_ == 0) {
                    edgeAction_[1] = kVanish;
                    leftBound_ = static_cast<float>(fieldLeft_) - width_;
                } else {
                    if (reflectCount_ > 0) --reflectCount_;
                    edgeEvents_ |= 2;
                    left_ = leftBound_;
                }
            }
            break;
        default:  // 0, 3 and every value above 5 clamp
            left_ = right ? rightBound_ : leftBound_;
            break;
        }
    }
    if (mainImage_) mainImage_->setX(deviceX(left_));
    // The centre follows the corner by the same amount (not recomputed from
    // the width, which the image may have changed since).
    centreX_ += left_ - old;
    placeShapeImagesX();
}

void GameObject::setTop(float y) {
    using namespace edge_action;
    const float old = top_;
    top_ = y;
    if (!(topBound_ < y && y < bottomBound_)) {
        const bool bottom = y >= bottomBound_;
        const std::uint8_t action = edgeAction_[bottom ? 2 : 3];
        switch (action) {
        case kWrap:
            top_ = bottom ? topBound_ : bottomBound_;
            break;
        case kVanish:
            setState(1);
            break;
        case kHide:
            top_ = bottom ? bottomBound_ : topBound_;
            setActive(0);
            break;
        case kReflect:
            if (bottom && velocityY_ > 0.0f) {
                if (reflectCount_ == 0) {
                    edgeAction_[2] = kVanish;
                    bottomBound_ = static_cast<float>(fieldBottom_);
                } else {
                    if (reflectCount_ > 0) --reflectCount_;
                    edgeEvents_ |= 4;
                    top_ = bottomBound_;
                }
            } else if (!bottom && velocityY_ < 0.0f) {
                if (reflectCount_ == 0) {
                    edgeAction_[3] = kVanish;
                    topBound_ = static_cast<float>(fieldTop_) - height_;
                } else {
                    if (reflectCount_ > 0) --reflectCount_;
                    edgeEvents_ |= 8;
                    top_ = topBound_;
                }
            }
            break;
        default:
            top_ = bottom ? bottomBound_ : topBound_;
            break;
        }
    }
    if (mainImage_) mainImage_->setY(deviceY(top_));
    centreY_ += top_ - old;
    placeShapeImagesY();
}

void GameObject::placeShapeImagesX() {
    if (shape1Image_) shape1Image_->setX(deviceX(shapeImageX(centreX_, hitShape1Type_, hitShape1_)));
    if (shape2Image_) shape2Image_->setX(deviceX(shapeImageX(centreX_, hitShape2Type_, hitShape2_)));
}

void GameObject::placeShapeImagesY() {
    if (shape1Image_) shape1Image_->setY(deviceY(shapeImageY(centreY_, hitShape1Type_, hitShape1_)));
    if (shape2Image_) shape2Image_->setY(deviceY(shapeImageY(centreY_, hitShape2Type_, hitShape2_)));
}

void GameObject::placeImagesX() {
    if (mainImage_) mainImage_->setX(deviceX(left_));
    placeShapeImagesX();
}

void GameObject::placeImagesY() {
    if (mainImage_) mainImage_->setY(deviceY(top_));
    placeShapeImagesY();
}

float GameObject::hitDistanceSquared(float x, float y) const {
    const float dx = x - getHitX();
    const float dy = y - getHitY();
    return dx * dx + dy * dy;
}

void GameObject::setEdgeBoundsMax(float dx, float dy) {
    rightBound_ = static_cast<float>(fieldRight_) + dx;
    bottomBound_ = static_cast<float>(fieldBottom_) + dy;
}

void GameObject::setEdgeBoundsMin(float dx, float dy) {
    leftBound_ = static_cast<float>(fieldLeft_) + dx;
    topBound_ = static_cast<float>(fieldTop_) + dy;
}

void GameObject::setEdgeAction(std::int32_t axis, std::int32_t side, std::int32_t action) {
    if (axis < 0 || axis > 1) {
        logFailure("GameObject", 689, E_FAIL);
        return;
    }
    if (side < 0 || side > 1) {
        logFailure("GameObject", 698, E_FAIL);
        return;
    }
    edgeAction_[axis * 2 + side] = static_cast<std::uint8_t>(action);
}

void GameObject::setAllEdgeActions(std::int32_t action) {
    for (std::uint8_t& edge : edgeAction_) edge = static_cast<std::uint8_t>(action);
}

void GameObject::layerImages(std::int32_t level) {
    if (mainImage_) mainImage_->setLayer(level);
    if (shape1Image_) shape1Image_->setLayer(level + 1);
    if (shape2Image_) shape2Image_->setLayer(level + 2);
}

Sprite* GameObject::setImage(Sprite* sprite) {
    if (!sprite) return nullptr;
    if (mainImage_) mainImage_->setState(1);
    mainImage_ = sprite;
    updateSizeFromImage();
    sprite->setLayer(drawLevel_);
    sprite->setActive(active_);
    if (shape1Image_) {
        shape1Image_->setLayer(drawLevel_ + 1);
        shape1Image_->setActive(active_);
    }
    if (shape2Image_) {
        shape2Image_->setLayer(drawLevel_ + 2);
        shape2Image_->setActive(active_);
    }
    return sprite;
}

void GameObject::setShapeImages(Sprite* shape1, Sprite* shape2) {
    if (shape1Image_ && shape1Image_ != shape1) shape1Image_->setState(1);
    if (shape2Image_ && shape2Image_ != shape2) shape2Image_->setState(1);
    shape1Image_ = shape1;
    shape2Image_ = shape2;
    setDrawLevel(drawLevel_);
    placeShapeImagesX();
    placeShapeImagesY();
}

void GameObject::updateSizeFromImage() {
    if (!mainImage_) return;
    width_ = virtualX(mainImage_->getWidth());
    height_ = virtualY(mainImage_->getHeight());
    left_ = centreX_ - width_ / 2.0f;
    top_ = centreY_ - height_ / 2.0f;
}

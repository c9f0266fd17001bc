// Stand-in for the game object, until the objects work brings the real one
// (which replaces this file): plain fields with the names and signatures the
// script runtime calls, no edge rules, no images.
#pragma once
#include <cstdint>

#include "services/ResourceObject.h"

inline constexpr std::int32_t kShapeCircle = 1035;
inline constexpr std::int32_t kShapeRect = 1036;

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

namespace object_kind {
inline constexpr std::uint8_t kPlain = 0;
inline constexpr std::uint8_t kPlayer = 1;
inline constexpr std::uint8_t kEnemy = 2;
inline constexpr std::uint8_t kBullet = 3;
inline constexpr std::uint8_t kBulletEnemy = 6;
}  // namespace object_kind

namespace object_flag {
inline constexpr std::uint32_t kFollowPlayerX = 0x10;
inline constexpr std::uint32_t kFollowPlayerY = 0x20;
inline constexpr std::uint32_t kFollowParentX = 0x40;
inline constexpr std::uint32_t kFollowParentY = 0x80;
inline constexpr std::uint32_t kRevenge = 0x100;
}  // namespace object_flag

class GameObject : public ResourceObject {
public:
    GameObject();
    ~GameObject() override;

    void setState(std::uint32_t state) override;
    virtual void setFlags(std::uint32_t flags);
    virtual void addFlags(std::uint32_t flags);
    virtual void clearFlags(std::uint32_t flags);

    void setLeft(float x);
    void setTop(float y);
    void moveX(float dx) { setLeft(left_ + dx); }
    void moveY(float dy) { setTop(top_ + dy); }
    void setX(float x);
    void setY(float y);
    void shiftX(float dx) { setX(centreX_ + dx); }
    void shiftY(float dy) { setY(centreY_ + dy); }

    float getLeft() const { return left_; }
    float getTop() const { return top_; }
    float getX() const { return centreX_; }
    float getY() const { return centreY_; }
    float getWidth() const { return width_; }
    float getHeight() const { return height_; }
    float getVelocityX() const { return velocityX_; }
    float getVelocityY() const { return velocityY_; }
    float getAccelX() const { return accelX_; }
    float getAccelY() const { return accelY_; }

    float getHitX() const { return centreX_ + hitShape1_.offsetX; }
    float getHitY() const { return centreY_ + hitShape1_.offsetY; }
    const HitShape& getHitShape1() const { return hitShape1_; }
    const HitShape& getHitShape2() const { return hitShape2_; }
    std::int32_t getHitShapeType() const { return hitShape1Type_; }
    std::int32_t getHitShape2Type() const { return hitShape2Type_; }

    void setEdgeBoundsMax(float dx, float dy);
    void setEdgeBoundsMin(float dx, float dy);
    float getRightBound() const { return rightBound_; }
    float getLeftBound() const { return leftBound_; }
    float getBottomBound() const { return bottomBound_; }
    float getTopBound() const { return topBound_; }
    // The edge action of each side (right, left, bottom, top); the stand-in
    // stores them and applies none.
    void applyImageBounds(std::int32_t mode) {
        for (std::uint8_t& action : edgeAction_) action = static_cast<std::uint8_t>(mode);
    }
    std::uint8_t getEdgeAction(int index) const { return edgeAction_[index & 3]; }

    void setKind(std::uint8_t kind) { kind_ = kind; }
    std::uint8_t getKind() const { return kind_; }
    void setAttributeBits(std::uint32_t bits) { attributeBits_ = static_cast<std::uint8_t>(bits); }
    std::uint8_t getAttributeBits() const { return attributeBits_; }
    std::uint32_t getFlags() const { return flags_; }
    std::int32_t getBuzzCount() const { return buzzCount_; }
    void setBuzzCount(std::int32_t count) { buzzCount_ = count; }

protected:
    float left_ = 0.0f;
    float top_ = 0.0f;
    float centreX_ = 0.0f;
    float centreY_ = 0.0f;
    float velocityX_ = 0.0f;
    float velocityY_ = 0.0f;
    float width_ = 0.0f;
    float height_ = 0.0f;
    float rightBound_ = 2000.0f;
    float bottomBound_ = 2000.0f;
    float leftBound_ = -2000.0f;
    float topBound_ = -2000.0f;
    HitShape hitShape1_{0.0f, 0.0f, 16.0f, 256.0f, 0.0f, 0.0f, 16.0f, 16.0f, 0.0f};
    HitShape hitShape2_{};
    std::int32_t hitShape1Type_ = kShapeCircle;
    std::int32_t hitShape2Type_ = kShapeCircle;
    float accelX_ = 0.0f;
    float accelY_ = 0.0f;
    std::uint8_t edgeAction_[4] = {2, 2, 2, 2};
    std::uint32_t flags_ = 0;
    std::int32_t buzzCount_ = 0;
    std::uint8_t kind_ = 0;
    std::uint8_t attributeBits_ = 0;
};

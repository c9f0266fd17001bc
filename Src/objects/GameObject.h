// The base of every object on the play field and in the menus: one rectangle
// in virtual-screen units (640 x 480) with its velocity and acceleration, the
// bounds at which it leaves the field and what happens there, two hit shapes,
// a flag word, a draw level, a kind code and up to three image sprites that
// follow it. Motion that scripts ask for lives in BulletObject.
#pragma once
#include <cstdint>

#include "objects/HitShape.h"
#include "services/ResourceObject.h"
#include "services/Truncate.h"

class Sprite;

// Kind codes set by the creating commands.
namespace object_kind {
inline constexpr std::uint8_t kPlain = 0;
inline constexpr std::uint8_t kPlayer = 1;
inline constexpr std::uint8_t kEnemy = 2;
inline constexpr std::uint8_t kBullet = 3;
inline constexpr std::uint8_t kShot = 4;
inline constexpr std::uint8_t kGroundEnemy = 5;
inline constexpr std::uint8_t kBulletEnemy = 6;
inline constexpr std::uint8_t kSelectable = 8;
inline constexpr std::uint8_t kBomb = 9;
inline constexpr std::uint8_t kFirstItem = 10;
inline constexpr std::uint8_t kLastItem = 17;
inline constexpr std::uint8_t kPause = 18;
inline constexpr std::uint8_t kPauseRun = 19;
}  // namespace object_kind

// Flag bits with a fixed meaning.
namespace object_flag {
inline constexpr std::uint32_t kCollecting = 0x1;
inline constexpr std::uint32_t kFollowPlayerX = 0x10;
inline constexpr std::uint32_t kFollowPlayerY = 0x20;
inline constexpr std::uint32_t kFollowParentX = 0x40;
inline constexpr std::uint32_t kFollowParentY = 0x80;
inline constexpr std::uint32_t kFollowAny = 0xF0;
inline constexpr std::uint32_t kRevenge = 0x100;
inline constexpr std::uint32_t kRevengeFromParent = 0x200;
inline constexpr std::uint32_t kSelected = 0x1000;
inline constexpr std::uint32_t kDecided = 0x2000;
inline constexpr std::uint32_t kWaiting = 0x4000;
inline constexpr std::uint32_t kToItemNear = 0x10000;
inline constexpr std::uint32_t kToItemByCommand = 0x20000;
inline constexpr std::uint32_t kBreakUp = 0x40000;
}  // namespace object_flag

// Edge actions.
namespace edge_action {
inline constexpr std::uint8_t kClamp = 0;
inline constexpr std::uint8_t kWrap = 1;
inline constexpr std::uint8_t kVanish = 2;
inline constexpr std::uint8_t kClampToo = 3;
inline constexpr std::uint8_t kHide = 4;
inline constexpr std::uint8_t kReflect = 5;
}  // namespace edge_action

class GameObject : public ResourceObject {
public:
    GameObject();
    // Each existing image child gets state 1 (its sprite manager removes it).
    ~GameObject() override;

    // Slot 10: the flag, passed on to each image child. Defined here, as are
    // the setters below, so that a bullet's creation, which sets a dozen
    // values on an object without images, calls none of them out of line.
    std::int32_t setActive(std::int32_t active) override {
        ResourceObject::setActive(active);
        // Most objects (every plain bullet) have no image.
        if (hasImages()) passActiveToImages(active);
        return active;
    }
    // Slot 12: the state, passed on to each image child; a non-zero state also
    // makes the object inactive.
    void setState(std::uint32_t state) override {
        state_ = state;
        if (hasImages()) passStateToImages(state);
        if (state != 0) setActive(0);
    }
    // Slot 14: geometry, velocity, bounds, hit shapes and looks of another
    // object; not the radius squared, the angles, flags, edge events or mode.
    virtual void copyFrom(GameObject& other);
    // Slot 15: nothing at this level.
    virtual void resetMotion();
    // Slots 16-18: the flag rules (revenge mode refused while the object is
    // flagged for conversion into an item).
    virtual void setFlags(std::uint32_t flags);
    virtual void addFlags(std::uint32_t flags);
    virtual void clearFlags(std::uint32_t flags);

    // Position with edge rules: the corner moves, the edge actions apply, the
    // images follow.
    void setLeft(float x);
    void setTop(float y);
    void moveBy(float dx, float dy) {
        setLeft(left_ + dx);
        setTop(top_ + dy);
    }
    void moveX(float dx) { setLeft(left_ + dx); }
    void moveY(float dy) { setTop(top_ + dy); }
    // Centre placement without edge rules; the images still go where the
    // object is.
    void setX(float x) {
        centreX_ = x;
        left_ = x - width_ / 2.0f;
        if (hasImages()) placeImagesX();
    }
    void setY(float y) {
        centreY_ = y;
        top_ = y - height_ / 2.0f;
        if (hasImages()) placeImagesY();
    }
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
    void setVelocityX(float v) { velocityX_ = v; }
    void setVelocityY(float v) { velocityY_ = v; }
    float getAccelX() const { return accelX_; }
    float getAccelY() const { return accelY_; }
    void setAccelX(float a) { accelX_ = a; }
    void setAccelY(float a) { accelY_ = a; }
    float getPreviousX() const { return previousX_; }
    float getPreviousY() const { return previousY_; }
    float getFollowOffsetX() const { return followOffsetX_; }
    float getFollowOffsetY() const { return followOffsetY_; }

    // Centre of hit shape 1 and the squared distance from it to a point.
    float getHitX() const { return centreX_ + hitShape1_.offsetX; }
    float getHitY() const { return centreY_ + hitShape1_.offsetY; }
    float hitDistanceSquared(float x, float y) const;
    const HitShape& getHitShape1() const { return hitShape1_; }
    const HitShape& getHitShape2() const { return hitShape2_; }
    std::int32_t getHitShapeType() const { return hitShape1Type_; }
    std::int32_t getHitShape2Type() const { return hitShape2Type_; }
    // Hit shapes from scripts (GameObjectHitShapes.cpp): setHitShape sets
    // both type words and shape 1's values, setBuzzShape shape 2's type and
    // values. Each releases the shape's overlay first and, with
    // "collisiondisplay" on, makes a new one.
    void setHitShape(std::int32_t type, float p1, float p2, float p3, float p4);
    void setBuzzShape(std::int32_t type, float p1, float p2, float p3, float p4);
    // 1 when this object's shape 1 (hitTest) or shape 2 (buzzTest) overlaps
    // the other's. Without a stage number, "stagenum" is read from the game
    // records; the collision pass reads it once and passes it in.
    std::int32_t hitTest(const GameObject& other) const;
    std::int32_t buzzTest(const GameObject& other) const;
    std::int32_t hitTest(const GameObject& other, std::int32_t stageNum) const;
    std::int32_t buzzTest(const GameObject& other, std::int32_t stageNum) const;
    // 1 when hit shape 1 reaches into the field.
    std::int32_t isHitShapeInField() const;
    float getHitRadiusSquared() const { return hitShape1_.radiusSquared; }
    // Takes one graze while any are left.
    void decBuzzCount() {
        if (buzzCount_ > 0) --buzzCount_;
    }

    // Field limits (integers, truncated toward zero) and the edge bounds.
    void setFieldRangeX(float left, float right) {
        fieldLeft_ = truncateToInt32(left);
        fieldRight_ = truncateToInt32(right);
    }
    void setFieldRangeY(float top, float bottom) {
        fieldTop_ = truncateToInt32(top);
        fieldBottom_ = truncateToInt32(bottom);
    }
    std::int32_t getFieldLeft() const { return fieldLeft_; }
    std::int32_t getFieldRight() const { return fieldRight_; }
    std::int32_t getFieldTop() const { return fieldTop_; }
    std::int32_t getFieldBottom() const { return fieldBottom_; }
    // 1 when the centre lies inside the field (left and top inclusive).
    std::int32_t isInsideField() const {
        return centreX_ >= static_cast<float>(fieldLeft_) && centreX_ < static_cast<float>(fieldRight_) &&
                       centreY_ >= static_cast<float>(fieldTop_) && centreY_ < static_cast<float>(fieldBottom_)
                   ? 1
                   : 0;
    }
    void setEdgeBoundsMax(float dx, float dy);
    void setEdgeBoundsMin(float dx, float dy);
    float getRightBound() const { return rightBound_; }
    float getLeftBound() const { return leftBound_; }
    float getBottomBound() const { return bottomBound_; }
    float getTopBound() const { return topBound_; }

    // Axis 0 horizontal, 1 vertical; side 0 right or bottom, 1 left or top.
    void setEdgeAction(std::int32_t axis, std::int32_t side, std::int32_t action);
    void setAllEdgeActions(std::int32_t action);
    std::uint8_t getEdgeAction(int index) const { return edgeAction_[index & 3]; }
    // The script commands' names for the two: image bounds mode (1 loop =
    // wrap, 0 stop = clamp, 2 vanish) and one corner's action.
    void applyImageBounds(std::int32_t mode) { setAllEdgeActions(mode); }
    void applyCornerBounds(std::int32_t axis, std::int32_t side, std::int32_t mode) { setEdgeAction(axis, side, mode); }

    void setEdgeMode(std::uint8_t mode) { edgeMode_ = mode; }
    std::uint8_t getEdgeMode() const { return edgeMode_; }
    std::uint8_t getEdgeEvents() const { return edgeEvents_; }
    void setKind(std::uint8_t kind) { kind_ = kind; }
    std::uint8_t getKind() const { return kind_; }
    // Keeps the low 8 bits of the value.
    void setAttributeBits(std::uint32_t bits) { attributeBits_ = static_cast<std::uint8_t>(bits); }
    std::uint8_t getAttributeBits() const { return attributeBits_; }
    void setReflectCount(std::int32_t count) { reflectCount_ = count; }
    std::int32_t getReflectCount() const { return reflectCount_; }
    void setReflectOption(std::uint8_t option) { reflectOption_ = option; }
    std::uint8_t getReflectOption() const { return reflectOption_; }
    std::uint32_t getFlags() const { return flags_; }
    std::int32_t getBuzzCount() const { return buzzCount_; }
    void setBuzzCount(std::int32_t count) { buzzCount_ = count; }

    // Negative levels become 0; the images get level, level + 1, level + 2.
    std::int32_t setDrawLevel(std::int32_t level) {
        if (level < 0) level = 0;
        drawLevel_ = level;
        if (hasImages()) layerImages(level);
        return level;
    }
    std::int32_t getDrawLevel() const { return drawLevel_; }

    // Images: the main one and the two that show the hit shapes.
    Sprite* getImage() const { return mainImage_; }
    Sprite* getShape1Image() const { return shape1Image_; }
    Sprite* getShape2Image() const { return shape2Image_; }
    // Replaces the main image (the old one gets state 1); null changes nothing
    // and returns null.
    Sprite* setImage(Sprite* sprite);
    void setShapeImages(Sprite* shape1, Sprite* shape2);
    // Width and height from the main image (device to virtual units), then
    // the corner from the centre.
    void updateSizeFromImage();

protected:
    // Gives each image child state 1 and forgets it.
    void releaseImages();
    // One test of the three pointers together rather than three branches:
    // every setter asks, and nearly every object has none.
    bool hasImages() const {
        return (reinterpret_cast<std::uintptr_t>(mainImage_) | reinterpret_cast<std::uintptr_t>(shape1Image_) |
                reinterpret_cast<std::uintptr_t>(shape2Image_)) != 0;
    }
    // Places the two shape images after the centre moved.
    void placeShapeImagesX();
    void placeShapeImagesY();
    // The images' part of the setters above, for an object with images.
    void passActiveToImages(std::int32_t active);
    void passStateToImages(std::uint32_t state);
    void placeImagesX();
    void placeImagesY();
    void layerImages(std::int32_t level);

    // Layout: what every frame's object step reads and writes comes first,
    // next to the object's header, so a moving object touches few cache
    // lines; the rest follows. Corner, centre, velocity, acceleration and
    // the two bound corners are x-y pairs, x declared right before y: the
    // motion step reads and writes each pair as one value (FloatPair.h).
    float left_ = 0.0f;
    float top_ = 0.0f;
    float centreX_ = 0.0f;
    float centreY_ = 0.0f;
    float velocityX_ = 0.0f;
    float velocityY_ = 0.0f;
    float accelX_ = 0.0f;
    float accelY_ = 0.0f;
    float previousX_ = 0.0f;
    float previousY_ = 0.0f;
    float rightBound_ = 2000.0f;
    float bottomBound_ = 2000.0f;
    float leftBound_ = -2000.0f;
    float topBound_ = -2000.0f;
    Sprite* mainImage_ = nullptr;
    Sprite* shape1Image_ = nullptr;
    Sprite* shape2Image_ = nullptr;
    std::uint32_t flags_ = 0;
    float direction_ = 0.0f;
    float targetDirection_ = 0.0f;
    float directionStep_ = 0.0f;
    std::uint8_t edgeEvents_ = 0;
    std::uint8_t kind_ = 0;
    float width_ = 0.0f;
    float height_ = 0.0f;
    float followOffsetX_ = 0.0f;
    float followOffsetY_ = 0.0f;
    HitShape hitShape1_{0.0f, 0.0f, 16.0f, 256.0f, 0.0f, 0.0f, 16.0f, 16.0f, 0.0f};
    HitShape hitShape2_{};
    float imageAngle_ = 0.0f;
    float spinStep_ = 0.0f;
    std::int32_t hitShape1Type_ = kShapeCircle;
    std::int32_t hitShape2Type_ = kShapeCircle;
    std::int32_t drawLevel_ = 0;
    std::int32_t reflectCount_ = -1;
    std::int32_t fieldLeft_ = 0;
    std::int32_t fieldRight_ = 640;
    std::int32_t fieldTop_ = 0;
    std::int32_t fieldBottom_ = 480;
    std::int32_t buzzCount_ = 0;
    std::uint8_t edgeAction_[4] = {2, 2, 2, 2};  // right, left, bottom, top
    std::uint8_t edgeMode_ = 0;
    std::uint8_t attributeBits_ = 0;
    std::uint8_t reflectOption_ = 0;
};

// Defaulted here, after the class, rather than in it: a constructor defaulted
// at its first declaration would have `new (block) T()` zero the whole
// object before the member initialisers run.
inline GameObject::GameObject() = default;

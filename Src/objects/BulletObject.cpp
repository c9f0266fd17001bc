#include "objects/BulletObject.h"

#include <cmath>
#include <cstdlib>
#include <typeinfo>

#include "graphics/Sprite.h"
#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "objects/BulletObjectStep.h"
#include "objects/IntBulletObjectManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SineTable.h"

namespace {
// Whole turns off an angle above 360 or below -360; 360 and -360 stay. The
// same result as subtracting 360 until it fits (exact wherever those
// subtractions are, |d| < 2^27), but it ends for every input (infinity gives
// NaN).
float reduceTurns(float degrees) {
    if (degrees > 360.0f) {
        const float rest = static_cast<float>(std::fmod(static_cast<double>(degrees), 360.0));
        return rest == 0.0f ? 360.0f : rest;
    }
    if (degrees < -360.0f) {
        const float rest = static_cast<float>(std::fmod(static_cast<double>(degrees), 360.0));
        return rest == 0.0f ? -360.0f : rest;
    }
    return degrees;
}

// Whole turns off an angle at or beyond +-360, into (-360, 360).
float reduceTurnsOpen(float degrees) {
    if (degrees >= 360.0f || degrees <= -360.0f) {
        // + 0.0 turns the remainder -0 of a negative multiple into the +0
        // that repeated additions give.
        return static_cast<float>(std::fmod(static_cast<double>(degrees), 360.0) + 0.0);
    }
    return degrees;
}

bool isRotatedShape(std::int32_t type) { return type == kShapeRotated || type == kShapeRotatedEdge; }

using sine_table::kDegreesPerRadian;
}  // namespace

BulletObject::~BulletObject() {
    // An object given back to its pool let go of everything on destroy.
    if (holdsResources()) releaseResources();
}

void BulletObject::releaseResources() {
    settleWait();
    // One after the other, each let go of before it is destroyed (written
    // out: this runs for every object destroyed).
    const auto release = [](ExBulletML_Runtime*& runtime) {
        ExBulletML_Runtime* held = runtime;
        runtime = nullptr;
        if (held) held->destroy();
    };
    release(mainRuntime_);
    release(presentRuntime_);
    release(revengeRuntime_);
    release(damageRuntime_);
    if (familyOwner_) familyOwner_->removeChild(this);
    parent_ = nullptr;
    while (firstChild_) {
        BulletObject* child = firstChild_;
        removeChild(child);
        child->parent_ = nullptr;
    }
    releaseImages();
}

ResourceObject* BulletObject::destroy(std::uint32_t) {
    if (list_) list_->detach(this);
    IntBulletObjectManager::forgetTargets(this);
    if (g_bulletObjectManager) g_bulletObjectManager->forgetObject(this);
    releaseResources();
    if (pins_ > 0) {
        // A reference still names it: keep the block and the last values, and
        // read as dead.
        released_ = 1;
        if (state_ == 0) state_ = 1;
        active_ = 0;
        return this;
    }
    giveBlockBack();
    return this;
}

void BulletObject::giveBlockBack() {
    void* block = this;
    this->~BulletObject();
    BulletObjectAllocator::instance().giveBack(block);
}

void BulletObject::unpin() {
    if (pins_ > 0) --pins_;
    if (pins_ == 0 && released_) giveBlockBack();
}

void BulletObject::init() {
    ResourceObject::init();
    resetMotion();
    vital_ = -1.0f;
    prateRate_ = 0.0f;
    score_ = 0;
    groupId_ = 0;
    extraWords_[0] = 0;
    extraWords_[1] = 0;
    extraWords_[2] = 1024;
    // The runtimes are stopped and let go; they go back to their pool rather
    // than being lost to it.
    settleWait();
    for (ExBulletML_Runtime** runtime : {&mainRuntime_, &presentRuntime_, &revengeRuntime_, &damageRuntime_}) {
        ExBulletML_Runtime* held = *runtime;
        *runtime = nullptr;
        if (held) {
            held->stop(1);
            held->destroy();
        }
    }
    // The object linked as parent is killed and the link cleared.
    if (BulletObject* parent = parent_) {
        parent->setState(1);
        setParent(nullptr);
    }
    turn_.runtimeActive = 0;
    turn_.damageArmed = 0;
}

void BulletObject::setState(std::uint32_t state) {
    settleWait();
    // The three taken before any is stopped, one by one rather than looped
    // over a list: every vanishing bullet comes through here.
    ExBulletML_Runtime* const main = mainRuntime_;
    ExBulletML_Runtime* const present = presentRuntime_;
    ExBulletML_Runtime* const revenge = revengeRuntime_;
    const auto flag = static_cast<std::int32_t>(state);
    if (main) main->stop(flag);
    if (present) present->stop(flag);
    if (revenge) revenge->stop(flag);
    GameObject::setState(state);
}

void BulletObject::resetMotion() {
    setDirection(0.0f);
    targetDirection_ = 0.0f;
    directionStep_ = 0.0f;
    targetSpeed_ = 0.0f;
    speedStep_ = 0.0f;
    imageAngle_ = 0.0f;
    spinStep_ = 0.0f;
    accelTargetX_ = 0.0f;
    accelTargetY_ = 0.0f;
    accelStepX_ = 0.0f;
    accelStepY_ = 0.0f;
    prateRate_ = 0.0f;
    switches_.directionChange = 0;
    switches_.speedChange = 0;
    switches_.accel = 0;
    spinOn_ = 0;
    imageAngleMode_ = image_angle::kNone;
    switches_.imageAngle = 0;
    spinFrames_ = 0;
    accelFrames_ = 0;
    age_ = 0;
    timers_.invincibleFrames = 0;
    extraWords_[0] = 0;
    extraWord2_ = 0;
    extraWord3_ = 0;
    extraFlag_ = 0;
    breakable_ = 1;
}

void BulletObject::setFlags(std::uint32_t flags) {
    GameObject::setFlags(flags);
    if (firstChild_ && !(attributeBits_ & 8) && (flags & object_flag::kRevenge) && childLink_ == 1) {
        for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
            child->setFlags(flags | object_flag::kRevengeFromParent);
        }
    }
}

void BulletObject::addFlags(std::uint32_t flags) {
    GameObject::addFlags(flags);
    if (firstChild_ && !(attributeBits_ & 8) && (flags & object_flag::kRevenge) && childLink_ == 1) {
        for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
            child->addFlags(flags | object_flag::kRevengeFromParent);
        }
    }
}

void BulletObject::clearFlags(std::uint32_t flags) {
    GameObject::clearFlags(flags);
    if (firstChild_ && !(attributeBits_ & 8) && (flags & object_flag::kRevenge) && childLink_ == 1) {
        for (BulletObject* child = firstChild_; child; child = child->nextSibling_) child->clearFlags(flags);
    }
}

void BulletObject::copyMotionFrom(BulletObject& other) {
    copyFrom(other);
    takeDirection(other.direction_);
    speed_ = other.speed_;
    targetSpeed_ = other.speed_;
    timers_.invincibleFrames = other.timers_.invincibleFrames;
    targetDirection_ = other.targetDirection_;
    directionStep_ = other.directionStep_;
    directionFrames_ = other.directionFrames_;
    accelTargetX_ = other.accelTargetX_;
    accelTargetY_ = other.accelTargetY_;
    accelStepX_ = other.accelStepX_;
    accelStepY_ = other.accelStepY_;
    accelFrames_ = other.accelFrames_;
    breakable_ = other.breakable_;
    extraFlag_ = other.extraFlag_;
    extraWords_[1] = other.extraWords_[1];
    extraWords_[2] = other.extraWords_[2];
    extraWord2_ = other.extraWord2_;
    extraWord3_ = other.extraWord3_;
    age_ = 0;
    timers_.countdown = 0;
    prateRate_ = 0.0f;
    extraWords_[0] = 0;
}

std::int32_t BulletObject::runMainOrRevenge() {
    settleWait();
    if (!turn_.runtimeActive) return 1;
    if (flags_ & object_flag::kRevenge) {
        if (revengeRuntime_) return revengeRuntime_->run();
        if (timers_.countdown == 0) setState(1);
        return 0;
    }
    return mainRuntime_ ? mainRuntime_->run() : 1;
}

std::int32_t BulletObject::runPresent() { return runPresentScript(); }

std::int32_t BulletObject::runDamage() { return runDamageScript(); }

void BulletObject::takeDirection(float degrees) {
    direction_ = degrees;
    directionSin_ = sine_table::sinDeg(degrees);
    directionMinusCos_ = -sine_table::cosDeg(degrees);
}

void BulletObject::recomputeVelocity() {
    velocityX_ = directionSin_ * speed_;
    velocityY_ = directionMinusCos_ * speed_;
}

void BulletObject::setDirection(float degrees) {
    takeDirection(reduceTurns(degrees));
    recomputeVelocity();
}

void BulletObject::setSpeed(float speed) {
    speed_ = speed;
    recomputeVelocity();
}

void BulletObject::setDirectionAndSpeed(float degrees, float speed) {
    // setDirection works the velocity out from the speed already in place.
    speed_ = speed;
    setDirection(degrees);
}

void BulletObject::changeSpeed(float target, std::int32_t frames) {
    if (frames == 0) frames = 1;
    targetSpeed_ = target;
    speedFrames_ = frames;
    speedStep_ = (target - speed_) / static_cast<float>(frames);
    switches_.speedChange = 1;
}

void BulletObject::changeDirectionRelative(float value, std::int32_t frames) {
    if (frames == 0) frames = 1;
    targetDirection_ = direction_ + value;
    directionStep_ = value / static_cast<float>(frames);
    directionFrames_ = frames;
    switches_.directionChange = 1;
}

void BulletObject::changeDirectionSequence(float value, std::int32_t frames) {
    if (frames == 0) frames = 1;
    directionStep_ = value;
    targetDirection_ = direction_ + value * static_cast<float>(frames);
    directionFrames_ = frames;
    switches_.directionChange = 1;
}

void BulletObject::changeDirectionAbsolute(float angle, std::int32_t frames) {
    if (frames == 0) frames = 1;
    takeDirection(reduceTurnsOpen(direction_));
    float turnTo = angle;
    if (angle - direction_ > 180.0f) turnTo = angle - 360.0f;
    targetDirection_ = turnTo - direction_ < -180.0f ? turnTo + 360.0f : turnTo;
    directionStep_ = (targetDirection_ - direction_) / static_cast<float>(frames);
    directionFrames_ = frames;
    switches_.directionChange = 1;
}

void BulletObject::setAccel(float x, float y, std::int32_t frames) {
    if (frames == 0) frames = 1;
    accelTargetX_ = x;
    accelTargetY_ = y;
    accelStepX_ = x / static_cast<float>(frames);
    accelStepY_ = y / static_cast<float>(frames);
    accelFrames_ = frames;
    switches_.accel = 1;
}

void BulletObject::rotateImage(float step, std::int32_t frames) {
    if (frames == 0) frames = 1;
    spinStep_ = step;
    spinFrames_ = frames;
    spinOn_ = 1;
    const float angle = reduceTurns(imageAngle_ + direction_);
    if (isRotatedShape(hitShape1Type_)) {
        hitShape1_.angle = angle;
        if (shape1Image_) shape1Image_->setAngle(static_cast<std::uint32_t>(hitShape1Type_), angle);
    }
    if (isRotatedShape(hitShape2Type_)) {
        hitShape2_.angle = angle;
        if (shape2Image_) shape2Image_->setAngle(static_cast<std::uint32_t>(hitShape2Type_), angle);
    }
}

void BulletObject::setImageDirection(std::int32_t mode, float angle) {
    imageAngleMode_ = mode;
    switches_.imageAngle = mode != image_angle::kNone ? 1 : 0;
    imageAngle_ = angle;
}

void BulletObject::addVital(float delta) {
    if (vital_ > 0.0f) {
        vital_ += delta;
        if (vital_ < 0.0f) vital_ = 0.0f;
    } else {
        vital_ += delta;
    }
}

std::int32_t BulletObject::getScoreDigits() const {
    std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(score_));
    std::int32_t digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return digits;
}

std::int32_t BulletObject::getScoreMagnitude() const {
    std::int32_t magnitude = 1;
    for (std::int32_t i = 1; i < getScoreDigits(); ++i) magnitude *= 10;
    return magnitude;
}

void BulletObject::stepCollectDelay() {
    if (collectDelay_ > 0) {
        --collectDelay_;
        if (collectDelay_ == 0) addFlags(object_flag::kCollecting);
    }
}

void BulletObject::setMainRuntime(ExBulletML_Runtime* runtime) {
    settleWait();
    if (mainRuntime_ && mainRuntime_ != runtime) mainRuntime_->destroy();
    mainRuntime_ = runtime;
    mainRuntimeIsBase_ = runtime && typeid(*runtime) == typeid(ExBulletML_Runtime);
    turn_.runtimeActive = 1;
}

void BulletObject::setPresentRuntime(ExBulletML_Runtime* runtime) {
    if (presentRuntime_ && presentRuntime_ != runtime) presentRuntime_->destroy();
    presentRuntime_ = runtime;
}

void BulletObject::setRevengeRuntime(ExBulletML_Runtime* runtime) {
    if (revengeRuntime_ && revengeRuntime_ != runtime) revengeRuntime_->destroy();
    revengeRuntime_ = runtime;
}

void BulletObject::setDamageRuntime(ExBulletML_Runtime* runtime) {
    if (damageRuntime_ && damageRuntime_ != runtime) damageRuntime_->destroy();
    damageRuntime_ = runtime;
}

void BulletObject::restartMainRuntime() {
    settleWait();
    if (mainRuntime_) mainRuntime_->restart();
}

void BulletObject::restartDamageRuntime() {
    if (damageRuntime_) damageRuntime_->restart();
}

bool BulletObject::isMainRuntimeRunning() const {
    settleWait();
    return mainRuntime_ && mainRuntime_->isActive();
}

ExBulletML_Runtime* BulletObject::getMainRuntime() const {
    settleWait();
    return mainRuntime_;
}

bool BulletObject::isDamageRuntimeRunning() const {
    return turn_.damageArmed && damageRuntime_ && damageRuntime_->isActive();
}

void BulletObject::setParent(BulletObject* parent) {
    // The parent link and the parent's child list go together, so a parent's
    // destruction always reaches every object that names it.
    if (parent) {
        parent->addChild(this);
        parent_ = familyOwner_ == parent ? parent : nullptr;
    } else {
        if (familyOwner_) familyOwner_->removeChild(this);
        parent_ = nullptr;
    }
}

void BulletObject::addChild(BulletObject* child) {
    if (!child || child->familyOwner_ == this) return;
    // No cycles: an object cannot become a child of itself or of its own
    // descendants (every family walk would never end).
    for (BulletObject* ancestor = this; ancestor; ancestor = ancestor->familyOwner_) {
        if (ancestor == child) return;
    }
    if (child->familyOwner_) child->familyOwner_->removeChild(child);
    child->familyOwner_ = this;
    child->prevSibling_ = lastChild_;
    child->nextSibling_ = nullptr;
    if (lastChild_) {
        lastChild_->nextSibling_ = child;
    } else {
        firstChild_ = child;
    }
    lastChild_ = child;
}

void BulletObject::removeChild(BulletObject* child) {
    if (!child || child->familyOwner_ != this) return;
    if (child->prevSibling_) {
        child->prevSibling_->nextSibling_ = child->nextSibling_;
    } else {
        firstChild_ = child->nextSibling_;
    }
    if (child->nextSibling_) {
        child->nextSibling_->prevSibling_ = child->prevSibling_;
    } else {
        lastChild_ = child->prevSibling_;
    }
    child->prevSibling_ = nullptr;
    child->nextSibling_ = nullptr;
    child->familyOwner_ = nullptr;
    if (child->parent_ == this) child->parent_ = nullptr;
}

std::int32_t BulletObject::countChildren() const {
    std::int32_t count = 0;
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) ++count;
    return count;
}

void BulletObject::detachFamily() {
    childLink_ = 0;
    if (familyOwner_) familyOwner_->removeChild(this);
    parent_ = nullptr;
    while (firstChild_) removeChild(firstChild_);
}

void BulletObject::dropProtectedChildren() {
    using namespace object_flag;
    BulletObject* child = firstChild_;
    while (child) {
        BulletObject* next = child->nextSibling_;
        if (child->flags_ & (kToItemNear | kToItemByCommand | kBreakUp)) removeChild(child);
        child = next;
    }
}

void BulletObject::setFlagsOnChildren(std::uint32_t flags) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) child->addFlags(flags);
}

void BulletObject::moveChildrenX(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (child->flags_ & object_flag::kFollowParentX) {
            child->moveX(d);
            child->moveChildrenX(d);
        }
    }
}

void BulletObject::moveChildrenY(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (child->flags_ & object_flag::kFollowParentY) {
            child->moveY(d);
            child->moveChildrenY(d);
        }
    }
}

void BulletObject::shiftChildrenX(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (child->flags_ & object_flag::kFollowParentX) {
            child->shiftX(d);
            child->shiftChildrenX(d);
        }
    }
}

void BulletObject::shiftChildrenY(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (child->flags_ & object_flag::kFollowParentY) {
            child->shiftY(d);
            child->shiftChildrenY(d);
        }
    }
}

void BulletObject::changeImageColor(std::uint32_t packed, std::int32_t frames) {
    if (mainImage_) mainImage_->changeColor(packed, frames);
}

bool BulletObject::hasWideName() const { return wideName_ != WideNamePool::instance().emptyName(); }

bool BulletObject::playerDisplacement(float& dx, float& dy) const {
    const BulletObjectManager* manager = g_bulletObjectManager;
    const BulletObject* player = manager ? manager->getPlayer() : nullptr;
    if (!player) return false;
    FrameCounter* frames = g_frameCounter;
    dx = frames ? player->centreX_ - frames->getPlayerX() : 0.0f;
    dy = frames ? player->centreY_ - frames->getPlayerY() : 0.0f;
    return true;
}

void BulletObject::update() { stepMotion(); }

void BulletObject::stepTurnsAndChanges() {
    // 2-3. Acceleration: the last step stays in effect after the term.
    if (switches_.accel) {
        accelFrames_ = wrapDecrement(accelFrames_);
        if (accelFrames_ < 0) {
            accelX_ = 0.0f;
            accelY_ = 0.0f;
        } else {
            accelX_ = accelStepX_;
            accelY_ = accelStepY_;
            if (accelFrames_ == 0) switches_.accel = 0;
        }
    }
    velocityX_ += accelX_;
    velocityY_ += accelY_;

    // 4. Speed change.
    if (switches_.speedChange) stepSpeedChange();

    // 5. A reflection of the last move mirrors the direction now.
    if (edgeEvents_ == 0) {
        // Nothing happened at an edge.
    } else if (edgeEvents_ & 15) {
        if (kind_ >= object_kind::kFirstItem && kind_ <= object_kind::kLastItem &&
            (flags_ & object_flag::kCollecting)) {
            edgeEvents_ = 0;
        } else {
            if (edgeEvents_ & 3) setDirection(360.0f - direction_);
            if (edgeEvents_ & 12) setDirection(180.0f - direction_);
            edgeEvents_ = 16;
        }
    } else {
        edgeEvents_ = 0;
    }

    // 6. Image angle (nothing to do in the plain mode).
    if (imageAngleMode_ != image_angle::kNone) stepImageAngle();

    // 7. Direction change.
    if (switches_.directionChange) stepDirectionChange();

    // 8. Homing: a shot turns to the enemy it has locked on.
    if (kind_ == object_kind::kShot && targetTag_ != 0) {
        if (BulletObjectManager* manager = g_bulletObjectManager) {
            BulletObject* enemy = manager->getEnemyManager()->findTarget(static_cast<std::uint32_t>(targetTag_));
            if (enemy && enemy->targetTag_ != 0 && enemy->state_ == 0 && !(enemy->flags_ & object_flag::kRevenge)) {
                const float dy = enemy->centreY_ - centreY_;
                const float dx = enemy->centreX_ - centreX_;
                setDirection(static_cast<float>(std::atan2(static_cast<double>(dy), static_cast<double>(dx)) *
                                                    kDegreesPerRadian +
                                                90.0));
            }
        }
    }
}

void BulletObject::stepSpeedChange() {
    // It pauses one frame after a mirrored direction.
    speedFrames_ = wrapDecrement(speedFrames_);
    if (speedFrames_ >= 0) {
        if (edgeEvents_ & 16) {
            edgeEvents_ = 0;
        } else if (speedFrames_ == 0) {
            setSpeed(targetSpeed_);
            switches_.speedChange = 0;
        } else {
            setSpeed(speed_ + speedStep_);
        }
    }
}

void BulletObject::stepDirectionChange() {
    if (directionFrames_ > 0) --directionFrames_;
    if (directionFrames_ == 0) {
        setDirection(targetDirection_);
        switches_.directionChange = 0;
    } else {
        setDirection(direction_ + directionStep_);
    }
}

void BulletObject::stepMoveWithExtras(float nextLeft, float nextTop) {
    // 9. Move, with the edge actions. An object without images that stays
    // strictly inside its bounds needs neither: the corner and the centre
    // move exactly as setLeft / setTop would move them.
    if (!hasImages() && leftBound_ < nextLeft && nextLeft < rightBound_ && topBound_ < nextTop &&
        nextTop < bottomBound_) {
        centreX_ += nextLeft - left_;
        left_ = nextLeft;
        centreY_ += nextTop - top_;
        top_ = nextTop;
    } else {
        setLeft(nextLeft);
        setTop(top_ + velocityY_);
    }

    // 10. Following the player or the parent.
    if (flags_ & object_flag::kFollowAny) stepFollowing();

    // 11. Bounds from the image.
    if (mainImage_) stepBoundsFromImage();

    // 12. Colour.
    if (mainImage_) mainImage_->stepColor();
}

void BulletObject::stepImageAngle() {
    switch (imageAngleMode_) {
    case image_angle::kFixed:
        if (mainImage_) mainImage_->setAngle(static_cast<std::uint32_t>(imageAngleMode_), imageAngle_);
        break;
    case image_angle::kAlongDirection:
    case image_angle::kAlongDirectionEdge: {
        const float angle = imageAngle_ + direction_;
        if (mainImage_) mainImage_->setAngle(static_cast<std::uint32_t>(imageAngleMode_), angle);
        if (hitShape1Type_ == imageAngleMode_) {
            hitShape1_.angle = reduceTurns(angle);
            if (shape1Image_) shape1Image_->setAngle(static_cast<std::uint32_t>(hitShape1Type_), hitShape1_.angle);
        }
        if (hitShape2Type_ == imageAngleMode_) {
            hitShape2_.angle = reduceTurns(angle);
            if (shape2Image_) shape2Image_->setAngle(static_cast<std::uint32_t>(hitShape2Type_), hitShape2_.angle);
        }
        break;
    }
    case image_angle::kSpin:
    case image_angle::kSpinEdge:
        if (spinOn_) {
            if (mainImage_) mainImage_->addAngle(static_cast<std::uint32_t>(imageAngleMode_), spinStep_);
            if (isRotatedShape(hitShape1Type_)) {
                hitShape1_.angle += spinStep_;
                if (shape1Image_) shape1Image_->addAngle(static_cast<std::uint32_t>(hitShape1Type_), spinStep_);
            }
            if (isRotatedShape(hitShape2Type_)) {
                hitShape2_.angle += spinStep_;
                if (shape2Image_) shape2Image_->addAngle(static_cast<std::uint32_t>(hitShape2Type_), spinStep_);
            }
            if (spinFrames_ > 0) {
                --spinFrames_;
                if (spinFrames_ == 0) spinOn_ = 0;
            }
        }
        break;
    default:
        break;
    }
}

void BulletObject::stepFollowing() {
    using namespace object_flag;
    if (flags_ & (kFollowPlayerX | kFollowPlayerY)) {
        float dx = 0.0f;
        float dy = 0.0f;
        if (playerDisplacement(dx, dy)) {
            if (flags_ & kFollowPlayerX) moveX(dx);
            if (flags_ & kFollowPlayerY) moveY(dy);
        }
    }
    if (flags_ & kFollowParentX) {
        if (parent_) {
            float offset = parent_->centreX_ - parent_->previousX_;
            if (age_ == 0) offset += parent_->velocityX_;
            followOffsetX_ = offset;
        }
        moveX(followOffsetX_);
    }
    if (flags_ & kFollowParentY) {
        if (parent_) {
            float offset = parent_->centreY_ - parent_->previousY_;
            if (age_ == 0) offset += parent_->velocityY_;
            followOffsetY_ = offset;
        }
        moveY(followOffsetY_);
    }
}

void BulletObject::stepBoundsFromImage() {
    if (!mainImage_) return;
    if (mainImage_->stepSize()) updateSizeFromImage();
    if (imageAngleMode_ == image_angle::kAlongDirection || imageAngleMode_ == image_angle::kAlongDirectionEdge ||
        isRotatedShape(hitShape1Type_)) {
        const float side = width_ > height_ ? width_ : height_;
        width_ = side;
        height_ = side;
    }
    switch (edgeMode_) {
    case 0:
        setEdgeBoundsMax(0.0f, 0.0f);
        setEdgeBoundsMin(-width_, -height_);
        break;
    case 1:
        setEdgeBoundsMax(-width_, -height_);
        setEdgeBoundsMin(0.0f, 0.0f);
        setAllEdgeActions(edge_action::kClamp);
        break;
    case 3:
        break;
    case 4:
        setEdgeBoundsMax(0.0f, 0.0f);
        setEdgeBoundsMin(-width_, -480.0f);
        break;
    default:
        setEdgeBoundsMax(width_, height_);
        setEdgeBoundsMin(-width_, -height_);
        break;
    }
}

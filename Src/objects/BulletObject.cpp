#include "objects/BulletObject.h"

#include <cmath>

#include "runtime/ExBulletML_Runtime.h"

namespace {
constexpr double kDegreesToRadians = 3.14159265358979323846 / 180.0;

void replaceRuntime(ExBulletML_Runtime*& slot, ExBulletML_Runtime* runtime) {
    ExBulletML_Runtime* old = slot;
    slot = runtime;
    if (old && old != runtime) old->destroy();
}
}  // namespace

BulletObject::BulletObject() = default;
BulletObject::~BulletObject() = default;

ResourceObject* BulletObject::destroy(std::uint32_t) {
    replaceRuntime(mainRuntime_, nullptr);
    replaceRuntime(presentRuntime_, nullptr);
    replaceRuntime(revengeRuntime_, nullptr);
    replaceRuntime(damageRuntime_, nullptr);
    leaveParent();
    for (BulletObject* child = firstChild_; child;) {
        BulletObject* next = child->nextSibling_;
        child->parent_ = nullptr;
        child->nextSibling_ = child->prevSibling_ = nullptr;
        child = next;
    }
    firstChild_ = lastChild_ = nullptr;
    delete this;
    return nullptr;
}

std::int32_t BulletObject::runMainOrRevenge() {
    if (!runtimeActive_) return 1;
    if (flags_ & object_flag::kRevenge) {
        if (!revengeRuntime_) {
            setState(1);
            return 1;
        }
        return revengeRuntime_->run();
    }
    return mainRuntime_ ? mainRuntime_->run() : 1;
}

std::int32_t BulletObject::runPresent() { return presentRuntime_ ? presentRuntime_->run() : 1; }

std::int32_t BulletObject::runDamage() {
    if (!damageArmed_ || (flags_ & object_flag::kRevenge) || !damageRuntime_) return 1;
    return damageRuntime_->run();
}

void BulletObject::update() {
    ++age_;
    if (speedFrames_ > 0) {
        --speedFrames_;
        setSpeed(speedFrames_ == 0 ? targetSpeed_ : speed_ + speedStep_);
    }
    if (directionFrames_ > 0) {
        --directionFrames_;
        setDirection(directionFrames_ == 0 ? targetDirection_ : direction_ + directionStep_);
    }
    if (accelFrames_ > 0) {
        --accelFrames_;
        accelX_ = accelStepX_;
        accelY_ = accelStepY_;
    }
    velocityX_ += accelX_;
    velocityY_ += accelY_;
    setLeft(left_ + velocityX_);
    setTop(top_ + velocityY_);
}

void BulletObject::recomputeVelocity() {
    double radians = direction_ * kDegreesToRadians;
    velocityX_ = static_cast<float>(std::sin(radians) * speed_);
    velocityY_ = static_cast<float>(-std::cos(radians) * speed_);
}

void BulletObject::setDirection(float degrees) {
    direction_ = degrees;
    recomputeVelocity();
}

void BulletObject::setSpeed(float speed) {
    speed_ = speed;
    recomputeVelocity();
}

void BulletObject::changeDirectionAbsolute(float angle, std::int32_t frames) {
    if (frames <= 0) frames = 1;
    float turn = std::fmod(angle - direction_, 360.0f);
    if (turn > 180.0f) turn -= 360.0f;
    if (turn < -180.0f) turn += 360.0f;
    targetDirection_ = direction_ + turn;
    directionStep_ = turn / static_cast<float>(frames);
    directionFrames_ = frames;
}

void BulletObject::changeDirectionRelative(float value, std::int32_t frames) {
    if (frames <= 0) frames = 1;
    targetDirection_ = direction_ + value;
    directionStep_ = value / static_cast<float>(frames);
    directionFrames_ = frames;
}

void BulletObject::changeDirectionSequence(float value, std::int32_t frames) {
    if (frames <= 0) frames = 1;
    targetDirection_ = direction_ + value * static_cast<float>(frames);
    directionStep_ = value;
    directionFrames_ = frames;
}

void BulletObject::changeSpeed(float target, std::int32_t frames) {
    if (frames <= 0) frames = 1;
    targetSpeed_ = target;
    speedStep_ = (target - speed_) / static_cast<float>(frames);
    speedFrames_ = frames;
}

void BulletObject::setAccel(float x, float y, std::int32_t frames) {
    if (frames <= 0) frames = 1;
    accelTargetX_ = x;
    accelTargetY_ = y;
    accelStepX_ = x / static_cast<float>(frames);
    accelStepY_ = y / static_cast<float>(frames);
    accelFrames_ = frames;
}

std::int32_t BulletObject::getScoreDigits() const {
    std::uint32_t magnitude = score_ < 0 ? 0u - static_cast<std::uint32_t>(score_) : static_cast<std::uint32_t>(score_);
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

void BulletObject::setMainRuntime(ExBulletML_Runtime* runtime) {
    replaceRuntime(mainRuntime_, runtime);
    runtimeActive_ = 1;
}
void BulletObject::setPresentRuntime(ExBulletML_Runtime* runtime) { replaceRuntime(presentRuntime_, runtime); }
void BulletObject::setRevengeRuntime(ExBulletML_Runtime* runtime) { replaceRuntime(revengeRuntime_, runtime); }
void BulletObject::setDamageRuntime(ExBulletML_Runtime* runtime) { replaceRuntime(damageRuntime_, runtime); }

void BulletObject::restartMainRuntime() {
    if (mainRuntime_) mainRuntime_->restart();
}

void BulletObject::leaveParent() {
    if (!parent_) return;
    if (prevSibling_) prevSibling_->nextSibling_ = nextSibling_;
    else parent_->firstChild_ = nextSibling_;
    if (nextSibling_) nextSibling_->prevSibling_ = prevSibling_;
    else parent_->lastChild_ = prevSibling_;
    parent_ = nullptr;
    nextSibling_ = prevSibling_ = nullptr;
}

void BulletObject::setParent(BulletObject* parent) {
    leaveParent();
    if (!parent) return;
    parent_ = parent;
    prevSibling_ = parent->lastChild_;
    if (parent->lastChild_) parent->lastChild_->nextSibling_ = this;
    else parent->firstChild_ = this;
    parent->lastChild_ = this;
}

void BulletObject::setFlagsOnChildren(std::uint32_t flags) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) child->addFlags(flags);
}

void BulletObject::moveChildrenX(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (!(child->flags_ & object_flag::kFollowParentX)) continue;
        child->moveX(d);
        child->moveChildrenX(d);
    }
}
void BulletObject::moveChildrenY(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (!(child->flags_ & object_flag::kFollowParentY)) continue;
        child->moveY(d);
        child->moveChildrenY(d);
    }
}
void BulletObject::shiftChildrenX(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (!(child->flags_ & object_flag::kFollowParentX)) continue;
        child->shiftX(d);
        child->shiftChildrenX(d);
    }
}
void BulletObject::shiftChildrenY(float d) {
    for (BulletObject* child = firstChild_; child; child = child->nextSibling_) {
        if (!(child->flags_ & object_flag::kFollowParentY)) continue;
        child->shiftY(d);
        child->shiftChildrenY(d);
    }
}

// Stand-in for the script-driven moving object, until the objects work
// brings the real one (which replaces this file): the members the script
// runtime calls, as plain fields; motion is the straight step of speed,
// direction and their timed changes, without edge rules or images.
#pragma once
#include <cstdint>

#include "objects/GameObject.h"

class ExBulletML_Runtime;
class IntBulletObjectManager;

class BulletObject : public GameObject {
public:
    BulletObject();
    ~BulletObject() override;

    // Slot 0: destroys the runtimes, leaves the family and frees the object.
    ResourceObject* destroy(std::uint32_t flags) override;
    // Slots 21-23: the scripts; 1 when nothing ran.
    virtual std::int32_t runMainOrRevenge();
    virtual std::int32_t runPresent();
    virtual std::int32_t runDamage();
    // Slot 24: one frame of motion.
    virtual void update();

    void setDirection(float degrees);
    float getDirection() const { return direction_; }
    void setSpeed(float speed);
    float getSpeed() const { return speed_; }
    void changeDirectionAbsolute(float angle, std::int32_t frames);
    void changeDirectionRelative(float value, std::int32_t frames);
    void changeDirectionSequence(float value, std::int32_t frames);
    void changeSpeed(float target, std::int32_t frames);
    void setAccel(float x, float y, std::int32_t frames);
    void setDirectionType(std::int32_t type) { directionType_ = type; }
    std::int32_t getDirectionType() const { return directionType_; }
    float getTargetSpeed() const { return targetSpeed_; }
    float getTargetDirection() const { return targetDirection_; }
    bool isAccelerating() const { return accelFrames_ > 0; }

    void setVital(float vital) { vital_ = vital; }
    float getVital() const { return vital_; }
    void setScore(std::int32_t score) { score_ = score; }
    std::int32_t getScore() const { return score_; }
    std::int32_t getScoreDigits() const;
    std::int32_t getScoreMagnitude() const;
    void setGroupId(std::int32_t id) { groupId_ = id; }
    std::int32_t getGroupId() const { return groupId_; }
    void setInvincibleFrames(std::int32_t frames) { invincibleFrames_ = frames; }
    std::int32_t getInvincibleFrames() const { return invincibleFrames_; }
    void setBreakable(std::uint8_t breakable) { breakable_ = breakable; }
    std::uint8_t isBreakable() const { return breakable_; }
    void setSharedVitalKey(std::int32_t key) { sharedVitalKey_ = key; }
    std::uint32_t getSharedVitalKey() const { return static_cast<std::uint32_t>(sharedVitalKey_); }
    void setTargetTag(std::int32_t tag) { targetTag_ = tag; }
    std::int32_t getTargetTag() const { return targetTag_; }
    std::uint32_t getAge() const { return static_cast<std::uint32_t>(age_); }

    // Scripts. Each setter destroys the runtime it replaces.
    void setMainRuntime(ExBulletML_Runtime* runtime);
    void setPresentRuntime(ExBulletML_Runtime* runtime);
    void setRevengeRuntime(ExBulletML_Runtime* runtime);
    void setDamageRuntime(ExBulletML_Runtime* runtime);
    ExBulletML_Runtime* getMainRuntime() const { return mainRuntime_; }
    ExBulletML_Runtime* getPresentRuntime() const { return presentRuntime_; }
    ExBulletML_Runtime* getRevengeRuntime() const { return revengeRuntime_; }
    ExBulletML_Runtime* getDamageRuntime() const { return damageRuntime_; }
    void setRuntimeActive(std::uint8_t active) { runtimeActive_ = active != 0 ? 1 : 0; }
    std::uint8_t isRuntimeActive() const { return runtimeActive_; }
    void setDamageArmed(std::uint8_t armed) { damageArmed_ = armed; }
    std::uint8_t isDamageArmed() const { return damageArmed_; }
    void restartMainRuntime();

    // Family: the parent and the children, in insertion order.
    void setParent(BulletObject* parent);
    BulletObject* getParent() const { return parent_; }
    BulletObject* getFirstChild() const { return firstChild_; }
    BulletObject* getNextSibling() const { return nextSibling_; }
    void setFlagsOnChildren(std::uint32_t flags);
    void moveChildrenX(float d);
    void moveChildrenY(float d);
    void shiftChildrenX(float d);
    void shiftChildrenY(float d);

private:
    void recomputeVelocity();
    void leaveParent();

    float speed_ = 1.0f;
    float direction_ = 0.0f;
    float targetSpeed_ = 0.0f;
    float speedStep_ = 0.0f;
    float targetDirection_ = 0.0f;
    float directionStep_ = 0.0f;
    float accelTargetX_ = 0.0f;
    float accelTargetY_ = 0.0f;
    float accelStepX_ = 0.0f;
    float accelStepY_ = 0.0f;
    float vital_ = -1.0f;
    std::int32_t speedFrames_ = 0;
    std::int32_t directionFrames_ = 0;
    std::int32_t accelFrames_ = 0;
    std::int32_t directionType_ = 0;
    std::int32_t score_ = 0;
    std::int32_t groupId_ = 0;
    std::int32_t invincibleFrames_ = 0;
    std::int32_t sharedVitalKey_ = 0;
    std::int32_t targetTag_ = 0;
    std::int32_t age_ = 0;
    std::uint8_t breakable_ = 1;
    std::uint8_t runtimeActive_ = 0;
    std::uint8_t damageArmed_ = 0;
    ExBulletML_Runtime* mainRuntime_ = nullptr;
    ExBulletML_Runtime* presentRuntime_ = nullptr;
    ExBulletML_Runtime* revengeRuntime_ = nullptr;
    ExBulletML_Runtime* damageRuntime_ = nullptr;
    BulletObject* parent_ = nullptr;
    BulletObject* firstChild_ = nullptr;
    BulletObject* lastChild_ = nullptr;
    BulletObject* nextSibling_ = nullptr;
    BulletObject* prevSibling_ = nullptr;
};

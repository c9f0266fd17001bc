// The ordinary walk's turn of a plain BulletObject, inline for the list walk:
// its scripts and its motion without virtual dispatch.
#pragma once
#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "objects/FloatPair.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/Managers.h"

// Counters that scripts may set to any value step with two's-complement
// wrap-around, as the processor does (signed overflow is undefined in C++).
inline std::int32_t wrapIncrement(std::int32_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + 1u);
}
inline std::int32_t wrapDecrement(std::int32_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - 1u);
}

inline std::int32_t BulletObject::runDamageScript() {
    if (turn_.damageArmed && !(flags_ & object_flag::kRevenge) && damageRuntime_) return damageRuntime_->run();
    return 1;
}

inline std::int32_t BulletObject::runPresentScript() { return presentRuntime_ ? presentRuntime_->run() : 1; }

inline void BulletObject::settleWait() const {
    if ((waitLeft_ | waitCounted_) == 0) return;
    const std::int32_t counted = waitCounted_;
    waitLeft_ = 0;
    waitCounted_ = 0;
    mainRuntime_->countWaitFrames(counted);
}

inline void BulletObject::stepCounters() {
    age_ = wrapIncrement(age_);
    if (frameTimerWord() != 0) {
        if (timers_.countdown != 0) timers_.countdown = wrapDecrement(timers_.countdown);
        if (timers_.invincibleFrames >= 1) --timers_.invincibleFrames;
    }
}

inline void BulletObject::stepMotion() {
    // 1. Where the step starts.
    previousX_ = centreX_;
    previousY_ = centreY_;

    // 2-8. An acceleration term, the image angle, a reflection to mirror or
    // homing take the full order of steps. Without them, the acceleration of
    // the last term stays in effect, then the speed and the direction take
    // their steps, as the full order does.
    const std::uint32_t switches = motionSwitchWord();
    if ((switches & kFullOrderBits) != 0 || edgeEvents_ != 0 || kind_ == object_kind::kShot) {
        stepTurnsAndChanges();
    } else {
        storePair(velocityX_, loadPair(velocityX_) + loadPair(accelX_));
        if ((switches & (kSpeedChangeBits | kDirectionChangeBits)) != 0) {
            if (switches & kSpeedChangeBits) stepSpeedChange();
            if (switches & kDirectionChangeBits) stepDirectionChange();
        }
    }

    // 9-12. Without images, following or an edge within reach, the corner
    // and the centre move exactly as setLeft / setTop would move them (both
    // axes at once: corner, centre, velocity and the bounds are x-y pairs).
    const FloatPair corner = loadPair(left_);
    const FloatPair next = corner + loadPair(velocityX_);
    if (!hasImages() && !(flags_ & object_flag::kFollowAny) &&
        inBothLanes((loadPair(leftBound_) < next) & (next < loadPair(rightBound_)))) {
        storePair(centreX_, loadPair(centreX_) + (next - corner));
        storePair(left_, next);
    } else {
        stepMoveWithExtras(next[0], next[1]);
    }

    // 13. Counters.
    stepCounters();
}

inline bool BulletObject::takeQuietTurn() {
    // Alive and not marked for destruction; no damage script armed, no
    // present one, no revenge; no timed change,
    // image angle, image, following or edge rule; not a shot (the full order
    // of steps) nor an enemy (its prate).
    if (turnFlagWord() != kQuietTurnFlags || state_ != 0 || motionSwitchWord() != 0 || waitLeft_ <= 0 || presentRuntime_ ||
        (flags_ & (object_flag::kRevenge | object_flag::kFollowAny)) != 0 || edgeEvents_ != 0 ||
        kind_ == object_kind::kShot || kind_ == object_kind::kEnemy || hasImages()) {
        return false;
    }
    // stepMotion's straight step, its bounds tested before anything is
    // written.
    const FloatPair velocity = loadPair(velocityX_) + loadPair(accelX_);
    const FloatPair corner = loadPair(left_);
    const FloatPair next = corner + velocity;
    if (!inBothLanes((loadPair(leftBound_) < next) & (next < loadPair(rightBound_)))) return false;
    if (waitLeft_ != kMainScriptEnded) {
        --waitLeft_;
        ++waitCounted_;
    }
    previousX_ = centreX_;
    previousY_ = centreY_;
    storePair(velocityX_, velocity);
    storePair(centreX_, loadPair(centreX_) + (next - corner));
    storePair(left_, next);
    stepCounters();
    return true;
}

inline void BulletObject::runScriptsAndMotion(bool madeCurrent, bool outermost) {
    const bool mainTurn = turn_.runtimeActive && !(flags_ & object_flag::kRevenge);
    if (waitLeft_ > 0 && mainTurn && outermost) {
        // One more frame of the wait the main script rests in, as continueWait
        // would count it; an ended script's run does nothing at all.
        if (waitLeft_ != kMainScriptEnded) {
            --waitLeft_;
            ++waitCounted_;
        }
    } else {
        settleWait();
        ExBulletML_Runtime* main = mainRuntime_;
        // Slot 21 with a main script that only waits this frame: counted in
        // place (the runtime's own class, not one that replaces run), then
        // the object is made current as run makes it.
        if (mainTurn && main && mainRuntimeIsBase_ && main->continueWait()) {
            if (!madeCurrent) {
                if (BulletObjectManager* manager = g_bulletObjectManager) manager->syncCurrentObject();
            }
            if (outermost) {
                waitLeft_ = main->waitFramesLeft();
                if (waitLeft_ > 0) main->setWaitCountedBy(this);
            }
        } else {
            BulletObject::runMainOrRevenge();
            // A main script that has ended stays so until something reaches
            // its runtime; one that yielded in a wait with frames left has
            // them counted here from the next frame on, as continueWait would
            // count them.
            main = mainRuntime_;
            if (outermost && mainTurn && main && mainRuntimeIsBase_ && !main->isRetired() && state_ == 0) {
                if (!main->isActive()) {
                    waitLeft_ = kMainScriptEnded;
                    main->setWaitCountedBy(this);
                } else if (main->restsInWait()) {
                    waitLeft_ = main->waitFramesLeft();
                    main->setWaitCountedBy(this);
                }
            }
        }
    }
    runDamageScript();
    runPresentScript();
    stepMotion();
}

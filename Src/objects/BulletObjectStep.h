// The ordinary walk's turn of a plain BulletObject, inline for the list walk:
// its scripts and its motion without virtual dispatch.
#pragma once
#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/Managers.h"

inline std::int32_t BulletObject::runDamageScript() {
    if (damageArmed_ && !(flags_ & object_flag::kRevenge) && damageRuntime_) return damageRuntime_->run();
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

inline void BulletObject::runScriptsAndMotion(bool madeCurrent, bool outermost) {
    const bool mainTurn = runtimeActive_ && !(flags_ & object_flag::kRevenge);
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
            // its runtime.
            main = mainRuntime_;
            if (outermost && mainTurn && main && mainRuntimeIsBase_ && !main->isActive() && !main->isRetired() &&
                state_ == 0) {
                waitLeft_ = kMainScriptEnded;
                main->setWaitCountedBy(this);
            }
        }
    }
    runDamageScript();
    runPresentScript();
    BulletObject::update();
}

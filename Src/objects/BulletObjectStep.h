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

inline void BulletObject::runScriptsAndMotion(bool madeCurrent) {
    ExBulletML_Runtime* main = mainRuntime_;
    // Slot 21 with a main script that only waits this frame: counted in
    // place (the runtime's own class, not one that replaces run), then the
    // object is made current as run makes it.
    if (runtimeActive_ && !(flags_ & object_flag::kRevenge) && main && mainRuntimeIsBase_ && main->continueWait()) {
        if (!madeCurrent) {
            if (BulletObjectManager* manager = g_bulletObjectManager) manager->syncCurrentObject();
        }
    } else {
        BulletObject::runMainOrRevenge();
    }
    runDamageScript();
    runPresentScript();
    BulletObject::update();
}

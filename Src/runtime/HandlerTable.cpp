// The dispatch table of the interpreter: one entry per element id 1..160.
#include <array>

#include "objects/BulletObjectManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Managers.h"

std::int32_t nodeTypeOf(const BulletML_Node* node, std::int32_t id) { return typeOrDefault(node->getChildType(id), id); }

std::int32_t typeOrDefault(std::int32_t type, std::int32_t id) {
    if (type != 0 && type != kTypeNone) return type;
    switch (id) {
        case kSpeed:
        case kHorizontal:
        case kVertical:
            return kTypeAbsolute;
        case kDirection:
            return kTypeAim;
        case kCollision:
            return kTypeCircle;
        case kSetPosition:
        case kChangePosition:
            return kTypeCenter;
        default:
            return type;
    }
}

namespace {
std::array<RuntimeHandler, kHandlerCount> buildTable() {
    std::array<RuntimeHandler, kHandlerCount> table{};
    // Commands whose handlers come with later work.
    table.fill(&handlers::notYetBuilt);
    auto set = [&table](std::int32_t id, RuntimeHandler handler) { table[static_cast<std::size_t>(id - 1)] = handler; };

    set(kAction, &handlers::nothing);
    set(kDebugStr, &handlers::nothing);
    set(kDebugVal, &handlers::nothing);
    set(kSetFontShadowColor, &handlers::nothing);

    set(kWait, &handlers::wait);
    set(kRepeat, &handlers::repeat);
    set(kSkipWait, &handlers::skipWait);
    set(kSkipBulletWait, &handlers::skipWait);
    set(kExit, &handlers::exit);
    set(kVanish, &handlers::vanish);
    set(kSetLock, &handlers::setLock);
    set(kReleaseLock, &handlers::releaseLock);
    set(kWaitLock, &handlers::waitLock);
    set(kWaitSelectable, &handlers::waitSelectable);
    set(kWaitDirectionKey, &handlers::waitDirectionKey);

    for (std::int32_t id : {kFireRef, kActionRef, kImgRef, kCreateRef, kTrackRef, kMeshRef})
        set(id, &handlers::reference);
    for (std::int32_t id : {kPresent, kRevenge, kUnselected, kSelected, kDecided, kDamage})
        set(id, &handlers::eventBlock);
    set(kPresentRef, &handlers::presentRef);
    set(kRevengeRef, &handlers::revengeRef);
    set(kDamageRef, &handlers::damageRef);
    set(kCancelRevenge, &handlers::cancelRevenge);

    set(kChangeSpeed, &handlers::changeSpeed);
    set(kChangeDirection, &handlers::changeDirection);
    set(kAccel, &handlers::accel);
    set(kChangePosition, &handlers::changePosition);
    set(kSetPosition, &handlers::setPosition);
    set(kEdge, &handlers::edge);
    set(kDefinedAction, &handlers::definedAction);
    set(kAutoTarget, &handlers::autoTarget);

    set(kCollision, &handlers::collision);
    set(kBuzz, &handlers::buzz);
    set(kIncBuzzCount, &handlers::incBuzzCount);
    set(kSetInv, &handlers::setInv);
    set(kSetPlayerInv, &handlers::setPlayerInv);
    set(kSetBreakable, &handlers::setBreakable);
    set(kGroup, &handlers::group);
    set(kSetRevenge, &handlers::setRevenge);
    set(kChildRevenge, &handlers::childRevenge);
    set(kParentRevenge, &handlers::parentRevenge);
    set(kShareVital, &handlers::shareVital);
    set(kSetSharedVitalNum, &handlers::setSharedVitalNum);
    set(kSetVital, &handlers::setVital);
    set(kChangeBulletToItem, &handlers::changeBulletToItem);

    set(kFire, &handlers::fire);
    set(kCreate, &handlers::create);
    set(kBullet, &handlers::bullet);
    set(kBulletRef, &handlers::bulletRef);
    for (std::int32_t id : {kEnemy, kShot, kPlayer, kObject, kItem, kBomb, kDObject})
        set(id, &handlers::createObject);
    for (std::int32_t id : {kEnemyRef, kShotRef, kPlayerRef, kObjectRef, kItemRef, kBombRef, kDObjectRef})
        set(id, &handlers::createObjectRef);

    set(kEval, &handlers::eval);
    set(kEvalAdd, &handlers::evalAdd);
    set(kGlobal, &handlers::global);
    set(kDynamic, &handlers::dynamic);
    set(kAddScore, &handlers::addScore);
    set(kAddPrate, &handlers::addPrate);
    set(kAddRank, &handlers::addRank);
    set(kAddSpirit, &handlers::addSpirit);
    set(kSetGameFlag, &handlers::setGameFlag);
    set(kSetEnding, &handlers::setEnding);

    // Menus.
    set(kSelectable, [](ExBulletML_Runtime& r, std::int32_t) { return r.execSelectable(); });
    set(kSelectableRef, [](ExBulletML_Runtime& r, std::int32_t) { return r.execSelectableRef(); });
    set(kCursor, [](ExBulletML_Runtime& r, std::int32_t) { return r.execCursor(); });
    set(kCursorRef, [](ExBulletML_Runtime& r, std::int32_t) { return r.execCursorRef(); });
    set(kUnselectedRef, [](ExBulletML_Runtime& r, std::int32_t) { return r.execUnselectedRef(); });
    set(kSelectedRef, [](ExBulletML_Runtime& r, std::int32_t) { return r.execSelectedRef(); });
    set(kDecidedRef, [](ExBulletML_Runtime& r, std::int32_t) { return r.execDecidedRef(); });
    set(kDisableTable, [](ExBulletML_Runtime& r, std::int32_t) { return r.execDisableTable(); });
    set(kEnableTable, [](ExBulletML_Runtime& r, std::int32_t) { return r.execEnableTable(); });

    set(kSystem, &handlers::execSystem);
    set(kSysVar, &handlers::execSysvar);
    set(kNetwork, &handlers::execNetwork);
    set(kTargetRevenge, &handlers::execTargetRevenge);
    set(kTargetVanish, &handlers::execTargetVanish);
    set(kSetReflect, &handlers::execSetReflect);
    set(kAddItem, &handlers::execAddItem);
    set(kTextBlock, &handlers::execTextBlock);

    // Images and text.
    set(kImg, &handlers::execImg);
    set(kImgDirection, &handlers::execImgDirection);
    set(kSetImgSize, &handlers::execSetImgSize);
    set(kChangeImgSize, &handlers::execChangeImgSize);
    set(kChangeColor, &handlers::execChangeColor);
    set(kSetImgUv, &handlers::execSetImgUv);
    set(kRotateImg, &handlers::execRotateImg);
    set(kSetDrawLevel, &handlers::execSetDrawLevel);
    set(kPreloadImg, &handlers::execPreloadImg);
    set(kImgString, &handlers::execImgString);
    set(kImgStringRef, &handlers::execImgStringRef);
    set(kCreateSurface, &handlers::execCreateSurface);
    set(kCreateDupImg, &handlers::execCreateDupImg);
    set(kSetString, &handlers::execSetString);
    set(kAddString, &handlers::execAddString);
    set(kSetStringNum, &handlers::execSetStringNum);
    set(kAddStringNum, &handlers::execAddStringNum);
    set(kSetFontSize, &handlers::execSetFontSize);
    set(kSetFontColor, &handlers::execSetFontColor);
    set(kSetStringWait, &handlers::execSetStringWait);
    set(kLoadSurface, &handlers::execLoadSurface);
    set(kClearSurface, &handlers::execClearSurface);
    set(kWaitDrawString, &handlers::execWaitDrawString);

    // The camera, light, fog, clear colour and render target colour.
    set(kSetEye, &handlers::execSetEye);
    set(kSetLookAt, &handlers::execSetLookAt);
    set(kSetupVec, &handlers::execSetUpVec);
    set(kChangeEye, &handlers::execChangeEye);
    set(kChangeLookAt, &handlers::execChangeLookAt);
    set(kChangeUpVec, &handlers::execChangeUpVec);
    set(kSetEyeSpeed, &handlers::execSetEyeSpeed);
    set(kSetLookAtSpeed, &handlers::execSetLookAtSpeed);
    set(kSetupVecSpeed, &handlers::execSetUpVecSpeed);
    set(kChangeEyeSpeed, &handlers::execChangeEyeSpeed);
    set(kChangeLookAtSpeed, &handlers::execChangeLookAtSpeed);
    set(kChangeUpVecSpeed, &handlers::execChangeUpVecSpeed);
    set(kPlainShadowPoint, &handlers::execPlainShadowPoint);
    set(kSetLight, &handlers::execSetLight);
    set(kChangeLight, &handlers::execChangeLight);
    set(kSetFog, &handlers::execSetFog);
    set(kChangeFog, &handlers::execChangeFog);
    set(kSetBgColor, &handlers::execSetBgColor);
    set(kSetRenderTargetColor, &handlers::execSetRenderTargetColor);

    // Meshes.
    set(kMesh, &handlers::execMesh);
    set(kPreloadMesh, &handlers::execPreloadMesh);
    set(kSetMeshTexture, &handlers::execSetMeshTexture);
    set(kSetMeshVelocity, &handlers::execSetMeshVelocity);
    set(kSetMeshAccel, &handlers::execSetMeshAccel);
    set(kSetupParticle, &handlers::execSetupParticle);
    set(kCreateParticle, &handlers::execCreateParticle);

    set(kExeFile, &handlers::exeFile);
    set(kExeFileAsync, &handlers::exeFileAsync);

    set(kSound, &handlers::sound);
    set(kSoundRef, &handlers::soundRef);
    set(kSoundTrack, &handlers::soundTrack);
    set(kTrack, &handlers::track);
    set(kPlay, &handlers::play);
    set(kChangeVolume, &handlers::changeVolume);
    set(kChangeAllVolume, &handlers::changeAllVolume);
    set(kChangeTargetVolume, &handlers::changeTargetVolume);
    set(kPreloadTrack, &handlers::preloadTrack);
    set(kPlaySoundDirect, &handlers::playSoundDirect);
    set(kStopSoundDirect, &handlers::stopSoundDirect);
    return table;
}
}  // namespace

const RuntimeHandler* runtimeHandlerTable() {
    static const std::array<RuntimeHandler, kHandlerCount> table = buildTable();
    return table.data();
}

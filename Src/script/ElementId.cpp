#include "script/ElementId.h"

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Text.h"
#include "services/DebugInfo.h"

namespace {

const ElementName kElementNames[] = {
    {kNone, "none"},
    {kBullet, "bullet"},
    {kFire, "fire"},
    {kAction, "action"},
    {kBulletRef, "bulletref"},
    {kFireRef, "fireref"},
    {kActionRef, "actionref"},
    {kChangeSpeed, "changespeed"},
    {kChangeDirection, "changedirection"},
    {kAccel, "accel"},
    {kWait, "wait"},
    {kVanish, "vanish"},
    {kRepeat, "repeat"},
    {kPresent, "present"},
    {kImg, "img"},
    {kPresentRef, "presentref"},
    {kImgRef, "imgref"},
    {kChangeColor, "changecolor"},
    {kImgDirection, "imgdirection"},
    {kEnemy, "enemy"},
    {kEnemyRef, "enemyref"},
    {kCreate, "create"},
    {kCreateRef, "createref"},
    {kCollision, "collision"},
    {kEval, "eval"},
    {kChangePosition, "changeposition"},
    {kRevenge, "revenge"},
    {kRevengeRef, "revengeref"},
    {kCancelRevenge, "cancelrevenge"},
    {kShot, "shot"},
    {kShotRef, "shotref"},
    {kSetPosition, "setposition"},
    {kPlayer, "player"},
    {kPlayerRef, "playerref"},
    {kSetInv, "setinv"},
    {kSysVar, "sysvar"},
    {kObject, "object"},
    {kObjectRef, "objectref"},
    {kSetBreakable, "setbreakable"},
    {kGroup, "group"},
    {kSkipWait, "skipwait"},
    {kSetDrawLevel, "setdrawlevel"},
    {kEdge, "edge"},
    {kPlay, "play"},
    {kSound, "sound"},
    {kSoundRef, "soundref"},
    {kTrack, "track"},
    {kTrackRef, "trackref"},
    {kChangeVolume, "changevolume"},
    {kChangeAllVolume, "changeallvolume"},
    {kExeFile, "exefile"},
    {kSelectable, "selectable"},
    {kSelectableRef, "selectableref"},
    {kCursor, "cursor"},
    {kCursorRef, "cursorref"},
    {kUnselected, "unselected"},
    {kUnselectedRef, "unselectedref"},
    {kSelected, "selected"},
    {kSelectedRef, "selectedref"},
    {kDecided, "decided"},
    {kDecidedRef, "decidedref"},
    {kSystem, "system"},
    {kExeFileAsync, "exefileasync"},
    {kPreloadImg, "preloadimg"},
    {kTargetRevenge, "targetrevenge"},
    {kSetBgColor, "setbgcolor"},
    {kPreloadTrack, "preloadtrack"},
    {kRotateImg, "rotateimg"},
    {kSetImgSize, "setimgsize"},
    {kEvalAdd, "evaladd"},
    {kDefinedAction, "definedaction"},
    {kImgString, "imgstring"},
    {kImgStringRef, "imgstringref"},
    {kItem, "item"},
    {kItemRef, "itemref"},
    {kBuzz, "buzz"},
    {kTargetVanish, "targetvanish"},
    {kDisableTable, "disabletable"},
    {kSetImgUv, "setimguv"},
    {kChangeImgSize, "changeimgsize"},
    {kBomb, "bomb"},
    {kBombRef, "bombref"},
    {kExit, "exit"},
    {kGlobal, "global"},
    {kSetRevenge, "setrevenge"},
    {kChildRevenge, "childrevenge"},
    {kSetReflect, "setreflect"},
    {kAutoTarget, "autotarget"},
    {kMesh, "mesh"},
    {kMeshRef, "meshref"},
    {kSetString, "setstring"},
    {kSetFontSize, "setfontsize"},
    {kSetStringWait, "setstringwait"},
    {kWaitSelectable, "waitselectable"},
    {kSetLock, "setlock"},
    {kReleaseLock, "releaselock"},
    {kWaitLock, "waitlock"},
    {kWaitDrawString, "waitdrawstring"},
    {kChangeBulletToItem, "changebullettoitem"},
    {kSetSharedVitalNum, "setsharedvitalnum"},
    {kSetLight, "setlight"},
    {kChangeLight, "changelight"},
    {kSetupParticle, "setupparticle"},
    {kCreateParticle, "createparticle"},
    {kShareVital, "sharevital"},
    {kAddPrate, "addprate"},
    {kAddScore, "addscore"},
    {kSetEye, "seteye"},
    {kSetLookAt, "setlookat"},
    {kSetupVec, "setupvec"},
    {kChangeEye, "changeeye"},
    {kChangeLookAt, "changelookat"},
    {kChangeUpVec, "changeupvec"},
    {kSetFog, "setfog"},
    {kChangeTargetVolume, "changetargetvolume"},
    {kIncBuzzCount, "incbuzzcount"},
    {kEnableTable, "enabletable"},
    {kSetGameFlag, "setgameflag"},
    {kAddItem, "additem"},
    {kWaitDirectionKey, "waitdirectionkey"},
    {kSkipBulletWait, "skipbulletwait"},
    {kSetMeshAccel, "setmeshaccel"},
    {kDamage, "damage"},
    {kDamageRef, "damageref"},
    {kNetwork, "network"},
    {kAddString, "addstring"},
    {kSetEnding, "setending"},
    {kSetMeshVelocity, "setmeshvelocity"},
    {kSetFontColor, "setfontcolor"},
    {kDebugStr, "debugstr"},
    {kDebugVal, "debugval"},
    {kSetPlayerInv, "setplayerinv"},
    {kSetStringNum, "setstringnum"},
    {kAddStringNum, "addstringnum"},
    {kPlaySoundDirect, "playsounddirect"},
    {kStopSoundDirect, "stopsounddirect"},
    {kSetFontShadowColor, "setfontshadowcolor"},
    {kDynamic, "dynamic"},
    {kSoundTrack, "soundtrack"},
    {kCreateSurface, "createsurface"},
    {kLoadSurface, "loadsurface"},
    {kClearSurface, "clearsurface"},
    {kDObject, "dobject"},
    {kDObjectRef, "dobjectref"},
    {kParentRevenge, "parentrevenge"},
    {kAddRank, "addrank"},
    {kAddSpirit, "addspirit"},
    {kSetRenderTargetColor, "setrendertargetcolor"},
    {kChangeFog, "changefog"},
    {kSetEyeSpeed, "seteyespeed"},
    {kSetLookAtSpeed, "setlookatspeed"},
    {kSetupVecSpeed, "setupvecspeed"},
    {kChangeEyeSpeed, "changeeyespeed"},
    {kChangeLookAtSpeed, "changelookatspeed"},
    {kChangeUpVecSpeed, "changeupvecspeed"},
    {kPlainShadowPoint, "plainshadowpoint"},
    {kTextBlock, "textblock"},
    {kSetMeshTexture, "setmeshtexture"},
    {kCreateDupImg, "createdupimg"},
    {kPreloadMesh, "preloadmesh"},
    {kSetVital, "setvital"},
    {kParamNone, "none"},
    {kVertical, "vertical"},
    {kHorizontal, "horizontal"},
    {kSpeed, "speed"},
    {kDirection, "direction"},
    {kRepeatCount, "repeatcount"},
    {kTerm, "term"},
    {kFile, "file"},
    {kLeft, "left"},
    {kRight, "right"},
    {kTop, "top"},
    {kBottom, "bottom"},
    {kWidth, "width"},
    {kHeight, "height"},
    {kAlpha, "alpha"},
    {kRed, "red"},
    {kGreen, "green"},
    {kBlue, "blue"},
    {kX, "x"},
    {kY, "y"},
    {kZ, "z"},
    {kInv, "inv"},
    {kCx, "cx"},
    {kCy, "cy"},
    {kRadius, "radius"},
    {kVital, "vital"},
    {kScore, "score"},
    {kLength, "length"},
    {kDistance, "distance"},
    {kQuick, "quick"},
    {kNum, "num"},
    {kLoop, "loop"},
    {kCommand, "command"},
    {kPause, "pause"},
    {kChild, "child"},
    {kString, "string"},
    {kEffect, "effect"},
    {kFlag, "flag"},
    {kPrate, "prate"},
    {kWorldX, "worldx"},
    {kWorldY, "worldy"},
    {kWorldZ, "worldz"},
    {kWorldVx, "worldvx"},
    {kWorldVy, "worldvy"},
    {kWorldVz, "worldvz"},
    {kWorldMaxX, "worldmaxx"},
    {kWorldMaxY, "worldmaxy"},
    {kWorldMaxZ, "worldmaxz"},
    {kWorldMinX, "worldminx"},
    {kWorldMinY, "worldminy"},
    {kWorldMinZ, "worldminz"},
    {kRotateX, "rotatex"},
    {kRotateY, "rotatey"},
    {kRotateZ, "rotatez"},
    {kRotateVx, "rotatevx"},
    {kRotateVy, "rotatevy"},
    {kRotateVz, "rotatevz"},
    {kSpirit, "spirit"},
    {kStructBulletML, "bulletml"},
    {kStructExBulletML, "exbulletml"},
    {kStructParam, "param"},
    {kStructTimes, "times"},
    {kStructType, "type"},
    {kStructLabel, "label"},
    {kStructName, "name"},
};

const ElementName kTypeValueNames[] = {
    {kTypeNone, "none"},
    {kTypeAim, "aim"},
    {kTypeAbsolute, "absolute"},
    {kTypeRelative, "relative"},
    {kTypeSequence, "sequence"},
    {kTypeSync, "sync"},
    {kTypeDds, "dds"},
    {kTypeBmp, "bmp"},
    {kTypeNormal, "normal"},
    {kTypeAdd, "add"},
    {kTypeMaskAdd, "maskadd"},
    {kTypeCircle, "circle"},
    {kTypeRect, "rect"},
    {kTypeCenter, "center"},
    {kTypeGround, "ground"},
    {kTypeBullet, "bullet"},
    {kTypeLoop, "loop"},
    {kTypeStop, "stop"},
    {kTypeVanish, "vanish"},
    {kTypeOgg, "ogg"},
    {kTypeWav, "wav"},
    {kTypeRaw, "raw"},
    {kTypeBgm, "bgm"},
    {kTypeSe, "se"},
    {kTypeRotate, "rotate"},
    {kTypeSyncToPlayerX, "synctoplayerx"},
    {kTypeSyncToPlayerY, "synctoplayery"},
    {kTypeSyncToParentX, "synctoparentx"},
    {kTypeSyncToParentY, "synctoparenty"},
    {kTypeAmbient, "ambient"},
    {kTypeDirectional, "directional"},
    {kTypeSyncEdge, "syncedge"},
    {kTypeNoAlpha, "noalpha"},
    {kTypeAdd2, "add2"},
};

const ElementName kElementAliases[] = {
    {kAction, "a"},
    {kBullet, "b"},
    {kCreate, "c"},
    {kEnemy, "e"},
    {kFire, "f"},
    {kGlobal, "g"},
    {kStructLabel, "l"},
    {kStructName, "n"},
    {kObject, "o"},
    {kStructParam, "p"},
    {kTerm, "t"},
    {kEval, "v"},
    {kWait, "w"},
    {kSpeed, "sp"},
    {kStructTimes, "ts"},
    {kTerm, "tm"},
    {kTypeAbsolute, "abs"},
    {kEvalAdd, "add"},
    {kChangeDirection, "chd"},
    {kChangeSpeed, "chs"},
    {kDirection, "dir"},
    {kPresent, "pre"},
    {kRepeat, "rep"},
    {kTypeRelative, "rel"},
    {kRevenge, "rev"},
    {kTypeSequence, "seq"},
    {kActionRef, "aref"},
    {kBulletRef, "bref"},
    {kCreateRef, "cref"},
    {kEnemyRef, "eref"},
    {kFireRef, "fref"},
    {kObjectRef, "oref"},
    {kPresentRef, "preref"},
    {kRevengeRef, "revref"},
};

}  // namespace

bool isReferenceCode(std::int32_t id) {
    switch (id) {
        case kBulletRef: case kFireRef: case kActionRef: case kPresentRef: case kImgRef:
        case kEnemyRef: case kCreateRef: case kRevengeRef: case kShotRef: case kPlayerRef:
        case kObjectRef: case kSoundRef: case kTrackRef: case kSelectableRef: case kCursorRef:
        case kUnselectedRef: case kSelectedRef: case kDecidedRef: case kTargetRevenge:
        case kImgStringRef: case kItemRef: case kBombRef: case kMeshRef:
        case kChangeTargetVolume: case kDamageRef: case kDObjectRef:
            return true;
        default:
            return false;
    }
}

std::span<const ElementName> elementNameTable() { return kElementNames; }
std::span<const ElementName> typeValueNameTable() { return kTypeValueNames; }
std::span<const ElementName> elementAliasTable() { return kElementAliases; }

namespace {
// Name -> element id and type-value id, open addressing with linear probing
// over a fixed power-of-two table: a tag's name is looked up at its start and
// at its end while scripts load, so this is one short hash and a compare.
class NameIdTable {
public:
    static constexpr std::int32_t kAbsent = INT32_MIN;
    struct Entry {
        std::u16string name;
        std::int32_t elementId = kAbsent;
        std::int32_t typeValueId = kAbsent;
        bool used = false;
    };

    // The entry of `name`, made when there is none.
    Entry& entry(std::u16string_view name) {
        size_t i = hashOf(name) & kMask;
        while (slots_[i].used && slots_[i].name != name) i = (i + 1) & kMask;
        if (!slots_[i].used) {
            if (++count_ > kSlots / 2) std::abort();  // the tables are fixed: a build error, not input
            slots_[i].used = true;
            slots_[i].name = std::u16string(name);
        }
        return slots_[i];
    }
    const Entry* find(std::u16string_view name) const {
        for (size_t i = hashOf(name) & kMask; slots_[i].used; i = (i + 1) & kMask) {
            if (slots_[i].name == name) return &slots_[i];
        }
        return nullptr;
    }

private:
    static constexpr size_t kSlots = 2048;
    static constexpr size_t kMask = kSlots - 1;
    // FNV-1a over the units.
    static size_t hashOf(std::u16string_view name) {
        std::uint32_t hash = 2166136261u;
        for (char16_t unit : name) hash = (hash ^ unit) * 16777619u;
        return hash;
    }
    std::vector<Entry> slots_ = std::vector<Entry>(kSlots);
    size_t count_ = 0;
};
}  // namespace

struct ElementIdTable::Index {
    struct Named {
        std::string_view name;
        NameHandle handle;
    };
    // Filled in ascending id order and then the aliases, each insertion
    // replacing an earlier one, so where a name has two ids the larger (or the
    // alias) wins: "none" is 512 as a tag.
    NameIdTable ids;
    std::unordered_map<std::int32_t, Named> elementNames;
    std::unordered_map<std::int32_t, std::string_view> typeValueNames;
};

ElementIdTable::ElementIdTable() : index_(new Index) {
    for (const ElementName& entry : kElementNames) {
        index_->ids.entry(text::widen(entry.name)).elementId = entry.id;
        index_->elementNames[entry.id] = {entry.name, internName(entry.name)};
    }
    for (const ElementName& entry : kElementAliases) index_->ids.entry(text::widen(entry.name)).elementId = entry.id;
    for (const ElementName& entry : kTypeValueNames) {
        index_->ids.entry(text::widen(entry.name)).typeValueId = entry.id;
        index_->typeValueNames[entry.id] = entry.name;
    }
}

const ElementIdTable& ElementIdTable::instance() {
    // Never destroyed: loader threads may still look names up while the
    // process ends.
    static const ElementIdTable* table = new ElementIdTable();
    return *table;
}

std::int32_t ElementIdTable::lookupTag(std::u16string_view lowered) const {
    if (const NameIdTable::Entry* entry = index().ids.find(lowered)) {
        if (entry->elementId != NameIdTable::kAbsent) return entry->elementId;
        if (entry->typeValueId != NameIdTable::kAbsent) return entry->typeValueId;
    }
    // The log writes at most 255 bytes of a name, as every wide log text.
    std::string name = text::narrow(lowered.substr(0, 255));
    logLine("不明なタグ " + text::cp932ToUtf8(name));
    return -1;
}

std::int32_t ElementIdTable::lookupTypeValue(std::u16string_view value) const {
    const NameIdTable::Entry* entry = index().ids.find(value);
    return entry && entry->typeValueId != NameIdTable::kAbsent ? entry->typeValueId : kTypeNone;
}

std::string_view ElementIdTable::elementName(std::int32_t id) const {
    auto it = index().elementNames.find(id);
    return it != index().elementNames.end() ? it->second.name : std::string_view();
}

NameHandle ElementIdTable::elementNameHandle(std::int32_t id) const {
    auto it = index().elementNames.find(id);
    return it != index().elementNames.end() ? it->second.handle : NamePool::instance().emptyName();
}

std::string_view ElementIdTable::typeValueName(std::int32_t id) const {
    auto it = index().typeValueNames.find(id);
    return it != index().typeValueNames.end() ? it->second : std::string_view();
}

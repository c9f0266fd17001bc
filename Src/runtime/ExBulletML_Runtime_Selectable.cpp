// The menu commands: menu entries ("selectable", "selectableref"), the menu's
// cursor object ("cursor", "cursorref"), the event scripts of the entry whose
// scripts are running ("unselectedref", "selectedref", "decidedref") and the
// switching of table cells off and on ("disabletable", "enabletable").
#include "objects/BulletObjectManager.h"
#include "objects/SelectableObject.h"
#include "objects/SelectableObjectManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "services/DebugInfo.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

// Where a value comes from: the first of up to two nodes that has the
// parameter child, evaluated with the calling runtime's parameters and
// variables; none of them: the fall-back.
struct ValueNodes {
    R& runtime;
    const BulletML_Node* first;
    const BulletML_Node* second;

    const BulletML_Node* holder(std::int32_t id) const {
        if (first && first->hasChild(id)) return first;
        if (second && second->hasChild(id)) return second;
        return nullptr;
    }
    bool has(std::int32_t id) const { return holder(id) != nullptr; }
    double value(std::int32_t id, double fallback) const {
        const BulletML_Node* node = holder(id);
        return node ? node->evalChild(id, runtime.getParams(), &runtime.getObjectVariables()) : fallback;
    }
};

// The menu an item or cursor is filed in: the pause menu for pause > 0.
SelectableObject* createEntry(BulletObjectManager* objects, std::int32_t pause) {
    if (!objects) return nullptr;
    return pause > 0 ? objects->createPauseSelectable() : objects->createSelectable();
}

SelectableObjectManager* managerOf(BulletObjectManager* objects, std::int32_t pause) {
    return pause > 0 ? objects->getPauseSelectableManager() : objects->getSelectableManager();
}

// The new object's main script, started; without a runtime from the pool the
// object has no script and is let go at once (it would otherwise keep a
// menu waiting for ever).
bool giveScript(SelectableObject* entry, R* runtime) {
    if (!runtime) {
        entry->setState(1);
        return false;
    }
    runtime->setStarted(1);
    entry->setMainRuntime(runtime);
    return true;
}

// The script's start on the new object itself: the node's children are its
// script from here, and the object shows.
bool startOwnScript(R& runtime) {
    if (!runtime.getRestartFlag()) return false;
    runtime.setRestartFlag(0);
    runtime.restartNode();
    if (BulletObject* object = runtimeCurrentObject()) object->setActive(1);
    return true;
}

// Steps 4-8 of an item: position, cell, direction, speed, and the runtime's
// previous direction and speed.
void placeItem(R& runtime, SelectableObject* item, const ValueNodes& values) {
    float* creation = runtime.getCreationValues();
    item->setX(static_cast<float>(values.value(kCx, creation[2])));
    item->setY(static_cast<float>(values.value(kCy, creation[3])));
    item->setTableIndex(truncateToInt32(values.value(kX, creation[4])), truncateToInt32(values.value(kY, creation[5])));

    std::int32_t directionType = runtime.getFireDirectionType();
    if (const BulletML_Node* node = values.holder(kDirection)) directionType = nodeTypeOf(node, kDirection);
    std::int32_t speedType = runtime.getFireSpeedType();
    if (const BulletML_Node* node = values.holder(kSpeed)) speedType = nodeTypeOf(node, kSpeed);
    const double direction = values.value(kDirection, creation[0]);
    const double speed = values.value(kSpeed, creation[1]);
    item->setDirectionType(directionType);

    BulletObject* self = runtimeCurrentObject();
    switch (directionType) {
        case kTypeAbsolute:
            item->setDirection(static_cast<float>(direction));
            break;
        case kTypeRelative:
            item->setDirection(static_cast<float>((self ? self->getDirection() : 0.0f) + direction));
            break;
        case kTypeSequence:
            item->setDirection(static_cast<float>(runtime.getPreviousDirection() + direction));
            break;
        default: {
            BulletObjectManager* objects = runtimeObjectManager();
            const float playerX = objects ? objects->getPlayerHitX() : 0.0f;
            const float playerY = objects ? objects->getPlayerHitY() : 0.0f;
            item->setDirection(static_cast<float>(aimAngle(item->getX(), item->getY(), playerX, playerY) + direction));
            break;
        }
    }
    switch (speedType) {
        case kTypeRelative:
            item->setSpeed(static_cast<float>((self ? self->getSpeed() : 0.0f) + speed));
            break;
        case kTypeSequence:
            item->setSpeed(static_cast<float>(runtime.getPreviousSpeed() + speed));
            break;
        default:
            item->setSpeed(static_cast<float>(speed));
            break;
    }
    runtime.setPreviousDirection(item->getDirection());
    runtime.setPreviousSpeed(item->getSpeed());
}

// The cursor object's cell, attribute bits and its menu's cursor.
void placeCursor(R& runtime, SelectableObject* cursor, SelectableObjectManager* menu, const ValueNodes& values,
                 std::int32_t attributeBits) {
    float* creation = runtime.getCreationValues();
    const std::int32_t x = truncateToInt32(values.value(kX, creation[4]));
    const std::int32_t y = truncateToInt32(values.value(kY, creation[5]));
    cursor->setAttributeBits(static_cast<std::uint32_t>(attributeBits));
    cursor->setTableIndex(x, y);
    menu->setCursorTableId(x);
    menu->setCursorIndex(y);
    menu->setCursorObject(cursor);
}

BulletML_Node* findTarget(std::int32_t code, NameHandle label, bool quiet) {
    BulletML_Node_Manager* document = R::getDocument();
    if (!document) return nullptr;
    const bool wasQuiet = document->isQuietLookup();
    if (quiet) document->setQuietLookup(true);
    BulletML_Node* target = document->findLabel(code, label);
    document->setQuietLookup(wasQuiet);
    return target;
}

// An event script for the entry whose scripts are running now.
enum class Event { Unselected, Selected, Decided };
std::int32_t eventReference(R& runtime, std::int32_t code, Event event) {
    BulletML_Node* reference = runtime.getCurrentNode();
    BulletML_Node* target = findTarget(code, reference->getLabel(), false);
    BulletObjectManager* objects = runtimeObjectManager();
    SelectableObjectManager* menu = objects ? objects->getSelectManager() : nullptr;
    SelectableObject* entry = menu ? menu->getSelectedObject() : nullptr;
    // Nothing is made when no entry is being run.
    if (!target || !entry) return R::kLeave;
    R* spawned = runtime.spawnChild(target);
    if (!spawned) return R::kLeave;
    spawned->enterRef(reference);
    spawned->setStarted(1);
    switch (event) {
        case Event::Unselected: entry->setUnselectedRuntime(spawned); break;
        case Event::Selected: entry->setSelectedRuntime(spawned); break;
        case Event::Decided: entry->setDecidedRuntime(spawned); break;
    }
    return R::kLeave;
}
}  // namespace

std::int32_t R::execSelectable() {
    if (startOwnScript(*this)) return kGoOn;
    BulletML_Node* node = current_;
    ValueNodes values{*this, node, nullptr};
    const std::int32_t pause = truncateToInt32(values.value(kPause, 0.0));
    SelectableObject* item = createEntry(runtimeObjectManager(), pause);
    if (!item) return kLeave;
    item->setKind(object_kind::kSelectable);
    item->setWideName(node->getLabel());
    item->setActive(0);
    if (!giveScript(item, spawnChild(node))) return kLeave;
    placeItem(*this, item, values);
    return kLeave;
}

std::int32_t R::execSelectableRef() {
    BulletML_Node* reference = current_;
    BulletML_Node* target = findTarget(kSelectable, reference->getLabel(), false);
    if (!target) return kGoOn;
    // "pause" belongs to the item itself: the reference cannot move it to
    // the other menu.
    ValueNodes pauseSource{*this, target, nullptr};
    const std::int32_t pause = truncateToInt32(pauseSource.value(kPause, 0.0));
    SelectableObject* item = createEntry(runtimeObjectManager(), pause);
    if (!item) return kGoOn;
    item->setKind(object_kind::kSelectable);
    item->setWideName(reference->getLabel());
    item->setActive(0);
    R* spawned = spawnChild(target);
    if (spawned) spawned->enterRef(reference);
    if (!giveScript(item, spawned)) return kGoOn;
    placeItem(*this, item, ValueNodes{*this, target, reference});
    return kGoOn;
}

std::int32_t R::execCursor() {
    if (startOwnScript(*this)) return kGoOn;
    BulletML_Node* node = current_;
    ValueNodes values{*this, node, nullptr};
    const std::int32_t pause = truncateToInt32(values.value(kPause, 0.0));
    BulletObjectManager* objects = runtimeObjectManager();
    SelectableObject* cursor = createEntry(objects, pause);
    if (!cursor) return kLeave;
    cursor->setKind(SelectableObject::kCursorKind);
    cursor->setWideName(node->getLabel());
    cursor->setActive(0);
    if (!giveScript(cursor, spawnChild(node))) return kLeave;
    placeCursor(*this, cursor, managerOf(objects, pause), values, truncateToInt32(values.value(kFlag, 0.0)));
    return kLeave;
}

std::int32_t R::execCursorRef() {
    BulletML_Node* reference = current_;
    // A missing cursor is a warning, not the end of the program.
    BulletML_Node* target = findTarget(kCursor, reference->getLabel(), true);
    if (!target) {
        logNullPointerWarning("EXBulletML_Runtime_Selectable", 467);
        return kLeave;
    }
    ValueNodes values{*this, target, reference};
    const std::int32_t pause = truncateToInt32(values.value(kPause, 0.0));
    // Without a "flag" of its own the cursor takes its pause value as its
    // attribute bits (kept: menus may test them).
    const std::int32_t attributeBits =
        target->hasChild(kFlag) ? truncateToInt32(ValueNodes{*this, target, nullptr}.value(kFlag, 0.0)) : pause;
    BulletObjectManager* objects = runtimeObjectManager();
    SelectableObject* cursor = createEntry(objects, pause);
    if (!cursor) return kLeave;
    cursor->setKind(SelectableObject::kCursorKind);
    cursor->setWideName(reference->getLabel());
    cursor->setActive(0);
    R* spawned = spawnChild(target);
    if (spawned) spawned->enterRef(reference);
    if (!giveScript(cursor, spawned)) return kLeave;
    placeCursor(*this, cursor, managerOf(objects, pause), values, attributeBits);
    return kLeave;
}

std::int32_t R::execUnselectedRef() { return eventReference(*this, kUnselected, Event::Unselected); }
std::int32_t R::execSelectedRef() { return eventReference(*this, kSelected, Event::Selected); }
std::int32_t R::execDecidedRef() { return eventReference(*this, kDecided, Event::Decided); }

std::int32_t R::execDisableTable() {
    const std::int32_t x = truncateToInt32(evalChild(kX));
    const std::int32_t y = truncateToInt32(evalChild(kY));
    BulletObjectManager* objects = runtimeObjectManager();
    if (SelectableObjectManager* menu = objects ? objects->getSelectManager() : nullptr) menu->pushDisableRequest(x, y);
    return kGoOn;
}

std::int32_t R::execEnableTable() {
    const std::int32_t x = truncateToInt32(evalChild(kX));
    const std::int32_t y = truncateToInt32(evalChild(kY));
    BulletObjectManager* objects = runtimeObjectManager();
    if (SelectableObjectManager* menu = objects ? objects->getSelectManager() : nullptr) menu->enableEntry(x, y);
    return kGoOn;
}

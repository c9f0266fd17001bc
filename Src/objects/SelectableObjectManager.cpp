#include "objects/SelectableObjectManager.h"

#include <algorithm>
#include <limits>
#include <new>

#include "objects/BulletObjectManager.h"
#include "objects/SelectableObject.h"
#include "objects/SelectableObjectAllocator.h"
#include "services/Managers.h"

namespace {
using namespace object_flag;

constexpr std::uint8_t kEntryKind = object_kind::kSelectable;

bool isLive(SelectableObject* entry) { return entry->getState() == 0; }
bool isLeaving(SelectableObject* entry) { return (entry->getFlags() & kRevenge) != 0; }
// A live entry of kind 8 that has not been decided, cancelled or sent away:
// one the player may still choose.
bool isWaiting(SelectableObject* entry) {
    return isLive(entry) && entry->getKind() == kEntryKind && !(entry->getFlags() & (kRevenge | kDecided | kWaiting));
}
}  // namespace

SelectableObjectManager::SelectableObjectManager(const char* name) : name_(internName(name)) {
    const std::size_t room = SelectableObjectAllocator::kBlocks;
    indexRangeByTable_.reserve(room);
    tableRangeByIndex_.reserve(room);
    retired_.reserve(room);
    removalQueue_.reserve(room);
    disableQueue_.reserve(64);
}

SelectableObjectManager::~SelectableObjectManager() {
    walking_ = false;
    clear();
}

SelectableObject* SelectableObjectManager::create() {
    void* block = SelectableObjectAllocator::instance().get();
    if (!block) return nullptr;
    auto* entry = new (block) SelectableObject();
    entry->setTag(serial_);
    entries_.emplace(serial_, entry);
    ++serial_;
    // A script that builds a menu and then waits for it must wait even before
    // the motion step has counted the new entries.
    ++waitFlag_;
    return entry;
}

// ---- destruction ----

void SelectableObjectManager::destroyEntry(SelectableObject* entry) {
    if (entry == cursorObject_) cursorObject_ = nullptr;
    if (entry == walkEntry_) walkEntry_ = nullptr;
    entry->destroy(0);
}

void SelectableObjectManager::retire(SelectableObject* entry) {
    if (entry == cursorObject_) cursorObject_ = nullptr;
    if (walking_) {
        // The running entry (or one its script reaches) must outlive the walk.
        if (entry->getState() == 0) entry->setState(1);
        retired_.push_back(entry);
    } else {
        destroyEntry(entry);
    }
}

void SelectableObjectManager::destroyRetired() {
    // Destroying can run no script, so nothing joins the list meanwhile.
    for (SelectableObject* entry : retired_) destroyEntry(entry);
    retired_.clear();
}

void SelectableObjectManager::removeDead() {
    for (auto it = entries_.begin(); it != entries_.end();) {
        SelectableObject* entry = it->second;
        if (entry->getState() != 0) {
            it = entries_.erase(it);
            retire(entry);
        } else {
            ++it;
        }
    }
}

void SelectableObjectManager::clear() {
    while (!entries_.empty()) {
        SelectableObject* entry = entries_.begin()->second;
        entries_.erase(entries_.begin());
        retire(entry);
    }
    if (!walking_) destroyRetired();
    disableQueue_.clear();
    removalQueue_.clear();
    decideRequest_ = 0;
    waitFlag_ = 0;
    cursorObject_ = nullptr;
    serial_ = 1;
}

void SelectableObjectManager::vanishAll() {
    for (auto& [tag, entry] : entries_) entry->setState(1);
    decideRequest_ = 0;
    waitFlag_ = 0;
}

void SelectableObjectManager::revengeAll() {
    for (auto& [tag, entry] : entries_) entry->setFlags(kRevenge);
}

void SelectableObjectManager::revengeByName(NameHandle wideName) {
    for (auto& [tag, entry] : entries_) {
        if (entry->getWideName() == wideName) entry->setFlags(kRevenge | kRevengeFromParent);
    }
}

void SelectableObjectManager::vanishByName(NameHandle wideName) {
    for (auto& [tag, entry] : entries_) {
        if (entry->getWideName() == wideName) entry->setState(1);
    }
}

// ---- table and cursor ----

std::int32_t SelectableObjectManager::highestIndexOf(std::int32_t table) const {
    std::int32_t highest = 0;
    for (const auto& [tag, entry] : entries_) {
        if (isLive(entry) && !isLeaving(entry) && entry->getTableId() == table)
            highest = std::max(highest, entry->getIndex());
    }
    return highest;
}

std::int32_t SelectableObjectManager::highestTableOf(std::int32_t index) const {
    std::int32_t highest = 0;
    for (const auto& [tag, entry] : entries_) {
        if (isLive(entry) && !isLeaving(entry) && entry->getIndex() == index)
            highest = std::max(highest, entry->getTableId());
    }
    return highest;
}

namespace {
// Past the top: the first; below 0: the highest. Works on any value, so a
// step from INT_MIN or INT_MAX cannot overflow.
std::int32_t wrapTo(std::int64_t value, std::int32_t highest) {
    if (value > highest) return 0;
    if (value < 0) return highest;
    return static_cast<std::int32_t>(value);
}
}  // namespace

void SelectableObjectManager::setTableWide(std::int64_t table) {
    table_ = wrapTo(table, maxTable_);
    cursor_ = wrapTo(cursor_, highestIndexOf(table_));
}

void SelectableObjectManager::setCursorWide(std::int64_t cursor) {
    cursor_ = wrapTo(cursor, maxIndex_);
    table_ = wrapTo(table_, highestTableOf(cursor_));
}

void SelectableObjectManager::setTable(std::int32_t table) { setTableWide(table); }
void SelectableObjectManager::setCursor(std::int32_t cursor) { setCursorWide(cursor); }
void SelectableObjectManager::moveCursor(std::int32_t delta) { setCursorWide(std::int64_t{cursor_} + delta); }

void SelectableObjectManager::moveTable(std::int32_t delta) {
    // The tables that hold the current index; an index without entries
    // reads 0 and 0, as an absent map entry would.
    const Range* range = findRange(tableRangeByIndex_, cursor_);
    const std::int64_t lowest = range ? range->low : 0;
    const std::int64_t highest = range ? range->high : 0;
    const std::int64_t next = std::int64_t{table_} + delta;
    if (delta < 0) {
        if (next < minTable_) {
            table_ = maxTable_;
        } else if (next < lowest) {
            table_ = static_cast<std::int32_t>(highest);
        } else {
            table_ = static_cast<std::int32_t>(next);
        }
    } else if (delta > 0) {
        if (next > maxTable_) {
            table_ = minTable_;
        } else if (next > highest) {
            table_ = static_cast<std::int32_t>(lowest);
        } else {
            table_ = static_cast<std::int32_t>(next);
        }
    }
}

SelectableObject* SelectableObjectManager::getFocusObject() const {
    for (const auto& [tag, entry] : entries_) {
        if (entry->getKind() == kEntryKind && entry->getTableId() == table_ && entry->getIndex() == cursor_)
            return entry;
    }
    return nullptr;
}

void SelectableObjectManager::applyCursor() {
    for (auto& [tag, entry] : entries_) {
        if (!isLive(entry) || isLeaving(entry) || entry->getKind() != kEntryKind) continue;
        const bool selected = (entry->getFlags() & kSelected) != 0;
        if (entry->getTableId() == table_ && entry->getIndex() == cursor_) {
            // An entry already under the cursor keeps its running script.
            if (!selected) entry->enterSelected();
            entry->addFlags(kSelected);
        } else {
            if (selected) entry->enterUnselected();
            entry->clearFlags(kSelected);
        }
    }
}

std::int32_t SelectableObjectManager::decideCursor() {
    for (const auto& [tag, entry] : entries_) {
        if (entry->getKind() != kEntryKind || entry->getTableId() != table_ || entry->getIndex() != cursor_) continue;
        if (entry->isDisabled() || !isLive(entry) || isLeaving(entry)) return 0;
    }
    for (auto& [tag, entry] : entries_) {
        if (entry->getKind() != kEntryKind || entry->getTableId() != table_) continue;
        entry->clearFlags(kSelected);
        entry->addFlags(entry->getIndex() == cursor_ ? kDecided : kRevenge);
    }
    decideRequest_ = 0;
    return 1;
}

std::int32_t SelectableObjectManager::takeDecideRequest() {
    if (decideRequest_ > 0) {
        decideRequest_ = 0;
        return 1;
    }
    return 0;
}

void SelectableObjectManager::pushDisableRequest(std::int32_t table, std::int32_t index) {
    disableQueue_.emplace_back(table, index);
}

void SelectableObjectManager::enableEntry(std::int32_t table, std::int32_t index) {
    for (auto& [tag, entry] : entries_) {
        if (entry->getTableId() == table && entry->getIndex() == index) {
            entry->enable();
            return;
        }
    }
}

std::int32_t SelectableObjectManager::allWaitersReady() const {
    for (const auto& [tag, entry] : entries_) {
        if (entry->getKind() == SelectableObject::kCursorKind && !entry->getUnselectedRuntime()) return 0;
    }
    return 1;
}

std::int32_t SelectableObjectManager::closeMenu() {
    if (!allWaitersReady()) return 0;
    for (auto& [tag, entry] : entries_) {
        if (entry->getKind() != kEntryKind) continue;
        entry->clearFlags(kSelected);
        entry->addFlags(kRevenge);
    }
    return 1;
}

// ---- ranges ----

void SelectableObjectManager::noteRange(RangeMap& map, std::int32_t key, std::int32_t value) {
    auto it = std::lower_bound(map.begin(), map.end(), key,
                               [](const Range& range, std::int32_t wanted) { return range.key < wanted; });
    if (it != map.end() && it->key == key) {
        it->low = std::min(it->low, value);
        it->high = std::max(it->high, value);
    } else {
        map.insert(it, Range{key, value, value});
    }
}

const SelectableObjectManager::Range* SelectableObjectManager::findRange(const RangeMap& map, std::int32_t key) {
    auto it = std::lower_bound(map.begin(), map.end(), key,
                               [](const Range& range, std::int32_t wanted) { return range.key < wanted; });
    return it != map.end() && it->key == key ? &*it : nullptr;
}

void SelectableObjectManager::computeRanges() {
    maxTable_ = maxIndex_ = minTable_ = minIndex_ = 0;
    indexRangeByTable_.clear();
    tableRangeByIndex_.clear();
    bool first = true;
    for (const auto& [tag, entry] : entries_) {
        if (!isLive(entry) || isLeaving(entry) || entry->getKind() != kEntryKind) continue;
        const std::int32_t table = entry->getTableId();
        const std::int32_t index = entry->getIndex();
        if (first) {
            maxTable_ = minTable_ = table;
            maxIndex_ = minIndex_ = index;
            first = false;
        } else {
            maxTable_ = std::max(maxTable_, table);
            minTable_ = std::min(minTable_, table);
            maxIndex_ = std::max(maxIndex_, index);
            minIndex_ = std::min(minIndex_, index);
        }
        noteRange(indexRangeByTable_, table, index);
        noteRange(tableRangeByIndex_, index, table);
    }
}

// ---- the per-frame steps ----

void SelectableObjectManager::runScripts() {
    BulletObjectManager* objects = g_bulletObjectManager;
    walking_ = true;
    if (objects) objects->enterWalk();
    // By tag rather than by iterator: a script may add entries (visited in
    // this walk, as their tags come later) or take entries out of the map.
    std::uint32_t lastTag = 0;
    for (auto it = entries_.upper_bound(lastTag); it != entries_.end(); it = entries_.upper_bound(lastTag)) {
        SelectableObject* entry = it->second;
        lastTag = it->first;
        // A vanished entry's scripts are stopped; it leaves in this frame.
        if (entry->getState() != 0) continue;
        walkEntry_ = entry;
        if (objects) objects->walkAt(entry);
        entry->runMainOrRevenge();
        // The entry may have been taken out by its own script; it is alive
        // until the walk ends.
        entry->runPresent();
    }
    walkEntry_ = nullptr;
    if (objects) objects->leaveWalk();
    walking_ = false;
    destroyRetired();

    for (const auto& [table, index] : disableQueue_) {
        for (auto& [tag, entry] : entries_) {
            if (entry->getTableId() == table && entry->getIndex() == index) entry->disable();
        }
    }
    disableQueue_.clear();
}

void SelectableObjectManager::runMotion() {
    // The wait flag counts the entries still waiting for a decision; it falls
    // to 0 once an entry is decided or the menu is closed.
    maxTable_ = 0;
    maxIndex_ = 0;
    std::int32_t waiting = 0;
    for (const auto& [tag, entry] : entries_) {
        if (!isWaiting(entry)) continue;
        ++waiting;
        maxTable_ = std::max(maxTable_, entry->getTableId());
        maxIndex_ = std::max(maxIndex_, entry->getIndex());
    }
    waitFlag_ = waiting;
    for (auto& [tag, entry] : entries_) {
        if (entry->getState() == 0) {
            entry->update();
        } else {
            removalQueue_.push_back(tag);
        }
    }
}

void SelectableObjectManager::runRemoval() {
    for (std::uint32_t tag : removalQueue_) {
        auto it = entries_.find(tag);
        if (it == entries_.end()) continue;
        SelectableObject* entry = it->second;
        entries_.erase(it);
        retire(entry);
    }
    removalQueue_.clear();
}

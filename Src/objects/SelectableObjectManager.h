// The entries of one menu layer: the current table and cursor, the limits
// over which they wrap, the queued disable requests and the decide request.
// The object manager owns two ("selectmgr_" for the game's menus and
// "pauseselectmgr_" for the pause menu) and runs the active one every frame
// in three steps: scripts, motion, removal.
//
// Entries are walked in tag order. A script may clear the menu, or vanish
// and remove its entries, from an entry's own script: entries leave the map
// at once but are destroyed only after the walk, so the running entry and
// the walk stay valid.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "services/NamePool.h"

class SelectableObject;

class SelectableObjectManager {
public:
    explicit SelectableObjectManager(const char* name);
    SelectableObjectManager(const SelectableObjectManager&) = delete;
    SelectableObjectManager& operator=(const SelectableObjectManager&) = delete;
    // Destroys every entry.
    virtual ~SelectableObjectManager();
    // Every entry gets setFlags(0x100): all of them leave through their
    // revenge scripts.
    virtual void revengeAll();
    // Every entry gets state 1; the decide request and the wait flag clear.
    virtual void vanishAll();

    // A new entry from the selectable pool, tagged with the serial; null when
    // the pool is empty (the map and the serial stay as they were).
    SelectableObject* create();

    // Current table and cursor with their wrap rules (see the source).
    void setTable(std::int32_t table);
    void setCursor(std::int32_t cursor);
    // Stored as given, without wrapping.
    void setCursorIndex(std::int32_t cursor) { cursor_ = cursor; }
    void setCursorTableId(std::int32_t table) { table_ = table; }
    void moveCursor(std::int32_t delta);
    void moveTable(std::int32_t delta);
    std::int32_t getTable() const { return table_; }
    std::int32_t getCursor() const { return cursor_; }
    std::int32_t getMaxTable() const { return maxTable_; }
    std::int32_t getMaxIndex() const { return maxIndex_; }
    std::int32_t getMinTable() const { return minTable_; }
    std::int32_t getMinIndex() const { return minIndex_; }

    // The entry under the cursor gets selected (its selected script restarts
    // unless it was selected already); a selected entry elsewhere gets its
    // unselected script back.
    void applyCursor();
    // The name the cursor commands use for applyCursor (it decides nothing).
    void decide() { applyCursor(); }
    // Decides the entry under the cursor: 0 and nothing changed when an entry
    // there is disabled, dead or leaving; else the rest of the table leaves
    // (revenge mode) in the same call and 1.
    std::int32_t decideCursor();
    void requestDecide() { decideRequest_ = 1; }
    // 1 and the request cleared when one was pending, else 0.
    std::int32_t takeDecideRequest();

    // How many entries wait for a decision (see the source); read by the wait
    // command, the debug overlay and the player step's input mode.
    std::int32_t getWaitFlag() const { return waitFlag_; }
    std::size_t getSize() const { return entries_.size(); }
    // The entry whose scripts run now; null outside the script step.
    SelectableObject* getSelectedObject() const { return walkEntry_; }
    // The kind-8 entry at the current table and cursor, or null.
    SelectableObject* getFocusObject() const;
    // The menu's cursor object; forgotten when it is destroyed.
    void setCursorObject(SelectableObject* object) { cursorObject_ = object; }
    SelectableObject* getCursorObject() const { return cursorObject_; }

    void pushDisableRequest(std::int32_t table, std::int32_t index);
    // The first entry at (table, index) in tag order is enabled again.
    void enableEntry(std::int32_t table, std::int32_t index);
    void revengeByName(NameHandle wideName);
    void vanishByName(NameHandle wideName);
    // Entries whose state is non-zero leave and are destroyed.
    void removeDead();
    // Every entry goes; the queues empty, the serial starts at 1 again.
    void clear();

    // The player step's range pass: lowest and highest table and index, per
    // table and per index, over the live entries of kind 8 not leaving.
    void computeRanges();
    // The step of the last cursor or table move (each -1, 0 or 1).
    void setMoveInput(std::int32_t dx, std::int32_t dy) {
        moveX_ = dx;
        moveY_ = dy;
    }
    std::int32_t getMoveX() const { return moveX_; }
    std::int32_t getMoveY() const { return moveY_; }

    // 1 when every entry of kind 7 has an unselected (cancel) script.
    std::int32_t allWaitersReady() const;
    // The same test; when it passes every kind-8 entry leaves and 1.
    std::int32_t closeMenu();

    // The three per-frame steps, and all three in order.
    void runScripts();
    void runMotion();
    void runRemoval();
    void runSteps() {
        runScripts();
        runMotion();
        runRemoval();
    }

    NameHandle getName() const { return name_; }
    bool isWalking() const { return walking_; }

    // The entries by tag (tests and the debug overlay).
    const std::map<std::uint32_t, SelectableObject*>& entries() const { return entries_; }

private:
    // Lowest and highest value per key, sorted by key; room for every entry
    // the pool can hold, so the per-frame pass never allocates.
    struct Range {
        std::int32_t key;
        std::int32_t low;
        std::int32_t high;
    };
    using RangeMap = std::vector<Range>;
    static void noteRange(RangeMap& map, std::int32_t key, std::int32_t value);
    static const Range* findRange(const RangeMap& map, std::int32_t key);

    void setTableWide(std::int64_t table);
    void setCursorWide(std::int64_t cursor);
    // Highest index among the live entries not leaving of a table, and
    // highest table among those of an index (0 when there is none).
    std::int32_t highestIndexOf(std::int32_t table) const;
    std::int32_t highestTableOf(std::int32_t index) const;
    // Takes the entry out of the map's care: destroyed now, or after the walk.
    void retire(SelectableObject* entry);
    void destroyEntry(SelectableObject* entry);
    void destroyRetired();

    std::int32_t table_ = 0;
    std::int32_t cursor_ = 0;
    std::int32_t maxTable_ = 0;
    std::int32_t maxIndex_ = 0;
    std::int32_t minTable_ = 0;
    std::int32_t minIndex_ = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> disableQueue_;
    NameHandle name_;
    RangeMap indexRangeByTable_;
    RangeMap tableRangeByIndex_;
    std::int32_t decideRequest_ = 0;
    std::map<std::uint32_t, SelectableObject*> entries_;
    std::int32_t waitFlag_ = 0;
    SelectableObject* walkEntry_ = nullptr;
    std::uint32_t serial_ = 1;
    std::int32_t moveX_ = 0;
    std::int32_t moveY_ = 0;
    SelectableObject* cursorObject_ = nullptr;
    bool walking_ = false;
    std::vector<SelectableObject*> retired_;
    std::vector<std::uint32_t> removalQueue_;
};

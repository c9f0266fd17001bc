// A menu entry: a BulletObject that knows its table (a column or page) and
// its index in it, and runs different scripts while unselected, selected or
// decided. Its kind is 8; the cursor object of a menu is the same class with
// kind 7. Entries come from the selectable pool (SelectableObjectAllocator)
// and are kept by a SelectableObjectManager.
#pragma once
#include <cstdint>

#include "objects/BulletObject.h"

class SelectableObject : public BulletObject {
public:
    // Kind of the cursor object of a menu.
    static constexpr std::uint8_t kCursorKind = 7;

    SelectableObject() = default;

    // Slot 0: the event runtimes go first, then the BulletObject rule.
    ResourceObject* destroy(std::uint32_t flags) override;
    // Slot 2: the BulletObject init, then table, index, event runtimes and the
    // disabled word zeroed (the event runtimes go back to their pool).
    void init() override;

    // Slot 21. The result tells which branch ran:
    //   1 runtime not active, 2 no main runtime, 3 revenge runtime ran,
    //   4 revenge without a revenge runtime (vanishes at once), 5 decided,
    //   6 selected, 7 unselected (kinds other than 7), 8 main runtime.
    // A cursor object (kind 7) runs its unselected script only while flagged
    // 0x4000 and answers that script's result then.
    std::int32_t runMainOrRevenge() override;
    // Slot 22: 1 without a present runtime; else it is marked started and runs.
    std::int32_t runPresent() override;

    // The cursor reached the entry: the selected script starts over and the
    // unselected one's stacks are emptied.
    void enterSelected();
    // The name the cursor commands use for enterSelected.
    void restartRuntimes() { enterSelected(); }
    // The cursor left it: the reverse.
    void enterUnselected();
    // The entry was decided: its decided script starts over.
    void restartDecided();

    // Each setter destroys the runtime it replaces.
    void setUnselectedRuntime(ExBulletML_Runtime* runtime);
    void setSelectedRuntime(ExBulletML_Runtime* runtime);
    void setDecidedRuntime(ExBulletML_Runtime* runtime);
    ExBulletML_Runtime* getUnselectedRuntime() const { return unselectedRuntime_; }
    ExBulletML_Runtime* getSelectedRuntime() const { return selectedRuntime_; }
    ExBulletML_Runtime* getDecidedRuntime() const { return decidedRuntime_; }

    void setTableIndex(std::int32_t table, std::int32_t index) {
        tableId_ = table;
        index_ = index;
    }
    std::int32_t getTableId() const { return tableId_; }
    void setTableId(std::int32_t id) { tableId_ = id; }
    std::int32_t getIndex() const { return index_; }
    std::int32_t getTableIndex() const { return index_; }
    void setTableIndex(std::int32_t index) { index_ = index; }

    void disable() { disabled_ = 1; }
    void enable() { disabled_ = 0; }
    std::int32_t isDisabled() const { return disabled_; }

protected:
    // Slot 0 ends here: the destructor, then the block goes back to the
    // selectable pool.
    void giveBlockBack() override;

private:
    void releaseEventRuntimes();

    std::int32_t tableId_ = 0;
    std::int32_t index_ = 0;
    ExBulletML_Runtime* unselectedRuntime_ = nullptr;
    ExBulletML_Runtime* selectedRuntime_ = nullptr;
    ExBulletML_Runtime* decidedRuntime_ = nullptr;
    std::int32_t disabled_ = 0;
};

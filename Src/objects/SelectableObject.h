// A menu entry: a BulletObject that knows its table and index and runs
// different scripts while unselected, selected or decided. Its data is here so
// the selectable pool has its size; the menus work gives it its behaviour.
#pragma once
#include <cstdint>

#include "objects/BulletObject.h"

class SelectableObject : public BulletObject {
public:
    SelectableObject() = default;


    std::int32_t getTableId() const { return tableId_; }
    void setTableId(std::int32_t id) { tableId_ = id; }
    std::int32_t getTableIndex() const { return index_; }
    void setTableIndex(std::int32_t index) { index_ = index; }

protected:
    // Slot 0 ends here: the destructor, then the block goes back to the
    // selectable pool.
    void giveBlockBack() override;

    std::int32_t tableId_ = 0;
    std::int32_t index_ = 0;
    ExBulletML_Runtime* unselectedRuntime_ = nullptr;
    ExBulletML_Runtime* selectedRuntime_ = nullptr;
    ExBulletML_Runtime* decidedRuntime_ = nullptr;
    std::int32_t disabled_ = 0;
};

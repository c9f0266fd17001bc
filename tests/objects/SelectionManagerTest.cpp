// The selection manager: the wrap rules of table and cursor, deciding,
// selecting, closing, the three per-frame steps and the wait flag.
#include <climits>

#include "objects/MenuFixture.h"
#include "objects/SelectableObjectAllocator.h"

namespace {
namespace f = object_flag;

class SelectionManagerTest : public MenuTest {
protected:
    SelectableObject* entry(std::int32_t table, std::int32_t index, std::uint8_t kind = 8) {
        SelectableObject* made = menu().create();
        made->setKind(kind);
        made->setTableIndex(table, index);
        return made;
    }
    // Table 0 holds rows 0-2, table 1 rows 0, 1 and 3, table 2 rows 0 and 3.
    void grid() {
        for (auto [table, index] : {std::pair{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 3}, {2, 0}, {2, 3}})
            entry(table, index);
        menu().runMotion();
        menu().computeRanges();
    }
    void at(std::int32_t table, std::int32_t cursor) {
        menu().setCursorTableId(table);
        menu().setCursorIndex(cursor);
    }
};

TEST_F(SelectionManagerTest, TableAndCursorWrapAgainstTheLiveEntries) {
    grid();
    ASSERT_EQ(menu().getMaxTable(), 2);
    ASSERT_EQ(menu().getMaxIndex(), 3);
    struct Case {
        const char* name;
        std::int32_t table, cursor;
        void (SelectableObjectManager::*op)(std::int32_t);
        std::int32_t value;
        std::int32_t wantTable, wantCursor;
    } cases[] = {
        {"table past the last is the first", 0, 2, &SelectableObjectManager::setTable, 3, 0, 2},
        {"table below 0 is the last", 0, 2, &SelectableObjectManager::setTable, -1, 2, 2},
        {"NaN's INT_MIN is below 0", 0, 0, &SelectableObjectManager::setTable, INT_MIN, 2, 0},
        {"cursor past the table's last row", 0, 3, &SelectableObjectManager::setTable, 0, 0, 0},
        {"cursor past the last row is the first", 2, 3, &SelectableObjectManager::setCursor, 4, 2, 0},
        {"cursor below 0 is the last row", 0, 0, &SelectableObjectManager::setCursor, -1, 0, 3},
        {"table past the row's last table", 2, 0, &SelectableObjectManager::setCursor, 2, 0, 2},
        {"cursor step from INT_MAX", 1, INT_MAX, &SelectableObjectManager::moveCursor, 1, 1, 0},
        {"cursor step from INT_MIN", 0, INT_MIN, &SelectableObjectManager::moveCursor, -1, 0, 3},
        {"next table past the row's last", 1, 1, &SelectableObjectManager::moveTable, 1, 0, 1},
        {"next table past the last table", 2, 0, &SelectableObjectManager::moveTable, 1, 0, 0},
        {"previous table below the first", 0, 1, &SelectableObjectManager::moveTable, -1, 2, 1},
        {"previous table below the row's first", 1, 3, &SelectableObjectManager::moveTable, -1, 2, 3},
        {"previous table", 1, 0, &SelectableObjectManager::moveTable, -1, 0, 0},
        {"table step from INT_MIN", INT_MIN, 0, &SelectableObjectManager::moveTable, -1, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        at(c.table, c.cursor);
        (menu().*c.op)(c.value);
        EXPECT_EQ(menu().getTable(), c.wantTable);
        EXPECT_EQ(menu().getCursor(), c.wantCursor);
    }
}

TEST_F(SelectionManagerTest, DecidingADisabledEntryChangesNothing) {
    SelectableObject* a = entry(0, 0);
    SelectableObject* b = entry(0, 1);
    SelectableObject* other = entry(1, 0);
    at(0, 1);
    menu().applyCursor();
    b->disable();
    menu().requestDecide();
    EXPECT_EQ(menu().decideCursor(), 0);
    EXPECT_EQ(a->getFlags(), 0u);
    EXPECT_EQ(b->getFlags(), f::kSelected);
    EXPECT_EQ(menu().takeDecideRequest(), 1);

    b->enable();
    menu().requestDecide();
    EXPECT_EQ(menu().decideCursor(), 1);
    // In the same call: the entry is decided, the rest of its table leaves.
    EXPECT_EQ(b->getFlags(), f::kDecided);
    EXPECT_EQ(a->getFlags(), f::kRevenge);
    EXPECT_EQ(other->getFlags(), 0u);
    EXPECT_EQ(menu().takeDecideRequest(), 0);
    // A leaving entry under the cursor cannot be decided.
    at(0, 0);
    EXPECT_EQ(menu().decideCursor(), 0);
}

TEST_F(SelectionManagerTest, ApplyCursorRestartsOnlyAnEntryNewlySelected) {
    load(R"(<action label="a"><wait>100</wait></action>)");
    SelectableObject* a = entry(0, 0);
    SelectableObject* b = entry(0, 1);
    for (SelectableObject* e : {a, b}) {
        for (int event = 0; event < 2; ++event) {
            ExBulletML_Runtime* runtime = manager().getRuntime();
            runtime->setupByLabel(kAction, wide(u"a"));
            event ? e->setSelectedRuntime(runtime) : e->setUnselectedRuntime(runtime);
        }
    }
    at(0, 0);
    menu().applyCursor();
    EXPECT_EQ(a->getFlags() & f::kSelected, f::kSelected);
    EXPECT_TRUE(a->getSelectedRuntime()->isActive());
    // Emptied by hand: a second applyCursor must leave it so.
    a->getSelectedRuntime()->clear();
    menu().applyCursor();
    EXPECT_FALSE(a->getSelectedRuntime()->isActive());
    at(0, 1);
    menu().applyCursor();
    EXPECT_EQ(a->getFlags() & f::kSelected, 0u);
    EXPECT_TRUE(a->getUnselectedRuntime()->isActive());
    EXPECT_TRUE(b->getSelectedRuntime()->isActive());
}

TEST_F(SelectionManagerTest, AMenuAllLeavingHasNoRowsAndWaitsForNothing) {
    for (auto [table, index] : {std::pair{1, 2}, {2, 3}}) entry(table, index)->addFlags(f::kRevenge);
    EXPECT_EQ(menu().getWaitFlag(), 2);  // counted at creation
    menu().runMotion();
    EXPECT_EQ(menu().getMaxTable(), 0);
    EXPECT_EQ(menu().getMaxIndex(), 0);
    EXPECT_EQ(menu().getWaitFlag(), 0);
    menu().computeRanges();
    EXPECT_EQ(menu().getMaxTable(), 0);
    EXPECT_EQ(menu().getMaxIndex(), 0);
}

// The wait flag counts the entries still waiting for a decision.
TEST_F(SelectionManagerTest, WaitFlagCountsEntriesUntilOneIsDecided) {
    entry(0, 0);
    entry(0, 1);
    entry(0, 2, SelectableObject::kCursorKind);
    EXPECT_EQ(menu().getWaitFlag(), 3);
    menu().runSteps();
    EXPECT_EQ(menu().getWaitFlag(), 2);  // the cursor object does not wait
    EXPECT_EQ(menu().getMaxIndex(), 1);
    menu().decideCursor();
    menu().runSteps();
    EXPECT_EQ(menu().getWaitFlag(), 0);

    menu().clear();
    entry(0, 0);
    menu().vanishAll();
    EXPECT_EQ(menu().getWaitFlag(), 0);
    entry(0, 0);
    menu().clear();
    EXPECT_EQ(menu().getWaitFlag(), 0);
}

TEST_F(SelectionManagerTest, ClosingNeedsEveryCursorsCancelScript) {
    SelectableObject* a = entry(0, 0);
    a->addFlags(f::kSelected);
    SelectableObject* cursor = entry(0, 0, SelectableObject::kCursorKind);
    EXPECT_EQ(menu().allWaitersReady(), 0);
    EXPECT_EQ(menu().closeMenu(), 0);
    EXPECT_EQ(a->getFlags(), f::kSelected);
    cursor->setUnselectedRuntime(script({}));
    EXPECT_EQ(menu().allWaitersReady(), 1);
    EXPECT_EQ(menu().closeMenu(), 1);
    EXPECT_EQ(a->getFlags(), f::kRevenge);
    EXPECT_EQ(cursor->getFlags(), 0u);
}

// Scripts in tag order with the entry as the running one; disable requests
// after every script; dead entries skip the motion and leave in the removal.
TEST_F(SelectionManagerTest, TheThreeStepsRunScriptsThenMotionThenRemoval) {
    std::string order;
    SelectableObject* first = entry(0, 0);
    SelectableObject* second = entry(0, 1);
    first->setMainRuntime(script([&](ScriptedRuntime&) {
        order += "1";
        EXPECT_EQ(menu().getSelectedObject(), first);
        EXPECT_EQ(manager().getCurrent(), first);
        menu().pushDisableRequest(0, 1);
        first->setState(1);
        return 0;
    }));
    second->setMainRuntime(script([&](ScriptedRuntime&) {
        order += second->isDisabled() ? "d" : "2";
        return 0;
    }));
    second->setSpeed(2.0f);
    second->setDirection(180.0f);
    EXPECT_EQ(menu().getSelectedObject(), nullptr);
    menu().runScripts();
    EXPECT_EQ(order, "12");
    EXPECT_EQ(second->isDisabled(), 1);
    EXPECT_EQ(menu().getSelectedObject(), nullptr);
    EXPECT_EQ(menu().getSize(), 2u);
    const float y = second->getY();
    menu().runMotion();
    EXPECT_FLOAT_EQ(second->getY(), y + 2.0f);
    EXPECT_EQ(menu().getSize(), 2u);
    menu().runRemoval();
    EXPECT_EQ(menu().getSize(), 1u);
    menu().enableEntry(0, 1);
    EXPECT_EQ(second->isDisabled(), 0);
}

// An entry's script clears the menu it runs in (as "clearselectable" does):
// the walk finishes on the entry, which is destroyed afterwards, and new
// entries start from tag 1.
TEST_F(SelectionManagerTest, AScriptClearingItsOwnMenuLeavesTheWalkSound) {
    int destroyed = 0;
    SelectableObject* first = entry(0, 0);
    entry(0, 1)->setMainRuntime(script({}, &destroyed));
    first->setMainRuntime(script(
        [&](ScriptedRuntime&) {
            menu().clear();
            EXPECT_EQ(menu().getSize(), 0u);
            EXPECT_EQ(destroyed, 0);  // nothing is freed under the running script
            EXPECT_EQ(menu().create()->getTag(), 1u);
            return 0;
        },
        &destroyed));
    menu().setCursorObject(first);
    menu().runScripts();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(menu().getSize(), 1u);
    EXPECT_EQ(menu().getCursorObject(), nullptr);
    // The pause menu's "cancelpause" path: vanish and remove from a script.
    SelectableObject* last = menu().entries().begin()->second;
    last->setMainRuntime(script([&](ScriptedRuntime&) {
        menu().vanishAll();
        menu().removeDead();
        return 0;
    }));
    menu().runSteps();
    EXPECT_EQ(menu().getSize(), 0u);
}

// "clearselectable" run by the decided script of the entry it destroys.
TEST_F(SelectionManagerTest, ADecidedScriptClearingTheMenu) {
    int destroyed = 0;
    SelectableObject* chosen = entry(0, 0);
    entry(0, 1)->setMainRuntime(script({}, &destroyed));
    chosen->setMainRuntime(script({}, &destroyed));
    chosen->setDecidedRuntime(script(
        [&](ScriptedRuntime&) {
            menu().clear();
            return 0;
        },
        &destroyed));
    ASSERT_EQ(menu().decideCursor(), 1);
    chosen->restartDecided();
    menu().runSteps();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(menu().getSize(), 0u);
    menu().runSteps();
}

TEST_F(SelectionManagerTest, ADestroyedCursorObjectIsForgotten) {
    SelectableObject* cursor = entry(0, 0, SelectableObject::kCursorKind);
    menu().setCursorObject(cursor);
    cursor->setState(1);
    menu().runSteps();
    EXPECT_EQ(menu().getCursorObject(), nullptr);
}

TEST_F(SelectionManagerTest, AnEmptyPoolMakesNoEntryAndKeepsTheSerial) {
    SelectableObjectAllocator& pool = SelectableObjectAllocator::instance();
    const std::size_t free = pool.count();
    for (std::size_t i = 0; i < free; ++i) ASSERT_NE(menu().create(), nullptr);
    EXPECT_EQ(menu().create(), nullptr);
    EXPECT_EQ(manager().createPauseSelectable(), nullptr);
    EXPECT_EQ(countLogLines("SelectableObjectAllocator::get() Pool is Empty!"), 2);
    EXPECT_EQ(menu().getSize(), free);
    menu().entries().rbegin()->second->setState(1);
    menu().runSteps();
    EXPECT_EQ(menu().create()->getTag(), free + 1);
}

// The object step runs the menu of the paused state, and both menus on the
// frame a pause toggle is pending.
TEST_F(SelectionManagerTest, TheObjectStepRunsTheMenuOfThePausedState) {
    int normal = 0, paused = 0;
    SelectableObject* a = menu().create();
    a->setMainRuntime(script([&](ScriptedRuntime&) { return ++normal, 0; }));
    SelectableObject* b = pauseMenu().create();
    b->setMainRuntime(script([&](ScriptedRuntime&) {
        EXPECT_EQ(manager().getSelectManager(), &pauseMenu());
        return ++paused, 0;
    }));
    frames(1);
    EXPECT_EQ(normal, 1);
    EXPECT_EQ(paused, 0);
    game().requestPauseToggle();
    frames(1);
    EXPECT_EQ(normal, 2);
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(manager().getSelectManager(), &menu());
    game().applyPauseToggle();
    frames(1);
    EXPECT_EQ(normal, 2);
    EXPECT_EQ(paused, 2);
    EXPECT_EQ(manager().getSelectManager(), &pauseMenu());
}

}  // namespace

// The menu commands through the interpreter, on small scripts: entries,
// cursors, their references, event scripts and table cells.
#include <cmath>

#include "objects/MenuFixture.h"
#include "platform/Thread.h"
#include "services/Managers.h"

namespace {

class MenuCommandsTest : public MenuTest {
protected:
    // Loads `body` as the children of "top" plus `definitions`, makes the
    // emitter at (100, 200) and runs `n` object steps.
    BulletObject* run(const std::string& body, const std::string& definitions = "", int n = 1,
                      void (*prepare)(ExBulletML_Runtime&, BulletObject&) = nullptr) {
        load(R"(<action label="top">)" + body + R"(<wait>1000</wait></action>)" + definitions);
        BulletObject* emitter = spawn(u"top", 100.0f, 200.0f);
        if (prepare) prepare(*emitter->getMainRuntime(), *emitter);
        frames(n);
        return emitter;
    }
    SelectableObject* only(SelectableObjectManager& which) {
        EXPECT_EQ(which.getSize(), 1u);
        return which.getSize() == 0 ? nullptr : which.entries().begin()->second;
    }
};

// The creating runtime's creation values and fire types stand in for every
// value the element does not give.
void creationValues(ExBulletML_Runtime& runtime, BulletObject& emitter) {
    float* values = runtime.getCreationValues();
    const float given[6] = {90.0f, 2.0f, 150.0f, 60.0f, 3.0f, 4.0f};
    for (int i = 0; i < 6; ++i) values[i] = given[i];
    runtime.setFireDirectionType(kTypeAbsolute);
    runtime.setFireSpeedType(kTypeAbsolute);
    runtime.setPreviousDirection(100.0f);
    runtime.setPreviousSpeed(1.5f);
    emitter.setDirection(30.0f);
    emitter.setSpeed(1.0f);
}

TEST_F(MenuCommandsTest, SelectablePlacesItsItemFromValuesOrFallBacks) {
    struct Case {
        const char* name;
        const char* element;
        float x, y;
        std::int32_t table, index;
        float direction, speed;
    } cases[] = {
        {"all from the creation values", R"(<selectable label="item"><wait>1</wait></selectable>)", 150.0f, 60.0f, 3,
         4, 90.0f, 2.0f},
        {"all given",
         R"(<selectable label="item"><cx>10</cx><cy>20</cy><x>1</x><y>2.9</y>)"
         R"(<direction type="absolute">45</direction><speed>3</speed><wait>1</wait></selectable>)",
         10.0f, 20.0f, 1, 2, 45.0f, 3.0f},
        {"relative to the running object",
         R"(<selectable label="item"><direction type="relative">10</direction>)"
         R"(<speed type="relative">0.5</speed><wait>1</wait></selectable>)",
         150.0f, 60.0f, 3, 4, 40.0f, 1.5f},
        {"in sequence with the previous item",
         R"(<selectable label="item"><direction type="sequence">5</direction>)"
         R"(<speed type="sequence">1</speed><wait>1</wait></selectable>)",
         150.0f, 60.0f, 3, 4, 105.0f, 2.5f},
        {"aimed at the player straight below",
         R"(<selectable label="item"><cx>320</cx><cy>100</cy><direction>15</direction><wait>1</wait></selectable>)",
         320.0f, 100.0f, 3, 4, 195.0f, 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager().clearAll();
        makePlayer(320.0f, 400.0f);
        BulletObject* emitter = run(c.element, "", 1, &creationValues);
        SelectableObject* item = only(menu());
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->getKind(), object_kind::kSelectable);
        EXPECT_EQ(item->getWideName(), wide(u"item"));
        // Placed, then moved by one frame of motion in the menu's step.
        EXPECT_NEAR(item->getX() - item->getVelocityX(), c.x, 1e-4);
        EXPECT_NEAR(item->getY() - item->getVelocityY(), c.y, 1e-4);
        EXPECT_EQ(item->getTableId(), c.table);
        EXPECT_EQ(item->getIndex(), c.index);
        EXPECT_NEAR(item->getDirection(), c.direction, 1e-4);
        EXPECT_FLOAT_EQ(item->getSpeed(), c.speed);
        // The item's own script ran in the menu's step: it shows now.
        EXPECT_EQ(item->isActive(), 1);
        EXPECT_EQ(item->getMainRuntime()->isStarted(), 1);
        ExBulletML_Runtime* runtime = emitter->getMainRuntime();
        EXPECT_FLOAT_EQ(runtime->getPreviousDirection(), item->getDirection());
        EXPECT_FLOAT_EQ(runtime->getPreviousSpeed(), item->getSpeed());
    }
}

TEST_F(MenuCommandsTest, PauseAboveZeroPutsTheItemInThePauseMenu) {
    for (const char* pause : {"1", "0", "-1", "0.5"}) {
        SCOPED_TRACE(pause);
        manager().clearAll();
        run(std::string(R"(<selectable label="item"><pause>)") + pause + "</pause><wait>1</wait></selectable>");
        const bool toPause = std::string(pause) == "1";
        EXPECT_EQ(pauseMenu().getSize(), toPause ? 1u : 0u);
        EXPECT_EQ(menu().getSize(), toPause ? 0u : 1u);
    }
}

TEST_F(MenuCommandsTest, SelectableRefTakesTargetThenReferenceValues) {
    run(R"(<selectableref label="item"><cy>7</cy><pause>1</pause><x>2</x></selectableref>)",
        R"(<selectable label="item"><cx>5</cx><x>1</x><wait>1</wait></selectable>)", 1, &creationValues);
    // "pause" is the target's alone: the reference's 1 does not count.
    SelectableObject* item = only(menu());
    ASSERT_NE(item, nullptr);
    EXPECT_NEAR(item->getX() - item->getVelocityX(), 5.0f, 1e-4);
    EXPECT_NEAR(item->getY() - item->getVelocityY(), 7.0f, 1e-4);
    EXPECT_EQ(item->getTableId(), 1);
    EXPECT_EQ(item->getIndex(), 4);
    EXPECT_EQ(item->getWideName(), wide(u"item"));
    EXPECT_EQ(item->isActive(), 1);
}

TEST_F(MenuCommandsTest, CursorSetsItsMenusCursor) {
    run(R"(<cursor label="c"><x>2</x><y>3</y><flag>5</flag><wait>1</wait></cursor>)");
    SelectableObject* cursor = only(menu());
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->getKind(), SelectableObject::kCursorKind);
    EXPECT_EQ(cursor->getAttributeBits(), 5);
    EXPECT_EQ(cursor->getTableId(), 2);
    EXPECT_EQ(cursor->getIndex(), 3);
    EXPECT_EQ(menu().getTable(), 2);
    EXPECT_EQ(menu().getCursor(), 3);
    EXPECT_EQ(menu().getCursorObject(), cursor);
}

TEST_F(MenuCommandsTest, CursorRefWithoutFlagTakesItsPauseAsAttributeBits) {
    run(R"(<cursorref label="c"><y>1</y></cursorref>)", R"(<cursor label="c"><pause>1</pause><x>4</x></cursor>)", 1,
        &creationValues);
    SelectableObject* cursor = only(pauseMenu());
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->getAttributeBits(), 1);
    EXPECT_EQ(cursor->getTableId(), 4);
    EXPECT_EQ(cursor->getIndex(), 1);
    EXPECT_EQ(pauseMenu().getCursorObject(), cursor);
    EXPECT_EQ(pauseMenu().getTable(), 4);
    EXPECT_EQ(menu().getSize(), 0u);
}

TEST_F(MenuCommandsTest, CursorRefToNoCursorWarnsAndGoesOn) {
    run(R"(<cursorref label="none"/><global name="flag">1</global>)");
    EXPECT_EQ(countLogLines("EXBulletML_Runtime_Selectable:467  Null Pointer Warning"), 1);
    EXPECT_EQ(menu().getSize() + pauseMenu().getSize(), 0u);
    EXPECT_FLOAT_EQ(game().getGlobalVar(internName("flag")), 1.0f);
}

TEST_F(MenuCommandsTest, SelectableRefToNoSelectableEndsTheProgram) {
    EXPECT_EXIT(
        {
            markMainThread();
            run(R"(<selectableref label="none"/>)");
        },
        ::testing::ExitedWithCode(1), "");
}

// Event references attach to the item whose script runs them; from any
// other script they make nothing and keep no runtime.
TEST_F(MenuCommandsTest, EventReferencesGoToTheRunningItem) {
    const std::string events = R"(<selected label="s"><wait>1</wait></selected>)"
                               R"(<unselected label="u"><wait>1</wait></unselected>)"
                               R"(<decided label="d"><wait>1</wait></decided>)";
    run(R"(<selectedref label="s"/><decidedref label="d"/>)"
        R"(<selectable label="item"><selectedref label="s"/><unselectedref label="u"/><decidedref label="d"/>)"
        R"(<wait>5</wait></selectable>)",
        events);
    SelectableObject* item = only(menu());
    ASSERT_NE(item, nullptr);
    for (ExBulletML_Runtime* runtime :
         {item->getSelectedRuntime(), item->getUnselectedRuntime(), item->getDecidedRuntime()}) {
        ASSERT_NE(runtime, nullptr);
        EXPECT_EQ(runtime->isStarted(), 1);
    }
}

TEST_F(MenuCommandsTest, DisableAndEnableTableActOnTheActiveMenu) {
    run(R"(<selectable label="item"><x>1</x><y>2</y><wait>1</wait></selectable>)"
        R"(<disabletable><x>1</x><y>2</y></disabletable>)",
        R"(<action label="on"><enabletable><x>1</x><y>2</y></enabletable></action>)"
        R"(<action label="off"><disabletable><x>1</x><y>2</y></disabletable><enabletable/></action>)");
    SelectableObject* item = only(menu());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->isDisabled(), 1);
    spawn(u"on");
    frames(1);
    EXPECT_EQ(item->isDisabled(), 0);

    // Without an object manager there is no menu: nothing, and no crash.
    ExBulletML_Runtime* runtime = manager().getRuntime();
    runtime->setupByLabel(kAction, wide(u"off"));
    BulletObjectManager* objects = g_bulletObjectManager;
    g_bulletObjectManager = nullptr;
    runtime->run();
    g_bulletObjectManager = objects;
    runtime->destroy();
    frames(1);
    EXPECT_EQ(item->isDisabled(), 0);
}

TEST_F(MenuCommandsTest, TheEntryPastThePoolMakesNothingAndTheScriptGoesOn) {
    run(R"(<repeat><times>501</times><action><selectable label="item"><wait>1</wait></selectable></action></repeat>)"
        R"(<global name="done">1</global>)");
    EXPECT_EQ(menu().getSize(), 500u);
    EXPECT_EQ(countLogLines("SelectableObjectAllocator::get() Pool is Empty!"), 1);
    EXPECT_FLOAT_EQ(game().getGlobalVar(internName("done")), 1.0f);
}

// waitselectable holds its script while the game's menu has entries waiting.
TEST_F(MenuCommandsTest, WaitSelectableWaitsForTheDecision) {
    run(R"(<selectable label="a"><y>0</y><wait>1</wait></selectable>)"
        R"(<selectable label="b"><y>1</y><wait>1</wait></selectable>)"
        R"(<waitselectable/><global name="after">1</global>)",
        "", 3);
    EXPECT_FLOAT_EQ(game().getGlobalVar(internName("after")), 0.0f);
    menu().decideCursor();
    frames(2);
    EXPECT_FLOAT_EQ(game().getGlobalVar(internName("after")), 1.0f);
}

// The selection variables: the game menu's table and cursor, the last move
// (the pause menu's while paused) and the decide request, which a read takes.
TEST_F(MenuCommandsTest, SelectionVariablesReadTheManagers) {
    menu().setCursorTableId(2);
    menu().setCursorIndex(3);
    menu().setMoveInput(1, -1);
    pauseMenu().setMoveInput(-1, 1);
    menu().requestDecide();
    const std::string reads = R"(<global name="tx">$_cursor_x</global><global name="cy">$_cursor_y</global>)"
                              R"(<global name="dx">$_table_dx</global><global name="dy">$_table_dy</global>)"
                              R"(<global name="r1">$_cancelselectcnt</global><global name="r2">$_cancelselectcnt</global>)";
    run(reads);
    auto global = [&](const char* name) { return game().getGlobalVar(internName(name)); };
    EXPECT_FLOAT_EQ(global("tx"), 2.0f);
    EXPECT_FLOAT_EQ(global("cy"), 3.0f);
    EXPECT_FLOAT_EQ(global("dx"), 1.0f);
    EXPECT_FLOAT_EQ(global("dy"), -1.0f);
    EXPECT_FLOAT_EQ(global("r1"), 1.0f);
    EXPECT_FLOAT_EQ(global("r2"), 0.0f);

    manager().clearAll();
    game().requestPauseToggle();
    game().applyPauseToggle();
    load(R"(<action label="paused">)" + reads + "</action>");
    BulletObject* pauseObject = manager().createPauseObject();
    ExBulletML_Runtime* runtime = manager().getRuntime();
    runtime->setupByLabel(kAction, wide(u"paused"));
    pauseObject->setMainRuntime(runtime);
    frames(1);
    EXPECT_FLOAT_EQ(global("dx"), -1.0f);
    EXPECT_FLOAT_EQ(global("dy"), 1.0f);
}

}  // namespace

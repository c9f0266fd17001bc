// A menu entry's scripts: which one runs in which state, and what the cursor
// and decision do to them.
#include "objects/MenuFixture.h"

namespace {

class SelectableObjectTest : public MenuTest {};

TEST_F(SelectableObjectTest, RunMainOrRevengeRunsOneScriptByState) {
    namespace f = object_flag;
    enum Which { kNone, kMain, kRevengeScript, kDecidedScript, kSelectedScript, kUnselectedScript };
    struct Case {
        const char* name;
        std::uint8_t kind;
        std::uint32_t flags;
        bool active, main, revenge, events;
        std::int32_t code;
        Which ran;
        std::uint32_t state;
    } cases[] = {
        {"runtime switched off", 8, 0, false, true, false, true, 1, kNone, 0},
        {"no main script", 8, 0, true, false, false, true, 2, kNone, 0},
        {"leaving with its script", 8, f::kRevenge | f::kDecided, true, true, true, true, 3, kRevengeScript, 0},
        {"leaving without a script vanishes at once", 8, f::kRevenge, true, true, false, true, 4, kNone, 1},
        {"decided", 8, f::kDecided | f::kSelected, true, true, false, true, 5, kDecidedScript, 0},
        {"selected", 8, f::kSelected, true, true, false, true, 6, kSelectedScript, 0},
        {"unselected", 8, 0, true, true, false, true, 7, kUnselectedScript, 0},
        {"unselected entry without its script", 8, 0, true, true, false, false, 8, kMain, 0},
        {"cursor keeps its own script", 7, 0, true, true, false, true, 8, kMain, 0},
        {"cancelled cursor runs its cancel script", 7, f::kWaiting, true, true, false, true, 0, kUnselectedScript, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SelectableObject* entry = menu().create();
        ASSERT_NE(entry, nullptr);
        entry->setKind(c.kind);
        entry->setCountdown(30);  // no countdown test for menu entries
        ScriptedRuntime* scripts[6] = {};
        for (int which = kMain; which <= kUnselectedScript; ++which) scripts[which] = script({});
        if (c.main) {
            entry->setMainRuntime(scripts[kMain]);
        } else {
            scripts[kMain]->destroy();
        }
        if (c.revenge) {
            entry->setRevengeRuntime(scripts[kRevengeScript]);
        } else {
            scripts[kRevengeScript]->destroy();
        }
        if (c.events) {
            entry->setDecidedRuntime(scripts[kDecidedScript]);
            entry->setSelectedRuntime(scripts[kSelectedScript]);
            entry->setUnselectedRuntime(scripts[kUnselectedScript]);
        } else {
            for (int which : {kDecidedScript, kSelectedScript, kUnselectedScript}) scripts[which]->destroy();
        }
        entry->setRuntimeActive(c.active ? 1 : 0);
        entry->setFlags(c.flags);

        EXPECT_EQ(entry->runMainOrRevenge(), c.code);
        for (int which = kMain; which <= kUnselectedScript; ++which) {
            const bool kept = (which == kMain && c.main) || (which == kRevengeScript && c.revenge) ||
                              (which >= kDecidedScript && c.events);
            if (kept) {
                EXPECT_EQ(scripts[which]->runs, which == c.ran ? 1 : 0) << "script " << which;
            }
        }
        if (c.ran == kRevengeScript) {
            EXPECT_EQ(scripts[kRevengeScript]->isStarted(), 1);
        }
        EXPECT_EQ(entry->getState(), c.state);
        menu().clear();
    }
}

TEST_F(SelectableObjectTest, PresentScriptIsStartedBeforeItRuns) {
    SelectableObject* entry = menu().create();
    EXPECT_EQ(entry->runPresent(), 1);
    ScriptedRuntime* present = script({});
    entry->setPresentRuntime(present);
    entry->runPresent();
    EXPECT_EQ(present->isStarted(), 1);
    EXPECT_EQ(present->runs, 1);
}

// The cursor's arrival starts the selected script over and empties the
// unselected one; leaving does the reverse; a decision restarts the decided
// script. Real scripts, so that "over" and "emptied" are visible.
TEST_F(SelectableObjectTest, EnteringAndLeavingRestartOneScriptAndEmptyTheOther) {
    load(R"(<action label="a"><wait>100</wait></action>)");
    SelectableObject* entry = menu().create();
    auto runtimeAt = [&]() {
        ExBulletML_Runtime* runtime = manager().getRuntime();
        runtime->setupByLabel(kAction, wide(u"a"));
        return runtime;
    };
    entry->setSelectedRuntime(runtimeAt());
    entry->setUnselectedRuntime(runtimeAt());
    entry->setDecidedRuntime(runtimeAt());
    entry->getSelectedRuntime()->clear();

    entry->enterSelected();
    EXPECT_TRUE(entry->getSelectedRuntime()->isActive());
    EXPECT_FALSE(entry->getUnselectedRuntime()->isActive());
    entry->enterUnselected();
    EXPECT_TRUE(entry->getUnselectedRuntime()->isActive());
    EXPECT_FALSE(entry->getSelectedRuntime()->isActive());
    entry->getDecidedRuntime()->clear();
    entry->restartDecided();
    EXPECT_TRUE(entry->getDecidedRuntime()->isActive());
}

// Slot 2 lets go of the event scripts and the cell; slot 0 gives every
// runtime back (the runtime pool's stock is whole again).
TEST_F(SelectableObjectTest, InitAndDestroyLetGoOfTheEventScripts) {
    int destroyed = 0;
    SelectableObject* entry = menu().create();
    entry->setTableIndex(3, 4);
    entry->disable();
    entry->setSelectedRuntime(script({}, &destroyed));
    entry->init();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(entry->getTableId(), 0);
    EXPECT_EQ(entry->getIndex(), 0);
    EXPECT_EQ(entry->isDisabled(), 0);
    entry->setDecidedRuntime(script({}, &destroyed));
    entry->setUnselectedRuntime(script({}, &destroyed));
    entry->setUnselectedRuntime(script({}, &destroyed));  // replaces, destroying the first
    EXPECT_EQ(destroyed, 2);
    menu().clear();
    EXPECT_EQ(destroyed, 4);
}

}  // namespace

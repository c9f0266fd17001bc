// The "system" command: every sub-command against the recording peers, the
// score reset, the run-once latch, the pause cancel, the repeat dump, the
// replay start's reseed, the full-draw projection and the program's exit.
#include <cmath>

#include "GameCommandTestSupport.h"
#include "platform/Thread.h"
#include "objects/SelectableObject.h"
#include "objects/SelectableObjectAllocator.h"
#include "runtime/SystemCommandTable.h"
#include "script/XMLManagerManager.h"

namespace {

class SystemCommand : public GameCommandBench {
protected:
    // Values every sub-command's effect shows against.
    void baseline() {
        GameInfo& g = *g_gameInfo;
        setVar("_arg0", -3.7f);
        setVar("_arg1", 321.0f);
        setVar("_arg2", 2.9f);
        for (const char* name : {"_maxrx", "_minrx", "_maxry", "_minry"}) setVar(name, 1.0f);
        for (const char* name : {"retrynum", "total_retrynum", "misscount", "stagemisscount", "stageflag"})
            setVar(name, 2.0f);
        setVar("continuenum", 8.5f);
        setVar("practice_mode", 0.5f);
        setVar("effectmesh", 0.5f);
        setVar("stagenum", 3.0f);
        g.setNamedVar("ignorecollision", 5);
        g.setScore(1234);
        g.setItemCount(2, 2);
        g.setItemCount(3, 3);
        g.stageFlagWord() = 7;
        g.setBuzz(5);
        g.setECrystal1(4);
        g.setECrystal2(6);
        g.setVorlyCounts(5, 5);
        for (auto set : {&GameInfo::setEscToCancel, &GameInfo::setPlayerMoveEnabled, &GameInfo::setSkipButtonEnabled,
                         &GameInfo::setMaxStageUpdate, &GameInfo::setFullDraw, &GameInfo::setCutinMode,
                         &GameInfo::setPauseAllowed, &GameInfo::setWaitKey, &GameInfo::setPlayerSwitchable})
            (g.*set)(2);
        g.setMpoint(5.0f);
        g.setGameOver(1);
        g.countDroppedFrame();
        g.setLock(var("lock7"));
        g.setGameFlag(3, 1);
        g.setPlayerName(0x41424344u, 0x45464748u);
        g.addReadText(5);
        g_replayManager->setReplayStarted(1);
        g_systemInfo->setReadSkipEnable(2);
        g_systemInfo->setForceNoPractice(1);
        g_frameCounter->nextSerial();
        g_d3dObject->setClearEnabled(2);
        g_debugInfo->setTrace(2);
        (void)manager().getSelectableManager()->takeDecideRequest();
    }
};

TEST_F(SystemCommand, EverySubCommandInTableOrder) {
    struct Case {
        const char* text;
        const char* changes;
        const char* calls;
    };
    // "serial" reads "running" until the generator serial starts again.
    const Case cases[] = {
        {"setmaxx", "maxX=-3", ""},
        {"setminx", "minX=-3", ""},
        {"setmaxy", "maxY=-3", ""},
        {"setminy", "minY=-3", ""},
        {"setmaxrx", "_maxrx=-3.7", ""},
        {"setminrx", "_minrx=-3.7", ""},
        {"setmaxry", "_maxry=-3.7", ""},
        {"setminry", "_minry=-3.7", ""},
        {"exit", nullptr, nullptr},
        {"autoitem", "", ""},
        {"enablecollision", "ignorecollision=0", ""},
        {"disablecollision", "ignorecollision=1", ""},
        {"clearretry", "retrynum=0", ""},
        {"incretry", "retrynum=3", ""},
        {"clearmisscount", "misscount=0", ""},
        {"clearstagemisscount", "stagemisscount=0", ""},
        {"cleartotalretry", "total_retrynum=0", ""},
        {"inctotalretry", "total_retrynum=3", ""},
        {"clearcontinue", "continuenum=0 score=1234", ""},
        {"inccontinue", "continuenum=9 score=1243", ""},
        {"readreplayon", "maxStageUpdate=0 replayMode=1", ""},
        {"readreplayoff", "", ""},
        {"restartreplayon", "replayMode=2", ""},
        {"cleartemptexture", "", "sprite.purgeMarked texture.purgeMarked"},
        {"startreplay", "replayActive=1", ""},
        {"endreplay", "", ""},
        {"commitreplay", "", ""},
        {"commitreplayauto", "", ""},
        {"loadallreplay", "", ""},
        {"selectreplay", "", ""},
        {"clearreplay", "replayStarted=0", ""},
        {"resetreplay", "", "input.resetReplayReader"},
        {"esctocancelon", "escToCancel=1", ""},
        {"esctocanceloff", "escToCancel=0", ""},
        {"forcenopractice", "practice_mode=0", ""},
        {"practicemodeon", "practice_mode=1", ""},
        {"practicemodeoff", "practice_mode=0", ""},
        {"resetgencounter", "serial=reset", ""},
        {"preloadimg", "", ""},
        {"playermoveenable", "playerMove=1", ""},
        {"playermovedisable", "playerMove=0", ""},
        {"keyenable", "", "input.setKeyEnabled(1)"},
        {"keydisable", "", "input.setKeyEnabled(0)"},
        {"releasealllock", "lock7=0", ""},
        {"pausesound", "", "sound.pauseAll"},
        {"restartsound", "", "sound.resumeAll"},
        {"vanishsound", "", "sound.vanishAll"},
        {"nobgclear", "clearEnabled=0", ""},
        {"effectmeshenable", "effectmesh=1", ""},
        {"effectmeshdisable", "effectmesh=0", ""},
        {"resetdroppedframe", "droppedFrames=0", ""},
        {"setmyname", "", ""},  // position -3: ignored,
        {"createtmpname", "", ""},
        {"commitmyname", "name0=0", ""},
        {"resetbuzz", "buzz=0", ""},
        {"resetecrystal", "ecrystal1=0 ecrystal2=0", ""},
        {"resetstageecrystal", "ecrystal2=0", ""},
        {"resetvorlyrate", "vorly=1/0", ""},
        {"setreconfig", "reconfig=2", ""},
        {"cleargameflag", "flag3=0", ""},
        {"commitstagescore", "stageFlagWord=55", ""},
        {"clearscore", "item3=0 score=8", ""},
        {"clearstageflag", "stageFlagWord=0", ""},
        {"clearbgm", "", "sound.clearBgm"},
        {"clearmpoint", "mpoint=0", ""},
        {"fillmpoint", "mpoint=1200", ""},
        {"initmpoint", "mpoint=600", ""},
        {"fullpower", "item2=4", ""},
        {"resetpower", "item2=0", ""},
        {"cutinmodeon", "cutin=1", ""},
        {"cutinmodeoff", "cutin=0", ""},
        {"setonlinereplay", "", ""},
        {"setonlinereplaystage", "", ""},
        {"saveonlinereplay", "", ""},
        // Not a scoring play ("practice_mode" is not 0): nothing registered.
        {"resetscore", "item3=0 score=8 stageFlagWord=0 stageflag=0 stagenum=0", ""},
        {"updatescorename", "", ""},
        {"updategameflag", "allFlag3=1", ""},
        {"enablemaxstageupdate", "maxStageUpdate=1", ""},
        {"disablemaxstageupdate", "maxStageUpdate=0", ""},
        {"enableskipbutton", "skipButton=1", ""},
        {"disableskipbutton", "skipButton=0", ""},
        {"readskipenable", "readSkip=1", ""},
        {"readskipdisable", "readSkip=0", ""},
        {"fulldrawon", "fullDraw=1", ""},
        {"fulldrawoff", "fullDraw=0", ""},
        {"skipclearnodes", "", ""},
        {"cleartexture", "clearTexture=1", ""},
        {"clearmesh", "", "mesh.clearAll"},
        {"onlyoneinstance", "", ""},
        {"disablepause", "pauseAllowed=0", ""},
        {"enablepause", "pauseAllowed=1", ""},
        {"switchpause", "pauseToggle=1", ""},
        {"cancelpause", "", ""},
        {"fixreadtextblock", "playReadTexts=1", ""},
        {"clearkeystate", "", "input.clearKeyState"},
        {"resetgameover", "gameOver=0", ""},
        {"setwaitkeyon", "waitKey=1/-3", ""},
        {"setwaitkeyoff", "waitKey=0/0", ""},
        {"savekeyconfig", "", "input.saveKeyConfig"},
        {"clearkeyconfig", "", "input.clearKeyConfig"},
        {"playerswitchenable", "playerSwitchable=1", ""},
        {"playerswitchdisable", "playerSwitchable=0", ""},
        {"traceon", "trace=1", ""},
        {"traceoff", "trace=0", ""},
        {"clearselectable", "", ""},
        {"setselect", "", ""},
        {"setcancelselectcnt", "decideRequest=1", ""},
        {"setcursor", "", ""},
        {"dumprepeatcount", "", ""},
        // Exact comparison: other case, blanks, empty text.
        {"Exit", "", ""},
        {" exit", "", ""},
        {"exit ", "", ""},
        {"CLEARSCORE", "", ""},
        {"", "", ""},
    };
    ASSERT_EQ(std::size(cases), static_cast<std::size_t>(kSystemCommandCount) + 5);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.text);
        if (i < static_cast<std::size_t>(kSystemCommandCount)) {
            EXPECT_EQ(systemCommandName(static_cast<std::int32_t>(i)), c.text);
        } else {
            EXPECT_EQ(findSystemCommand(c.text), -1);
        }
        if (!c.changes) continue;  // "exit": its own test
        baseline();
        calls.calls.clear();
        const auto before = state();
        runTop(system(c.text) + "<wait>1</wait>");
        EXPECT_EQ(changes(before, state()), c.changes);
        EXPECT_EQ(callText(), c.calls);
        EXPECT_EQ(trace_.at(1), "1 system 0");
        delete g_gameInfo;
        g_gameInfo = new GameInfo();
        delete g_replayManager;
        g_replayManager = new ReplayManager();
    }
}

TEST_F(SystemCommand, ScoreResetRegistersOnlyAScoringPlay) {
    struct Case {
        const char* name;
        std::int32_t replayMode;
        float practice;
        bool replayManager;
        bool registers;
    } cases[] = {
        {"recording, not practice", ReplayManager::kRecord, 0.0f, true, true},
        {"restart, not practice", ReplayManager::kRestart, 0.0f, true, true},
        {"play back", ReplayManager::kPlayBack, 0.0f, true, false},
        {"practice", ReplayManager::kRecord, 1.0f, true, false},
        {"no replay manager", ReplayManager::kRecord, 0.0f, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delete g_gameInfo;
        g_gameInfo = new GameInfo();
        g_replayManager->setMode(c.replayMode);
        ReplayManager* kept = g_replayManager;
        if (!c.replayManager) g_replayManager = nullptr;
        setVar("practice_mode", c.practice);
        setVar("stagenum", 2.0f);
        setVar("stageflag", 1.0f);
        g_gameInfo->setScore(5000);
        g_gameInfo->setItemCount(3, 4);
        g_gameInfo->stageFlagWord() = 3;
        runTop(system("resetscore"));
        g_replayManager = kept;
        // The registration puts the play's score into the first table.
        const bool registered = g_gameInfo->getHiscore(0, 0, 0) == 5000;
        EXPECT_EQ(registered, c.registers);
        EXPECT_EQ(g_gameInfo->getScore(), 0u);
        EXPECT_EQ(g_gameInfo->getItemCount(3), 0);
        EXPECT_EQ(g_gameInfo->stageFlagWord(), 0u);
        EXPECT_EQ(getVar("stageflag"), 0.0f);
        EXPECT_EQ(getVar("stagenum"), 0.0f);
    }
}

TEST_F(SystemCommand, ArgumentsTruncateTowardZeroAndKeepTheLowByte) {
    struct Case {
        const char* body;
        float arg0, arg1;
        std::function<std::int64_t()> read;
        std::int64_t expected;
    } cases[] = {
        {"setmaxx", -3.7f, 0, [] { return g_gameInfo->getMaxX(); }, -3},
        {"setmaxx", 3.9f, 0, [] { return g_gameInfo->getMaxX(); }, 3},
        {"setminy", NAN, 0, [] { return g_gameInfo->getMinY(); }, INT32_MIN},
        {"setminy", 3e9f, 0, [] { return g_gameInfo->getMinY(); }, INT32_MIN},
        // 321 = 0x141: the character 'A'.
        {"setmyname", 0, 321, [] { return g_gameInfo->getPlayerName0() >> 24; }, 65},
        // Positions outside the name are ignored.
        {"setmyname", 8, 66, [] { return g_gameInfo->getPlayerName0() >> 24; }, 0},
        {"inccontinue", 9, 0, [] { return static_cast<std::int64_t>(g_gameInfo->getVar(internName("continuenum"))); }, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        delete g_gameInfo;
        g_gameInfo = new GameInfo();
        setVar("_arg0", c.arg0);
        setVar("_arg1", c.arg1);
        setVar("continuenum", c.arg0);
        runTop(system(c.body) + system("commitmyname"));
        EXPECT_EQ(c.read(), c.expected);
    }
    // A variable never set reads 0: "incretry" makes it 1.
    runTop(system("incretry"));
    EXPECT_EQ(getVar("retrynum"), 1.0f);
}

TEST_F(SystemCommand, OnlyOneInstanceLetsTheFirstRuntimeOnAndHoldsEveryLaterOne) {
    load(R"(<action label="top">)" + system("onlyoneinstance") + "<eval name=\"passed\">1</eval><wait>100</wait></action>");
    BulletObject* first = spawn("top");
    BulletObject* second = spawn("top");
    traceRuntime(second->getMainRuntime());
    frames(3);
    EXPECT_EQ(first->getMainRuntime()->getObjectVariables()[internName("passed")], 1.0f);
    EXPECT_EQ(second->getMainRuntime()->getObjectVariables()[internName("passed")], 0.0f);
    EXPECT_EQ(traceText(), "1 action 0\n1 system 2\n2 system 2\n3 system 2\n");
}

TEST_F(SystemCommand, CancelPauseFromAPauseObjectsOwnScript) {
    load(R"(<action label="cancel">)" + system("cancelpause") +
         R"(<wait>5</wait></action><action label="idle"><wait>100</wait></action>)");
    auto pauseObject = [this](const char* label) {
        BulletObject* object = manager().createPauseObject();
        ExBulletML_Runtime* runtime = manager().getRuntime();
        runtime->setupByLabel(kAction, wide(label));
        object->setMainRuntime(runtime);
        object->setActive(1);
        return object;
    };
    // The cancelling object sits between two others of the pause screen.
    pauseObject("idle");
    pauseObject("cancel");
    pauseObject("idle");
    BulletObject* top = manager().createPlainObject();
    top->setMainRuntime(manager().getRuntime());
    manager().setPauseTop(top);
    ASSERT_EQ(top->isRuntimeActive(), 1);

    // Not paused: nothing.
    frames(1);
    EXPECT_EQ(manager().getPauseManager()->size(), 3u);
    EXPECT_TRUE(calls.calls.empty());

    manager().getPauseManager()->clear();
    frames(1);
    pauseObject("idle");
    pauseObject("cancel");
    pauseObject("idle");
    g_gameInfo->requestPauseToggle();
    g_gameInfo->applyPauseToggle();
    ASSERT_EQ(g_gameInfo->isPaused(), 1);
    frames(1);
    // Every pause object left once the walk was done with them.
    EXPECT_EQ(manager().getPauseManager()->size(), 0u);
    EXPECT_EQ(manager().getPauseManager()->front(), nullptr);
    EXPECT_EQ(top->isRuntimeActive(), 0);
    EXPECT_EQ(callText(), "sound.resumeAll");
    EXPECT_EQ(g_gameInfo->isPauseToggleRequested(), 1);
    g_gameInfo->applyPauseToggle();
    EXPECT_EQ(g_gameInfo->isPaused(), 0);
    frames(2);
}

TEST_F(SystemCommand, SwitchPauseOnlyWhileRunning) {
    g_gameInfo->requestPauseToggle();
    g_gameInfo->applyPauseToggle();
    runTop(system("switchpause"));
    EXPECT_EQ(g_gameInfo->isPauseToggleRequested(), 0);
}

// The selection commands on a menu of tables 0..2 with entries 0..3 each,
// every entry selected and waiting, its selected script stopped (a restart
// shows as a script that has a node again).
class SelectionCommand : public SystemCommand {
protected:
    SelectionCommand() { SelectableObjectAllocator::instance().fill(); }
    ~SelectionCommand() override { manager().clearAll(); }

    SelectableObjectManager& menu() { return *manager().getSelectableManager(); }
    SelectableObject* at(std::int32_t table, std::int32_t index) {
        for (const auto& [tag, entry] : menu().entries())
            if (entry->getTableId() == table && entry->getIndex() == index) return entry;
        return nullptr;
    }
    static bool restarted(SelectableObject* entry) { return entry->getSelectedRuntime()->getCurrentNode() != nullptr; }

    // Loads `top` and the entries' script, builds the menu with the cursor at
    // table 1, entry 1, lets `prepare` change it, then runs `top` for a frame.
    void runOnMenu(const std::string& top, const std::function<void()>& prepare = {}) {
        manager().clearAll();
        load(R"(<action label="top">)" + top + R"(<wait>10</wait></action><action label="sel"><wait>100</wait></action>)");
        for (std::int32_t table = 0; table <= 2; ++table) {
            for (std::int32_t index = 0; index <= 3; ++index) {
                SelectableObject* entry = manager().createSelectable();
                entry->setKind(8);
                entry->setTableIndex(table, index);
                ExBulletML_Runtime* selected = manager().getRuntime();
                selected->setupByLabel(kAction, wide("sel"));
                selected->clear();
                entry->setSelectedRuntime(selected);
                entry->addFlags(object_flag::kSelected | object_flag::kWaiting);
            }
        }
        menu().computeRanges();
        menu().setCursorTableId(1);
        menu().setCursorIndex(1);
        if (prepare) prepare();
        spawn("top");
        frames(1);
    }
    static std::string cursorCommand(const char* command, int x, int y) {
        return "<system><command>" + std::string(command) + "</command><x>" + std::to_string(x) + "</x><y>" +
               std::to_string(y) + "</y></system>";
    }
};

TEST_F(SelectionCommand, SetSelectKeepsOrLowersTheCursorAndRestartsOnlyAMovedUndecidedEntry) {
    struct Case {
        int x, y;
        bool focusDecided;
        std::int32_t table, cursor;
        bool restart;
    };
    const Case cases[] = {
        {-1, -1, false, 1, 1, false},  // both kept: nothing restarts
        {1, 1, false, 1, 1, false},    // the same cell
        {2, 3, false, 2, 3, true},
        {-1, 0, false, 1, 0, true},
        {5, 9, false, 2, 3, true},  // lowered to the maxima, not wrapped
        {2, 3, true, 2, 3, false},  // a decided entry keeps its flags and script
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << (c.focusDecided ? " decided" : ""));
        runOnMenu(cursorCommand("setselect", c.x, c.y), [&] {
            if (c.focusDecided) at(c.table, c.cursor)->addFlags(object_flag::kDecided);
        });
        EXPECT_EQ(menu().getTable(), c.table);
        EXPECT_EQ(menu().getCursor(), c.cursor);
        SelectableObject* focus = at(c.table, c.cursor);
        EXPECT_EQ((focus->getFlags() & object_flag::kWaiting) != 0, c.focusDecided);
        EXPECT_EQ(restarted(focus), c.restart);
        EXPECT_NE(focus->getFlags() & object_flag::kSelected, 0u);
        // The cursor was applied: every other entry is unselected.
        for (const auto& [tag, entry] : menu().entries()) {
            if (entry != focus) {
                EXPECT_EQ(entry->getFlags() & object_flag::kSelected, 0u);
            }
        }
    }
}

TEST_F(SelectionCommand, SetCursorWrapsClearSelectableEmptiesAndTheDecideRequestIsRead) {
    runOnMenu(cursorCommand("setcursor", 2, 3));
    EXPECT_EQ(menu().getTable(), 2);
    EXPECT_EQ(menu().getCursor(), 3);
    EXPECT_FALSE(restarted(at(2, 3)));  // the cursor moves; no script is touched
    // Past the top the table wraps to the first, below 0 the entry to the last.
    runOnMenu(cursorCommand("setcursor", 3, -1));
    EXPECT_EQ(menu().getTable(), 0);
    EXPECT_EQ(menu().getCursor(), 3);

    runOnMenu(system("setcancelselectcnt") + R"(<global name="r1">$_cancelselectcnt</global>)" +
              R"(<global name="r2">$_cancelselectcnt</global>)");
    EXPECT_EQ(g_gameInfo->getGlobalVar(var("r1")), 1.0f);
    EXPECT_EQ(g_gameInfo->getGlobalVar(var("r2")), 0.0f);

    runOnMenu(system("clearselectable"));
    EXPECT_EQ(menu().getSize(), 0u);
    // The pause menu is not the game menu.
    EXPECT_EQ(manager().createPauseSelectable() != nullptr, true);
    runOnMenu(system("clearselectable") + system("setcancelselectcnt"));
    EXPECT_EQ(manager().getPauseSelectableManager()->takeDecideRequest(), 0);
}

// A menu entry clears its own menu, and a pause-menu entry cancels the pause
// (which empties the pause menu) from its own script: the entries leave once
// the walk is done with them.
TEST_F(SelectionCommand, AnEntryRemovingItsOwnMenuFromItsScript) {
    load(R"(<action label="clear">)" + system("clearselectable") + R"(<wait>5</wait></action>)" +
         R"(<action label="cancel">)" + system("cancelpause") + R"(<wait>5</wait></action>)" +
         R"(<action label="idle"><wait>100</wait></action>)");
    auto entryIn = [this](SelectableObjectManager& into, const char* label) {
        SelectableObject* entry = into.create();
        ExBulletML_Runtime* runtime = manager().getRuntime();
        runtime->setupByLabel(kAction, wide(label));
        entry->setMainRuntime(runtime);
        return entry;
    };
    entryIn(menu(), "idle");
    entryIn(menu(), "clear");
    entryIn(menu(), "idle");
    frames(1);
    EXPECT_EQ(menu().getSize(), 0u);

    SelectableObjectManager& pauseMenu = *manager().getPauseSelectableManager();
    entryIn(pauseMenu, "idle");
    entryIn(pauseMenu, "cancel");
    entryIn(pauseMenu, "idle");
    g_gameInfo->requestPauseToggle();
    g_gameInfo->applyPauseToggle();
    ASSERT_EQ(g_gameInfo->isPaused(), 1);
    frames(1);
    EXPECT_EQ(pauseMenu.getSize(), 0u);
    EXPECT_EQ(callText(), "sound.resumeAll");
    EXPECT_EQ(g_gameInfo->isPauseToggleRequested(), 1);
    frames(2);
}

TEST_F(SystemCommand, RepeatDumpShowsTheSavedStacksAndZeroForAnEmptyOne) {
    runTop("<repeat><times>2</times><action>" + system("dumprepeatcount") + "</action></repeat>" +
           system("Exit") + system("dumprepeatcount"));
    // Inside the repeat the counter stack holds the saved counter (0) and the
    // limit stack the limits of the enclosing nodes; outside, the counter
    // stack is empty and its top reads 0.
    EXPECT_EQ(countLogLines("repeatcount :"), 3);
    EXPECT_EQ(countLogLines("repeatcount :  0 / 0 1 / 3 "), 2);
    EXPECT_EQ(countLogLines("repeatcount :  0 / 0 0 / 1 "), 1);
}

TEST_F(SystemCommand, ReplayStartReseedsTheRandomGeneratorInEveryMode) {
    for (std::int32_t mode : {ReplayManager::kRecord, ReplayManager::kPlayBack, ReplayManager::kRestart}) {
        SCOPED_TRACE(mode);
        ExBulletML_Runtime::reseed();
        const std::uint32_t first = ExBulletML_Runtime::nextRandom();
        for (int i = 0; i < 7; ++i) ExBulletML_Runtime::nextRandom();
        g_replayManager->setMode(mode);
        runTop(system("startreplay"));
        EXPECT_EQ(ExBulletML_Runtime::nextRandom(), first);
        EXPECT_EQ(g_replayManager->isActive(), 1);
        EXPECT_EQ(g_replayManager->isReplayStarted(), 1);
    }
    // Without a replay manager the generator still starts again.
    delete g_replayManager;
    g_replayManager = nullptr;
    ExBulletML_Runtime::reseed();
    const std::uint32_t first = ExBulletML_Runtime::nextRandom();
    runTop(system("startreplay"));
    EXPECT_EQ(ExBulletML_Runtime::nextRandom(), first);
    EXPECT_EQ(countLogLines("system startreplay : Replay Manager がありません"), 1);
}

TEST_F(SystemCommand, FullDrawSetsTheProjectionWithOrWithoutTheEffectTarget) {
    // Perspective: _11 = _22 / aspect.
    auto aspect = [] {
        const D3DXMATRIX& m = g_d3dObject->getProjectionMatrix();
        return m._22 / m._11;
    };
    g_d3dObject->setProjectionMode(TransformManager::kPerspective);
    runTop(system("fulldrawoff"));
    EXPECT_NEAR(aspect(), 0.75f, 1e-6);
    EXPECT_NEAR(g_d3dObject->getProjectionMatrix()._22, 1.0f / std::tan(0.7853982f / 2.0f), 1e-5);
    EXPECT_EQ(g_gameInfo->isFullDraw(), 0);
    runTop(system("fulldrawon"));
    EXPECT_NEAR(aspect(), 1.3333334f, 1e-6);
    EXPECT_EQ(g_gameInfo->isFullDraw(), 1);
}

TEST_F(SystemCommand, AMissingManagerIsNamedOncePerCommand) {
    calls.sound = calls.input = calls.texture = calls.sprite = calls.mesh = false;
    runTop(system("pausesound") + system("keyenable") + system("cleartemptexture") + system("clearmesh") +
               "<wait>1</wait>",
           3);
    runTop(system("pausesound") + system("pausesound") + system("clearbgm"), 2);
    EXPECT_EQ(countLogLines("がありません"), 6);
    EXPECT_EQ(countLogLines("system pausesound : DirectSound Manager がありません"), 1);
    EXPECT_EQ(countLogLines("system clearbgm : DirectSound Manager がありません"), 1);
    EXPECT_EQ(countLogLines("system keyenable : DirectInput Manager がありません"), 1);
    EXPECT_EQ(countLogLines("system cleartemptexture : Sprite Manager がありません"), 1);
    EXPECT_EQ(countLogLines("system cleartemptexture : Texture Manager がありません"), 1);
    EXPECT_EQ(countLogLines("system clearmesh : Mesh Manager がありません"), 1);
    // Present managers: no line.
    calls.sound = true;
    forgetAbsentManagerNotes();
    runTop(system("vanishsound"));
    EXPECT_EQ(countLogLines("vanishsound"), 0);
}

using SystemCommandDeathTest = SystemCommand;

TEST_F(SystemCommandDeathTest, ExitReleasesEveryManagerAndEndsWithStatusZero) {
    // Forked, so that the child's log lines land in this test's log file.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            markMainThread();
            runTop(system("exit") + "<eval name=\"after\">1</eval>");
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    // The child's log: the release block from its opening to its closing line.
    EXPECT_EQ(countLogLines("全てのマネージャー及びオブジェクトの開放を行います..."), 1);
    EXPECT_EQ(countLogLines("Bullet Manager を開放しました"), 1);
    EXPECT_EQ(countLogLines("Replay Manager を開放しました"), 1);
    EXPECT_EQ(countLogLines("開放処理が終了しました"), 1);
}

}  // namespace

namespace {

// The script runner: a bullet at a random direction, "startreplay", two more;
// the replay start puts the generator back, so the second bullet repeats the
// first's direction.
TEST(SystemCommandTool, ReplayStartRepeatsTheRandomNumbersInTheScriptRunner) {
    TempRoot root;
    root.writeFile("s.xml", R"(<exbulletml><action label="top">
      <fire><direction type="absolute">$_rand*360</direction><speed>1</speed><bullet/></fire>
      <system><command>startreplay</command></system>
      <fire><direction type="absolute">$_rand*360</direction><speed>1</speed><bullet/></fire>
      <fire><direction type="absolute">$_rand*360</direction><speed>1</speed><bullet/></fire>
      <wait>5</wait></action></exbulletml>)");
    CommandRun run = runCommand(std::string("'") + VORLY_BINARY_DIR + "/tools/vorly-scriptrun' '" +
                                (root.path() / "s.xml").string() + "' --frames 1 2>/dev/null");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "b 1 1 320.007 99.00002 0.45043945 1\n"
              "b 1 2 320.007 99.00002 0.45043945 1\n"
              "b 1 3 319.6125 100.92186 202.88452 1\n");
}

}  // namespace

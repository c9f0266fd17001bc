// The "system" command: the scripts' switchboard of the engine's global
// settings. The sub-command is the node's text, compared exactly (case and
// blanks count) with a fixed table in a fixed order; text that names none
// does nothing. Arguments come in the game variables "_arg0".."_arg2".
//
// The text is compared in place: a menu may poll a command every frame, and
// nothing here allocates on that path (the one-time absent-manager lines
// excepted).
#include <array>
#include <charconv>
#include <string_view>

#include "graphics/D3DObject.h"
#include "graphics/RenderTarget.h"
#include "input/ReplayManager.h"
#include "objects/BulletObject.h"
#include "objects/BulletObjectManager.h"
#include "objects/SelectableObject.h"
#include "objects/SelectableObjectManager.h"
#include "records/GameInfo.h"
#include "runtime/AbsentManagerNotice.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "runtime/RuntimePeers.h"
#include "runtime/SystemCommandTable.h"
#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLManagerManager.h"
#include "services/DebugInfo.h"
#include "services/FatalExit.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

// The pooled names of the variables the sub-commands read and write, interned
// once.
struct VarNames {
    NameHandle arg[3] = {internName("_arg0"), internName("_arg1"), internName("_arg2")};
    NameHandle maxrx = internName("_maxrx"), minrx = internName("_minrx");
    NameHandle maxry = internName("_maxry"), minry = internName("_minry");
    NameHandle retrynum = internName("retrynum"), totalRetrynum = internName("total_retrynum");
    NameHandle misscount = internName("misscount"), stageMisscount = internName("stagemisscount");
    NameHandle continuenum = internName("continuenum"), practiceMode = internName("practice_mode");
    NameHandle effectmesh = internName("effectmesh"), stageflag = internName("stageflag");
    NameHandle stagenum = internName("stagenum");
};
const VarNames& vars() {
    static const VarNames names;
    return names;
}

GameInfo* records() { return g_gameInfo; }

float getVar(NameHandle name) { return g_gameInfo ? g_gameInfo->getVar(name) : 0.0f; }
void setVar(NameHandle name, float value) {
    if (g_gameInfo) g_gameInfo->setVar(name, value);
}
void incVar(NameHandle name) {
    if (g_gameInfo) g_gameInfo->incVar(name);
}
float floatArg(int i) { return getVar(vars().arg[i]); }
std::int32_t intArg(int i) { return truncateToInt32(floatArg(i)); }

// Runs `call` on the game records when they exist.
template <typename Call>
void onRecords(Call call) {
    if (GameInfo* game = records()) call(*game);
}

// What one sub-command acts on.
struct SystemCall {
    R& runtime;
    std::string_view name;  // the table's entry: remembered by address
    void absent(std::string_view manager) const { noteAbsentManager(kSystem, name, manager); }
    // The replay manager, noting its absence.
    ReplayManager* replay() const {
        if (!g_replayManager) absent(kReplayManagerName);
        return g_replayManager;
    }
    void sound(bool (RuntimePeers::*call)()) const {
        if (!(RuntimePeers::current().*call)()) absent(kSoundManagerName);
    }
    void input(bool (RuntimePeers::*call)()) const {
        if (!(RuntimePeers::current().*call)()) absent(kInputManagerName);
    }
    void keyEnabled(std::int32_t on) const {
        if (!RuntimePeers::current().inputSetKeyEnabled(on)) absent(kInputManagerName);
    }
};

using Action = std::int32_t (*)(const SystemCall&);
struct Entry {
    std::string_view name;
    Action action;
};

// "fulldrawon" / "fulldrawoff": the effect target over the whole screen or
// the play field, and the camera's aspect to match. The projection is set
// even when the effect target does not exist.
void fullDraw(std::int32_t on) {
    onRecords([on](GameInfo& g) { g.setFullDraw(on); });
    D3DObject* device = g_d3dObject;
    if (!device) return;
    if (RenderTarget* target = device->getRenderTarget(1)) target->setFullView(static_cast<std::uint32_t>(on));
    device->setProjection(0.7853982f, on ? 1.3333334f : 0.75f, 1.0f, 300.0f);
}

void effectMesh(std::int32_t on) {
    setVar(vars().effectmesh, static_cast<float>(on));
    // A missing render target is no error here.
    if (D3DObject* device = g_d3dObject) (void)device->setRenderTargetActive(1, on);
}

// "resetscore": a scoring play registers and writes its score first; the
// play counters are zeroed in every case.
void resetScore() {
    GameInfo* game = records();
    if (!game) return;
    ReplayManager* replay = g_replayManager;
    const bool scoring = replay && replay->getMode() != ReplayManager::kPlayBack && getVar(vars().practiceMode) == 0.0f;
    if (scoring) {
        game->commitStageScore();
        game->registerScore();
        game->writeScoreFile();
    }
    game->setScore(0);
    game->setItemCount(3, 0);
    game->clearStageFlag();
    setVar(vars().stageflag, 0.0f);
    setVar(vars().stagenum, 0.0f);
}

// "cancelpause", only while paused: the pause menu's entries and the pause
// screen's objects go, the pause object's script stops, the sounds go on,
// and the pause is toggled off. The objects are usually running this very
// script; their lists destroy them once the walk has left them.
void cancelPause(const SystemCall& call) {
    GameInfo* game = records();
    if (!game || !game->isPaused()) return;
    if (BulletObjectManager* objects = runtimeObjectManager()) {
        SelectableObjectManager* menu = objects->getPauseSelectableManager();
        menu->vanishAll();
        menu->removeDead();
        IntBulletObjectManager* pause = objects->getPauseManager();
        pause->vanishAll();
        pause->removeDead();
        if (BulletObject* top = objects->getPauseTop()) top->setRuntimeActive(0);
    }
    call.sound(&RuntimePeers::soundResumeAll);
    game->requestPauseState(0);
}

// The game's menu ("selectmgr_"), which the selection commands act on; none
// without the object manager.
SelectableObjectManager* gameMenu() {
    BulletObjectManager* objects = runtimeObjectManager();
    return objects ? objects->getSelectableManager() : nullptr;
}

// The children "x" and "y" of the command, truncated. Both are evaluated
// before the menu is looked at, so their side effects ($_rand) do not depend
// on it.
struct CursorArgs {
    std::int32_t x;
    std::int32_t y;
};
CursorArgs cursorArgs(R& runtime) {
    const std::int32_t x = truncateToInt32(runtime.evalChild(kX));
    return {x, truncateToInt32(runtime.evalChild(kY))};
}

// "setselect": moves the game menu's cursor to table x, entry y (a negative
// one keeps the current value; each is lowered to the menu's maximum), lets
// the entry now under the cursor run its selected script afresh when the
// cursor moved, and applies the cursor.
void setSelect(R& runtime) {
    auto [x, y] = cursorArgs(runtime);
    SelectableObjectManager* menu = gameMenu();
    if (!menu) return;
    const std::int32_t table0 = menu->getTable();
    const std::int32_t cursor0 = menu->getCursor();
    if (x < 0) x = table0;
    if (y < 0) y = cursor0;
    if (x > menu->getMaxTable()) x = menu->getMaxTable();
    if (y > menu->getMaxIndex()) y = menu->getMaxIndex();
    menu->setTable(x);
    menu->setCursor(y);
    SelectableObject* focus = menu->getFocusObject();
    const bool undecided = focus && (focus->getFlags() & object_flag::kDecided) == 0;
    if (undecided) focus->clearFlags(object_flag::kWaiting);
    if (undecided && (x != table0 || y != cursor0)) {
        focus->addFlags(object_flag::kSelected);
        focus->restartRuntimes();
    }
    menu->decide();
}

// "setcursor": table x and entry y as given, with the menu's own wrap rules.
void setCursor(R& runtime) {
    const CursorArgs args = cursorArgs(runtime);
    if (SelectableObjectManager* menu = gameMenu()) {
        menu->setTable(args.x);
        menu->setCursor(args.y);
    }
}

// "dumprepeatcount": one line of the runtime's saved repeat stacks, each
// piece followed by one blank, as the log's piece writer puts them. An empty
// stack reads 0 as its top.
void dumpRepeatCount(const R& runtime) {
    char line[160];
    char* out = line;
    char* const end = line + sizeof line;
    auto piece = [&out, end](std::string_view text) {
        for (char c : text)
            if (out < end) *out++ = c;
        if (out < end) *out++ = ' ';
    };
    auto number = [&piece](long long value) {
        char digits[24];
        auto result = std::to_chars(digits, digits + sizeof digits, value);
        piece(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
    };
    piece("repeatcount : ");
    number(runtime.getSavedCounterTop());
    piece("/");
    number(runtime.getSavedLimitTop());
    number(static_cast<long long>(runtime.getSavedCounterCount()));
    piece("/");
    number(static_cast<long long>(runtime.getSavedLimitCount()));
    logLine(std::string_view(line, static_cast<std::size_t>(out - line)));
}

constexpr std::int32_t kGoOn = R::kGoOn;

// The sub-commands in comparison order.
const std::array<Entry, kSystemCommandCount> kEntries = {{
    {"setmaxx", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMaxX(intArg(0)); }); return kGoOn; }},
    {"setminx", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMinX(intArg(0)); }); return kGoOn; }},
    {"setmaxy", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMaxY(intArg(0)); }); return kGoOn; }},
    {"setminy", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMinY(intArg(0)); }); return kGoOn; }},
    {"setmaxrx", [](const SystemCall&) { setVar(vars().maxrx, floatArg(0)); return kGoOn; }},
    {"setminrx", [](const SystemCall&) { setVar(vars().minrx, floatArg(0)); return kGoOn; }},
    {"setmaxry", [](const SystemCall&) { setVar(vars().maxry, floatArg(0)); return kGoOn; }},
    {"setminry", [](const SystemCall&) { setVar(vars().minry, floatArg(0)); return kGoOn; }},
    // Every manager released in the shut-down order, then the process ends
    // with status 0: the program's one way out.
    {"exit", [](const SystemCall&) -> std::int32_t { fatalExit({}, 0); }},
    {"autoitem", [](const SystemCall&) { return kGoOn; }},
    {"enablecollision", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setNamedVar("ignorecollision", 0); }); return kGoOn; }},
    {"disablecollision", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setNamedVar("ignorecollision", 1); }); return kGoOn; }},
    {"clearretry", [](const SystemCall&) { setVar(vars().retrynum, 0.0f); return kGoOn; }},
    {"incretry", [](const SystemCall&) { incVar(vars().retrynum); return kGoOn; }},
    {"clearmisscount", [](const SystemCall&) { setVar(vars().misscount, 0.0f); return kGoOn; }},
    {"clearstagemisscount", [](const SystemCall&) { setVar(vars().stageMisscount, 0.0f); return kGoOn; }},
    {"cleartotalretry", [](const SystemCall&) { setVar(vars().totalRetrynum, 0.0f); return kGoOn; }},
    {"inctotalretry", [](const SystemCall&) { incVar(vars().totalRetrynum); return kGoOn; }},
    {"clearcontinue", [](const SystemCall&) { setVar(vars().continuenum, 0.0f); return kGoOn; }},
    {"inccontinue", [](const SystemCall&) {
         incVar(vars().continuenum);
         if (getVar(vars().continuenum) > 9.0f) setVar(vars().continuenum, 9.0f);
         return kGoOn;
     }},
    {"readreplayon", [](const SystemCall& c) {
         onRecords([](GameInfo& g) { g.setMaxStageUpdate(0); });
         if (ReplayManager* replay = c.replay()) replay->setMode(ReplayManager::kPlayBack);
         return kGoOn;
     }},
    {"readreplayoff", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) r->setMode(ReplayManager::kRecord); return kGoOn; }},
    {"restartreplayon", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) r->setMode(ReplayManager::kRestart); return kGoOn; }},
    {"cleartemptexture", [](const SystemCall& c) {
         if (!RuntimePeers::current().spritePurgeMarked()) c.absent(kSpriteManagerName);
         if (!RuntimePeers::current().texturePurgeMarked()) c.absent(kTextureManagerName);
         return kGoOn;
     }},
    // Recording and play back start each stage from the same "_rand" numbers:
    // the generator goes back to its start state first, in every mode.
    {"startreplay", [](const SystemCall& c) {
         R::reseed();
         if (ReplayManager* r = c.replay()) r->startReplay();
         return kGoOn;
     }},
    {"endreplay", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) r->endReplay(); return kGoOn; }},
    // Slot numbers go to the replay manager unchanged: it checks them.
    {"commitreplay", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) (void)r->saveReplay(intArg(0)); return kGoOn; }},
    {"commitreplayauto", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) (void)r->saveReplayAuto(); return kGoOn; }},
    {"loadallreplay", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) r->loadAllReplays(); return kGoOn; }},
    {"selectreplay", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) (void)r->selectReplay(intArg(0)); return kGoOn; }},
    {"clearreplay", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) r->clearReplay(); return kGoOn; }},
    {"resetreplay", [](const SystemCall& c) { c.input(&RuntimePeers::inputResetReplayReader); return kGoOn; }},
    {"esctocancelon", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setEscToCancel(1); }); return kGoOn; }},
    {"esctocanceloff", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setEscToCancel(0); }); return kGoOn; }},
    {"forcenopractice", [](const SystemCall&) {
         if (g_systemInfo && g_systemInfo->getForceNoPractice() != 0) setVar(vars().practiceMode, 0.0f);
         return kGoOn;
     }},
    {"practicemodeon", [](const SystemCall&) { setVar(vars().practiceMode, 1.0f); return kGoOn; }},
    {"practicemodeoff", [](const SystemCall&) { setVar(vars().practiceMode, 0.0f); return kGoOn; }},
    {"resetgencounter", [](const SystemCall&) { if (g_frameCounter) g_frameCounter->resetSerial(); return kGoOn; }},
    {"preloadimg", [](const SystemCall&) {
         if (BulletML_Node_Manager* document = R::getDocument()) document->preloadResources();
         return kGoOn;
     }},
    {"playermoveenable", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setPlayerMoveEnabled(1); }); return kGoOn; }},
    {"playermovedisable", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setPlayerMoveEnabled(0); }); return kGoOn; }},
    {"keyenable", [](const SystemCall& c) { c.keyEnabled(1); return kGoOn; }},
    {"keydisable", [](const SystemCall& c) { c.keyEnabled(0); return kGoOn; }},
    {"releasealllock", [](const SystemCall&) { onRecords([](GameInfo& g) { g.releaseAllLocks(); }); return kGoOn; }},
    {"pausesound", [](const SystemCall& c) { c.sound(&RuntimePeers::soundPauseAll); return kGoOn; }},
    {"restartsound", [](const SystemCall& c) { c.sound(&RuntimePeers::soundResumeAll); return kGoOn; }},
    {"vanishsound", [](const SystemCall& c) { c.sound(&RuntimePeers::soundVanishAll); return kGoOn; }},
    {"nobgclear", [](const SystemCall&) { if (g_d3dObject) g_d3dObject->setClearEnabled(0); return kGoOn; }},
    {"effectmeshenable", [](const SystemCall&) { effectMesh(1); return kGoOn; }},
    {"effectmeshdisable", [](const SystemCall&) { effectMesh(0); return kGoOn; }},
    {"resetdroppedframe", [](const SystemCall&) { onRecords([](GameInfo& g) { g.resetDroppedFrames(); }); return kGoOn; }},
    // The character is the low 8 bits of the value; the records ignore
    // positions outside the name.
    {"setmyname", [](const SystemCall&) {
         onRecords([](GameInfo& g) { g.setMyNameChar(intArg(0), intArg(1) & 0xFF); });
         return kGoOn;
     }},
    {"createtmpname", [](const SystemCall&) { onRecords([](GameInfo& g) { g.createTmpName(); }); return kGoOn; }},
    {"commitmyname", [](const SystemCall&) { onRecords([](GameInfo& g) { g.commitMyName(); }); return kGoOn; }},
    {"resetbuzz", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setBuzz(0); }); return kGoOn; }},
    {"resetecrystal", [](const SystemCall&) {
         onRecords([](GameInfo& g) {
             g.setECrystal1(0);
             g.setECrystal2(0);
         });
         return kGoOn;
     }},
    {"resetstageecrystal", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setECrystal2(0); }); return kGoOn; }},
    {"resetvorlyrate", [](const SystemCall&) { onRecords([](GameInfo& g) { g.resetVorlyRate(); }); return kGoOn; }},
    {"setreconfig", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setReconfigCount(2); }); return kGoOn; }},
    {"cleargameflag", [](const SystemCall&) { onRecords([](GameInfo& g) { g.clearGameFlags(); }); return kGoOn; }},
    {"commitstagescore", [](const SystemCall&) { onRecords([](GameInfo& g) { g.commitStageScore(); }); return kGoOn; }},
    {"clearscore", [](const SystemCall&) {
         onRecords([](GameInfo& g) {
             g.setScore(0);
             g.setItemCount(3, 0);
         });
         return kGoOn;
     }},
    {"clearstageflag", [](const SystemCall&) { onRecords([](GameInfo& g) { g.clearStageFlag(); }); return kGoOn; }},
    {"clearbgm", [](const SystemCall& c) { c.sound(&RuntimePeers::soundClearBgm); return kGoOn; }},
    {"clearmpoint", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMpoint(0.0f); }); return kGoOn; }},
    {"fillmpoint", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMpoint(1200.0f); }); return kGoOn; }},
    {"initmpoint", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMpoint(600.0f); }); return kGoOn; }},
    {"fullpower", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setItemCount(2, 4); }); return kGoOn; }},
    {"resetpower", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setItemCount(2, 0); }); return kGoOn; }},
    {"cutinmodeon", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setCutinMode(1); }); return kGoOn; }},
    {"cutinmodeoff", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setCutinMode(0); }); return kGoOn; }},
    {"setonlinereplay", [](const SystemCall& c) {
         if (ReplayManager* r = c.replay()) r->setOnlineReplay(intArg(0), intArg(1), intArg(2));
         return kGoOn;
     }},
    {"setonlinereplaystage", [](const SystemCall& c) { if (ReplayManager* r = c.replay()) r->setOnlineReplayStage(intArg(0)); return kGoOn; }},
    {"saveonlinereplay", [](const SystemCall& c) {
         if (ReplayManager* r = c.replay()) r->saveOnlineReplay(intArg(0), intArg(1));
         return kGoOn;
     }},
    {"resetscore", [](const SystemCall&) { resetScore(); return kGoOn; }},
    {"updatescorename", [](const SystemCall&) { onRecords([](GameInfo& g) { g.updateScoreName(); }); return kGoOn; }},
    {"updategameflag", [](const SystemCall&) {
         ReplayManager* replay = g_replayManager;
         if (replay && replay->getMode() != ReplayManager::kPlayBack) onRecords([](GameInfo& g) { g.updateGameFlags(); });
         return kGoOn;
     }},
    {"enablemaxstageupdate", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMaxStageUpdate(1); }); return kGoOn; }},
    {"disablemaxstageupdate", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setMaxStageUpdate(0); }); return kGoOn; }},
    {"enableskipbutton", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setSkipButtonEnabled(1); }); return kGoOn; }},
    {"disableskipbutton", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setSkipButtonEnabled(0); }); return kGoOn; }},
    {"readskipenable", [](const SystemCall&) { if (g_systemInfo) g_systemInfo->setReadSkipEnable(1); return kGoOn; }},
    {"readskipdisable", [](const SystemCall&) { if (g_systemInfo) g_systemInfo->setReadSkipEnable(0); return kGoOn; }},
    {"fulldrawon", [](const SystemCall&) { fullDraw(1); return kGoOn; }},
    {"fulldrawoff", [](const SystemCall&) { fullDraw(0); return kGoOn; }},
    {"skipclearnodes", [](const SystemCall&) { if (g_xmlManagerManager) g_xmlManagerManager->holdNextFlip(); return kGoOn; }},
    {"cleartexture", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setClearTextureRequest(1); }); return kGoOn; }},
    {"clearmesh", [](const SystemCall& c) {
         if (!RuntimePeers::current().meshClearAll()) c.absent(kMeshManagerName);
         return kGoOn;
     }},
    // The count lives in the document's node, shared by every runtime of the
    // script: the first to reach it goes on, every later one stops there.
    {"onlyoneinstance", [](const SystemCall& c) {
         BulletML_Node* node = c.runtime.getCurrentNode();
         if (node->getRunCount() != 0) return R::kYield;
         node->incRunCount();
         return kGoOn;
     }},
    {"disablepause", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setPauseAllowed(0); }); return kGoOn; }},
    {"enablepause", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setPauseAllowed(1); }); return kGoOn; }},
    {"switchpause", [](const SystemCall&) {
         onRecords([](GameInfo& g) {
             if (!g.isPaused()) g.requestPauseToggle();
         });
         return kGoOn;
     }},
    {"cancelpause", [](const SystemCall& c) { cancelPause(c); return kGoOn; }},
    {"fixreadtextblock", [](const SystemCall&) { onRecords([](GameInfo& g) { g.fixReadText(); }); return kGoOn; }},
    {"clearkeystate", [](const SystemCall& c) { c.input(&RuntimePeers::inputClearKeyState); return kGoOn; }},
    {"resetgameover", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setGameOver(0); }); return kGoOn; }},
    {"setwaitkeyon", [](const SystemCall&) {
         onRecords([](GameInfo& g) {
             g.setWaitKey(1);
             g.setWaitKeyValue(intArg(0));
         });
         return kGoOn;
     }},
    {"setwaitkeyoff", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setWaitKey(0); }); return kGoOn; }},
    {"savekeyconfig", [](const SystemCall& c) { c.input(&RuntimePeers::inputSaveKeyConfig); return kGoOn; }},
    {"clearkeyconfig", [](const SystemCall& c) { c.input(&RuntimePeers::inputClearKeyConfig); return kGoOn; }},
    {"playerswitchenable", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setPlayerSwitchable(1); }); return kGoOn; }},
    {"playerswitchdisable", [](const SystemCall&) { onRecords([](GameInfo& g) { g.setPlayerSwitchable(0); }); return kGoOn; }},
    {"traceon", [](const SystemCall&) { if (g_debugInfo) g_debugInfo->setTrace(1); return kGoOn; }},
    {"traceoff", [](const SystemCall&) { if (g_debugInfo) g_debugInfo->setTrace(0); return kGoOn; }},
    // The selection commands act on the game menu. An entry clearing its own
    // menu is safe: the menu destroys entries only after its walk.
    {"clearselectable", [](const SystemCall&) { if (SelectableObjectManager* m = gameMenu()) m->clear(); return kGoOn; }},
    {"setselect", [](const SystemCall& c) { setSelect(c.runtime); return kGoOn; }},
    {"setcancelselectcnt", [](const SystemCall&) { if (SelectableObjectManager* m = gameMenu()) m->requestDecide(); return kGoOn; }},
    {"setcursor", [](const SystemCall& c) { setCursor(c.runtime); return kGoOn; }},
    {"dumprepeatcount", [](const SystemCall& c) { dumpRepeatCount(c.runtime); return kGoOn; }},
}};
}  // namespace

std::int32_t findSystemCommand(std::string_view text) {
    for (std::size_t i = 0; i < kEntries.size(); ++i)
        if (kEntries[i].name == text) return static_cast<std::int32_t>(i);
    return -1;
}

std::string_view systemCommandName(std::int32_t index) {
    return index >= 0 && index < kSystemCommandCount ? kEntries[static_cast<std::size_t>(index)].name
                                                       : std::string_view();
}

namespace handlers {

std::int32_t execSystem(R& runtime, std::int32_t) {
    const std::string& text = runtime.getCurrentNode()->getText();
    const std::int32_t index = findSystemCommand(text);
    if (index < 0) return R::kGoOn;
    const Entry& entry = kEntries[static_cast<std::size_t>(index)];
    return entry.action(SystemCall{runtime, entry.name});
}

}  // namespace handlers

#include "objects/PlayerStep.h"

#include <charconv>
#include <string_view>

#include "graphics/D3DDevice.h"
#include "input/DInputObject.h"
#include "input/ReplayManager.h"
#include "objects/BulletObjectManager.h"
#include "objects/DSoundObjectManager.h"
#include "objects/SelectableObject.h"
#include "objects/SelectableObjectManager.h"
#include "records/GameInfo.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
using namespace object_flag;

constexpr std::uint32_t kPlayerShooting = 0x2;
constexpr std::uint32_t kPlayerRight = 0x4;
constexpr std::uint32_t kPlayerLeft = 0x8;
constexpr std::uint32_t kMenuDone = kDecided | kWaiting;
constexpr std::uint32_t kSystemTypeMpoint = 3;

std::int32_t g_slowCounter = 0;

// Names of the game variables, pooled once.
struct Names {
    NameHandle slowTerm = internName("slowterm");
    NameHandle playerSpeed = internName("playerspeed");
    NameHandle playerSlowSpeed = internName("playerslowspeed");
    NameHandle playerMoveX = internName("playermovex");
    NameHandle playerMoveY = internName("playermovey");
    NameHandle playerType = internName("_player_type");
    NameHandle magicSpirit = internName("vorlymagic_spirit");
    NameHandle magicInterval = internName("magicinterval");
    NameHandle invincibleFrames = internName("ttcinvframe");
    NameHandle bombMpoint = internName("bombmpoint");
    NameHandle optionMpoint = internName("optmpoint");
    NameHandle highPrate = internName("highprate");
    NameHandle bonusPrate = internName("bonusprate");
    NameHandle mpointDelta1 = internName("mpointdelta1");
    NameHandle mpointDelta2 = internName("mpointdelta2");
};
const Names& names() {
    static const Names pooled;
    return pooled;
}

// Trace lines for the replay debug log, built on the stack.
void trace(std::string_view tag, std::int64_t value) {
    ReplayDebugInfo* log = g_replayDebugInfo;
    if (!log) return;
    char line[40];
    std::size_t length = tag.copy(line, 16);
    auto [end, error] = std::to_chars(line + length, line + sizeof line, value);
    (void)error;
    log->writeLine(std::string_view(line, static_cast<std::size_t>(end - line)));
}
void trace(std::string_view text) {
    if (ReplayDebugInfo* log = g_replayDebugInfo) log->writeLine(text);
}

bool isFresh(std::int32_t mask) { return (mask & 3) == 1; }

// Everything one frame's step works with.
struct Step {
    DInputObject& input;
    GameInfo& game;
    FrameCounter* frames;
    BulletObjectManager* objects;
    const Names& name;

    float var(NameHandle handle) { return game.getVar(handle); }
    std::int32_t whole(NameHandle handle) { return truncateToInt32(game.getVar(handle)); }
    BulletObject* player() const { return objects ? objects->getPlayer() : nullptr; }
    bool normalType() const { return !g_systemInfo || g_systemInfo->getSystemType() != kSystemTypeMpoint; }

    // A top object of the scene; one that is missing or has gone is skipped
    // by every caller.
    BulletObject* top(TopObject which) {
        BulletObject* object = objects ? objects->getTopObject(which) : nullptr;
        return object && !object->isReleased() ? object : nullptr;
    }
    // Started: its script from the top unless it is running, and let run.
    void start(TopObject which) {
        if (BulletObject* object = top(which)) {
            if (!object->isMainRuntimeRunning()) object->restartMainRuntime();
            object->setRuntimeActive(1);
        }
    }
    // Restarted: its script from the top in any case, and let run.
    void restart(TopObject which) {
        if (BulletObject* object = top(which)) {
            object->restartMainRuntime();
            object->setRuntimeActive(1);
        }
    }
    void stop(TopObject which) {
        if (BulletObject* object = top(which)) object->setRuntimeActive(0);
    }
    bool bombActive() {
        if (!objects) return false;
        IntBulletObjectManager* bombs = objects->getBombManager();
        for (BulletObject* bomb = bombs->front(); bomb; bomb = IntBulletObjectManager::next(bomb)) {
            if (bomb->getState() == 0 && bomb->isActive()) return true;
        }
        return false;
    }
    // The player may use a special: no bomb out and not out of play.
    bool specialAllowed(BulletObject* self) { return !bombActive() && !(self->getFlags() & kRevenge); }

    // ---- gauges ----
    void gaugeSteps() {
        BulletObject* self = player();
        if (!self || !game.isPlayerMoveEnabled()) return;
        if (whole(name.playerType) == 0) {
            game.incVorlyCount1();
        } else {
            game.incVorlyCount2();
        }
        if (static_cast<float>(game.getPrate()) >= var(name.highPrate) && !(self->getFlags() & kRevenge))
            game.addScore(static_cast<std::uint32_t>(whole(name.bonusPrate)));
        game.addMpoint(g_slowCounter > 0 ? var(name.mpointDelta1) : var(name.mpointDelta2));
    }

    void gauges() {
        if (game.isPaused() || game.getCutinMode() == 1) return;
        const bool stage = game.isPlayerMoveEnabled() && g_replayManager && g_replayManager->isActive();
        if (normalType()) {
            if (!stage) return;
            if (frames) frames->tickMagicFrames();
        } else {
            // The option gauge fills outside the stages too.
            if (frames) frames->tickMagicFrames();
            if (!stage) return;
        }
        if (frames) {
            frames->tickMissFrames();
            frames->tickGrazeFrames();
            frames->tickDamageFrames();
        }
        gaugeSteps();
    }

    // ---- play ----
    void replaySpeedKeys() {
        ReplayManager* replay = g_replayManager;
        if (!replay || replay->getMode() != ReplayManager::kPlayBack) return;
        if (isFresh(input.getButtonRaw(kButtonRight))) {
            replay->speedUp();
        } else if (isFresh(input.getButtonRaw(kButtonLeft))) {
            replay->speedDown();
        } else if (isFresh(input.getButtonRaw(kButtonDown))) {
            replay->resetSpeed();
        }
    }

    static void stepMoveVar(GameInfo& game, NameHandle handle, float velocity) {
        const float value = game.getVar(handle);
        if (velocity > 0.0f) {
            if (!(value > 1.0f)) game.addVar(handle, 0.05f);
        } else if (velocity < 0.0f) {
            if (!(value < -1.0f)) game.addVar(handle, -0.05f);
        } else {
            game.setVar(handle, 0.0f);
        }
    }

    void movement(BulletObject* self) {
        if (self->getFlags() & kRevenge) return;
        // The counter as the previous frame's shot step left it.
        const std::int32_t slowTerm = whole(name.slowTerm);
        float speed;
        if (g_slowCounter < slowTerm) {
            speed = var(name.playerSpeed);
        } else {
            speed = var(name.playerSlowSpeed);
            if (g_slowCounter > slowTerm) g_slowCounter = slowTerm;
        }
        const std::int32_t up = input.getButton(kButtonUp);
        const std::int32_t down = input.getButton(kButtonDown);
        const std::int32_t left = input.getButton(kButtonLeft);
        const std::int32_t right = input.getButton(kButtonRight);
        trace("U:", up);
        trace("D:", down);
        trace("L:", left);
        trace("R:", right);
        float vx = 0.0f;
        float vy = 0.0f;
        // Later keys win: down over up, right over left.
        if (up & 1) vy = -speed;
        if (down & 1) vy = speed;
        if (left & 1) vx = -speed;
        if (right & 1) vx = speed;
        stepMoveVar(game, name.playerMoveY, vy);
        stepMoveVar(game, name.playerMoveX, vx);
        if (vx > 0.0f) {
            self->addFlags(kPlayerRight);
            self->clearFlags(kPlayerLeft);
        } else if (vx < 0.0f) {
            self->addFlags(kPlayerLeft);
            self->clearFlags(kPlayerRight);
        } else {
            self->clearFlags(kPlayerLeft | kPlayerRight);
        }
        self->moveBy(vx, vy);
    }

    // Buttons 0 and 4 fire; holding button 0 alone builds up slow mode. A
    // release (m = 2) keeps the counter, so slow speed lasts two frames
    // past it.
    void shots(BulletObject* self) {
        const std::int32_t shot = input.getButton(kButton0);
        const std::int32_t rapid = input.getButton(kButton4);
        trace("0:", shot);
        trace("4:", rapid);
        const std::int32_t m = (shot | rapid) & 3;
        const bool firstType = whole(name.playerType) == 0;
        switch (m) {
            case 0:
                self->clearFlags(kPlayerShooting);
                g_slowCounter = 0;
                break;
            case 1:
                self->addFlags(kPlayerShooting);
                start(firstType ? TopObject::kShot1 : TopObject::kShot2);
                stop(firstType ? TopObject::kShot2 : TopObject::kShot1);
                break;
            case 2:
                self->clearFlags(kPlayerShooting);
                break;
            default:
                self->addFlags(kPlayerShooting);
                start(firstType ? TopObject::kShot1 : TopObject::kShot2);
                if ((shot & 3) == 3) {
                    ++g_slowCounter;
                } else if ((shot & 3) == 0) {
                    g_slowCounter = 0;
                }
                break;
        }
        trace("slow:", g_slowCounter);
    }

    void vorlyMagic(BulletObject* self) {
        const std::int32_t button = input.getButton(kButton1);
        trace("1:", button);
        if (!specialAllowed(self)) return;
        if (static_cast<float>(game.getSpirit()) < var(name.magicSpirit)) return;
        if (frames && static_cast<std::int64_t>(frames->getMagicFrames()) < whole(name.magicInterval)) return;
        if (!isFresh(button)) return;
        restart(TopObject::kBomb);
        game.addSpirit(-whole(name.magicSpirit));
        if (objects) {
            objects->flagAroundPlayer();
            objects->collectAllItems();
        }
        self->setInvincibleFrames(whole(name.invincibleFrames));
        if (frames) frames->resetMagicFrames();
    }

    // System type 3: a special paid with mpoint (hundreds of "bombmpoint" or
    // "optmpoint").
    bool mpointSpecial(BulletObject* self, std::int32_t button, NameHandle price, TopObject label) {
        const std::int32_t mask = input.getButton(button);
        trace(button == kButton1 ? "1:" : "2:", mask);
        if (!specialAllowed(self)) return false;
        const float cost = var(price) * 100.0f;
        if (game.getMpoint() < cost) return false;
        if (!isFresh(mask)) return false;
        restart(label);
        game.addMpoint(-cost);
        return true;
    }

    void playerSwitch() {
        const std::int32_t button = input.getButton(kButton2);
        trace("2:", button);
        if (!game.isPlayerSwitchable() || !isFresh(button)) return;
        game.setVar(name.playerType, static_cast<float>((whole(name.playerType) + 1) % 2));
        restart(TopObject::kOption);
    }

    void skipKey(std::int32_t mask) {
        const std::int32_t button = mask;
        trace("3:", button);
        game.setSkipPressed((button & 3) != 0 || game.isTextBlockActive() ? 1 : 0);
    }

    void pauseKey() {
        // The live devices: a replay played back can still be paused.
        const std::int32_t button = input.getButtonFrame(kButtonPause);
        if (!game.isPauseAllowed() || !isFresh(button)) return;
        restart(TopObject::kPause);
        if (DSoundObjectManager* sound = g_dsoundObjectManager) sound->pauseAll();
        if (frames) frames->resetPauseFrames();
        game.requestPauseToggle();
    }

    void playerStep() {
        BulletObject* self = player();
        if (!self) return;
        input.update();
        if (frames) {
            frames->tickPauseFrames();
            frames->samplePlayerPosition();
        }
        replaySpeedKeys();
        if (!game.isPlayerMoveEnabled()) {
            skipKey(input.getButton(kButton3));
            pauseKey();
            return;
        }
        movement(self);
        shots(self);
        if (normalType()) {
            vorlyMagic(self);
            playerSwitch();
        } else {
            mpointSpecial(self, kButton1, name.bombMpoint, TopObject::kBomb);
            if (mpointSpecial(self, kButton2, name.optionMpoint, TopObject::kOption) && frames) frames->resetMagicFrames();
        }
        skipKey(input.getButton(kButton3));
        pauseKey();
        if (normalType() && frames) frames->tickPlayerFrames();
    }

    // ---- menus ----
    SelectableObjectManager* menuOf(std::int32_t paused) {
        return paused ? objects->getPauseSelectableManager() : objects->getSelectableManager();
    }
    std::int32_t menuButton(std::int32_t button, std::int32_t paused) {
        return paused ? input.getButtonFrame(button) : input.getButton(button);
    }
    // The entry under the cursor when the menu's keys may act on it: alive,
    // not leaving, in a menu of more than one entry.
    static SelectableObject* keyEntry(SelectableObjectManager* menu) {
        SelectableObject* entry = menu->getFocusObject();
        if (!entry || entry->getState() != 0 || (entry->getFlags() & kRevenge) || menu->getSize() <= 1) return nullptr;
        return entry;
    }

    void cursorKeys(SelectableObjectManager* menu, std::int32_t paused) {
        const std::int32_t up = menuButton(kButtonUp, paused);
        const std::int32_t down = menuButton(kButtonDown, paused);
        const std::int32_t left = menuButton(kButtonLeft, paused);
        const std::int32_t right = menuButton(kButtonRight, paused);
        trace("U:", up);
        trace("D:", down);
        trace("L:", left);
        trace("R:", right);
        std::int32_t dx = 0;
        std::int32_t dy = 0;
        if (keyEntry(menu)) {
            const std::int32_t table = menu->getTable();
            const std::int32_t cursor = menu->getCursor();
            // Up and down move through the rows, left and right through the
            // tables; the step that changed the cell is kept for the scripts
            // ("_table_dx", "_table_dy").
            auto move = [&](std::int32_t mask, bool rows, std::int32_t delta) {
                if (!isFresh(mask)) return;
                const std::int32_t beforeTable = menu->getTable();
                const std::int32_t beforeCursor = menu->getCursor();
                if (rows) {
                    menu->moveCursor(delta);
                } else {
                    menu->moveTable(delta);
                }
                if (menu->getTable() == beforeTable && menu->getCursor() == beforeCursor) return;
                (rows ? dy : dx) = delta;
            };
            move(up, true, -1);
            move(down, true, 1);
            move(left, false, -1);
            move(right, false, 1);
            if (menu->getTable() != table || menu->getCursor() != cursor) {
                // A move onto an entry that is neither decided nor cancelled
                // selects it (its selected script starts; an entry already
                // selected keeps its own), and takes a pending decide request.
                SelectableObject* entry = menu->getFocusObject();
                if (entry && !(entry->getFlags() & kMenuDone)) {
                    menu->applyCursor();
                    menu->takeDecideRequest();
                }
            }
        }
        menu->setMoveInput(dx, dy);
    }

    // "Allows deciding": decideCursor succeeds; it moves the entry from
    // selected to decided and sends the rest of its table away.
    void decide(SelectableObjectManager* menu, SelectableObject* entry) {
        if (entry->getFlags() & kMenuDone) return;
        if (menu->decideCursor() != 1) return;
        entry->restartDecided();
    }

    void decideKey(SelectableObjectManager* menu, std::int32_t paused) {
        const std::int32_t button = menuButton(kButton0, paused);
        trace("0:", button);
        SelectableObject* entry = keyEntry(menu);
        if (entry && isFresh(button)) decide(menu, entry);
    }

    // The cancel operation: the whole menu closes for an entry with attribute
    // bit 1, else it only asks that every cursor object has its cancel
    // (unselected) script. On success the entry is flagged 0x4000 and runs
    // that script from its start.
    void cancelKey(SelectableObjectManager* menu, std::int32_t paused) {
        const std::int32_t button = menuButton(kButton1, paused);
        trace("1:", button);
        bool fresh = isFresh(button);
        if (game.isEscToCancel() && isFresh(menuButton(kButtonPause, paused))) fresh = true;
        SelectableObject* entry = keyEntry(menu);
        if (!entry || !fresh || (entry->getFlags() & kMenuDone)) return;
        const std::int32_t done = (entry->getAttributeBits() & 1) ? menu->closeMenu() : menu->allWaitersReady();
        if (!done) return;
        entry->clearFlags(kSelected);
        entry->addFlags(kWaiting);
        entry->enterUnselected();
    }

    void menuSkipKey(SelectableObjectManager* menu, std::int32_t paused) {
        if (!game.isSkipButtonEnabled() || paused) return;
        skipKey(menuButton(kButton3, paused));
        SelectableObject* entry = keyEntry(menu);
        if (entry && game.isSkipPressed()) decide(menu, entry);
    }

    void menuPauseKey(SelectableObjectManager* menu, std::int32_t paused) {
        if (!game.isPauseAllowed() || game.isEscToCancel()) return;
        if (!keyEntry(menu) || !isFresh(menuButton(kButtonPause, paused))) return;
        IntBulletObjectManager* pauseList = objects->getPauseManager();
        if (paused) {
            // The pause menu closes: its entries and the pause objects go.
            SelectableObjectManager* pauseMenu = objects->getPauseSelectableManager();
            pauseMenu->vanishAll();
            pauseMenu->removeDead();
            pauseList->vanishAll();
            pauseList->removeDead();
            stop(TopObject::kPause);
            if (DSoundObjectManager* sound = g_dsoundObjectManager) sound->resumeAll();
        } else {
            pauseList->vanishAll();
            pauseList->removeDead();
            restart(TopObject::kPause);
            if (DSoundObjectManager* sound = g_dsoundObjectManager) sound->pauseAll();
        }
        game.requestPauseToggle();
        if (frames) frames->resetPauseFrames();
    }

    void menuStep(std::int32_t paused) {
        input.update();
        if (frames) frames->tickPauseFrames();
        SelectableObjectManager* menu = menuOf(paused);
        objects->setSelectManager(menu);
        // The ranges are taken before any key moves the cursor.
        menu->computeRanges();
        if (frames) frames->samplePlayerPosition();
        cursorKeys(menu, paused);
        replaySpeedKeys();
        decideKey(menu, paused);
        cancelKey(menu, paused);
        menuSkipKey(menu, paused);
        menuPauseKey(menu, paused);
    }

    // ---- the input mode ----
    std::int32_t firstFreshButton() {
        for (std::int32_t button = 0; button < kButtonCount; ++button) {
            if (isFresh(input.getButtonRaw(button))) return button;
        }
        return -1;
    }

    void inputMode() {
        if (game.isWaitKey()) {
            // Key assignment: the cursor still moves, the first fresh button
            // is taken for the entry being assigned.
            input.update();
            if (objects) cursorKeys(menuOf(0), 0);
            const std::int32_t button = firstFreshButton();
            if (button >= 0) input.setKeyAssign(game.getWaitKeyValue(), button);
            return;
        }
        const std::int32_t paused = game.isPaused() ? 1 : 0;
        if (objects && menuOf(paused)->getWaitFlag() > 0) {
            trace(paused ? "Mode1" : "Mode2");
            menuStep(paused);
            return;
        }
        trace("Mode3");
        if (game.getCutinMode() == 1) return;
        if (BulletObject* self = player()) self->clearFlags(kPlayerLeft | kPlayerRight);
        playerStep();
    }
};
}  // namespace

HRESULT updatePlayerFrame() {
    if (!g_d3dObject || !g_dinputObject || !g_d3dDevice) return E_FAIL;
    GameInfo* game = g_gameInfo;
    if (!game) return S_OK;
    FrameCounter* frames = g_frameCounter;
    // The frame on which a replay stage started runs nothing here.
    if (frames && frames->getFramesSinceMark() == 0) return S_OK;
    game->applyPauseToggle();
    Step step{*g_dinputObject, *game, frames, g_bulletObjectManager, names()};
    step.gauges();
    step.inputMode();
    return S_OK;
}

std::int32_t queryInputForMode(std::int32_t paused) {
    DInputObject* input = g_dinputObject;
    GameInfo* game = g_gameInfo;
    if (!input || !game || game->isPaused() != paused) return 0;
    return paused != 0 ? input->getButtonFrame(kButton0) : input->getButton(kButton0);
}

std::int32_t getSlowCounter() { return g_slowCounter; }
void resetSlowCounter() { g_slowCounter = 0; }

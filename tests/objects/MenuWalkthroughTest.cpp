// A title menu of three entries and a pause menu, as a scene script builds
// them, steered by scripted keys through the player step and run by the
// interpreter: Down, Down, Z decides the third entry; Esc pauses the play
// with a menu, Esc closes it.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "input/DInputDeviceKeyboard.h"
#include "input/ReplayManager.h"
#include "objects/MenuFixture.h"
#include "platform/Input.h"
#include "services/SystemInfo.h"

namespace {

constexpr const char* kScene = R"(
<action label="top">
  <selectable label="entry"><cx>320</cx><cy>200</cy><x>0</x><y>0</y><speed>0</speed>
    <selectedref label="lit"/><decidedref label="chosen"><param>1</param></decidedref><wait>100000</wait>
  </selectable>
  <selectable label="entry"><cx>320</cx><cy>240</cy><x>0</x><y>1</y><speed>0</speed>
    <selectedref label="lit"/><decidedref label="chosen"><param>2</param></decidedref><wait>100000</wait>
  </selectable>
  <selectable label="entry"><cx>320</cx><cy>280</cy><x>0</x><y>2</y><speed>0</speed>
    <selectedref label="lit"/><decidedref label="chosen"><param>3</param></decidedref><wait>100000</wait>
  </selectable>
  <waitselectable/>
  <global name="menudone">1</global>
  <wait>100000</wait>
</action>
<selected label="lit"><global name="lit">$_cursor_y</global><wait>100000</wait></selected>
<decided label="chosen"><global name="choice">$1</global><wait>100000</wait></decided>
<action label="pause_top">
  <selectable label="resume"><pause>1</pause><x>0</x><y>0</y><speed>0</speed><wait>100000</wait></selectable>
  <selectable label="quit"><pause>1</pause><x>0</x><y>1</y><speed>0</speed><wait>100000</wait></selectable>
  <wait>100000</wait>
</action>
)";

class MenuWalkthroughTest : public MenuTest {
protected:
    float global(const char* name) { return game().getGlobalVar(internName(name)); }
};

TEST_F(MenuWalkthroughTest, DownDownZDecidesTheThirdEntryAndEscPausesWithAMenu) {
    load(kScene);
    spawn(u"top");
    BulletObject* pauseTop = spawn(u"pause_top");
    pauseTop->setRuntimeActive(0);
    manager().setPauseTop(pauseTop);
    BulletObject* player = makePlayer();
    setVar("playerspeed", 4.0f);
    setVar("slowterm", 10.0f);
    // As the game reset leaves them: Esc pauses rather than cancels.
    game().setEscToCancel(0);

    step();
    ASSERT_EQ(menu().getSize(), 3u);
    EXPECT_EQ(menu().getWaitFlag(), 3);

    step({kButtonDown});
    EXPECT_EQ(menu().getCursor(), 1);
    EXPECT_EQ(menu().getMoveY(), 1);
    EXPECT_FLOAT_EQ(global("lit"), 1.0f);  // the second entry's selected script ran
    step();
    EXPECT_EQ(menu().getMoveY(), 0);
    step({kButtonDown});
    step();
    EXPECT_EQ(menu().getCursor(), 2);
    EXPECT_FLOAT_EQ(global("lit"), 2.0f);
    // The keys steer the menu, not the player.
    EXPECT_FLOAT_EQ(player->getY(), 240.0f);

    step({kButton0});
    EXPECT_FLOAT_EQ(global("choice"), 3.0f);
    step();
    EXPECT_EQ(menu().getWaitFlag(), 0);
    EXPECT_EQ(menu().getSize(), 1u);  // the other two left
    EXPECT_FLOAT_EQ(global("menudone"), 1.0f);

    // In play: the player moves, Esc opens the pause menu.
    step({kButtonDown});
    EXPECT_FLOAT_EQ(player->getY(), 244.0f);
    step({kButtonPause});
    EXPECT_EQ(pauseMenu().getSize(), 2u);
    step();
    EXPECT_EQ(game().isPaused(), 1);
    EXPECT_GT(pauseMenu().getWaitFlag(), 0);
    step({kButtonDown});
    EXPECT_EQ(pauseMenu().getCursor(), 1);
    EXPECT_FLOAT_EQ(player->getY(), 244.0f);  // paused: no play
    step({kButtonPause});
    step();
    EXPECT_EQ(game().isPaused(), 0);
    EXPECT_EQ(pauseMenu().getSize(), 0u);
    EXPECT_EQ(pauseTop->isRuntimeActive(), 0);
    step({kButtonDown});
    EXPECT_FLOAT_EQ(player->getY(), 248.0f);
}

// The bundled game's title scene: its menu answers the keys, Esc opens and
// closes its pause menu.
TEST_F(MenuWalkthroughTest, TheBundledTitleMenuAnswersTheKeys) {
    const auto path = std::filesystem::path(VORLY_FIXTURES) / ".." / ".." / "game" / "script" / "title.xml";
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    std::stringstream text;
    text << in.rdbuf();
    loadDocument(text.str());
    game().setEscToCancel(0);
    spawn(u"top");
    BulletObject* pauseTop = spawn(u"pause_top");
    pauseTop->setRuntimeActive(0);
    manager().setPauseTop(pauseTop);

    step();
    // START, PRACTICE, REPLAY, RANKING, OPTIONS, QUIT.
    ASSERT_EQ(menu().getSize(), 6u);
    step({kButtonDown});
    EXPECT_EQ(menu().getCursor(), 1);
    step({kButtonUp});
    EXPECT_EQ(menu().getCursor(), 0);
    // Up from START wraps round to QUIT, and back.
    step();
    step({kButtonUp});
    EXPECT_EQ(menu().getCursor(), 5);
    step();
    step({kButtonDown});
    EXPECT_EQ(menu().getCursor(), 0);
    step({kButtonPause});
    step();
    EXPECT_EQ(game().isPaused(), 1);
    // RESUME, QUIT and the shade behind them (the menu's cursor object).
    EXPECT_EQ(pauseMenu().getSize(), 3u);
    step({kButtonPause});
    step();
    EXPECT_EQ(game().isPaused(), 0);
    EXPECT_EQ(pauseMenu().getSize(), 0u);
    step({kButton0});
    step();
    EXPECT_FLOAT_EQ(global("title_choice"), 1.0f);
    EXPECT_EQ(menu().getWaitFlag(), 0);
}

// The same title menu steered by keyboard keys through the real input
// manager: the arrows, Z and Esc of the keyboard's fixed key sets.
TEST_F(MenuWalkthroughTest, TheKeyboardSteersTheMenuThroughTheInputManager) {
    ScriptedInput keyboard;
    Input::setInstance(&keyboard);
    g_systemInfo = new SystemInfo();
    g_replayManager = new ReplayManager();
    auto manager = std::make_unique<DInputObject>();
    manager->init();
    g_dinputObject = manager.get();
    load(kScene);
    game().setEscToCancel(0);
    spawn(u"top");
    BulletObject* pauseTop = spawn(u"pause_top");
    pauseTop->setRuntimeActive(0);
    this->manager().setPauseTop(pauseTop);
    auto frame = [&](std::initializer_list<int> keys) {
        keyboard.releaseAllKeys();
        for (int key : keys) keyboard.setKey(key, true);
        updatePlayerFrame();
        this->manager().execBullet();
    };

    frame({});
    frame({kDikDown});
    frame({});
    frame({kDikDown});
    frame({});
    EXPECT_EQ(menu().getCursor(), 2);
    frame({kDikZ});
    frame({});
    EXPECT_FLOAT_EQ(global("choice"), 3.0f);

    makePlayer();
    frame({kDikEscape});
    frame({});
    EXPECT_EQ(game().isPaused(), 1);
    EXPECT_EQ(pauseMenu().getSize(), 2u);
    frame({kDikEscape});
    frame({});
    EXPECT_EQ(game().isPaused(), 0);

    g_dinputObject = nullptr;
    manager.reset();
    delete g_replayManager;
    g_replayManager = nullptr;
    delete g_systemInfo;
    g_systemInfo = nullptr;
    Input::setInstance(nullptr);
}

}  // namespace

// The start-up configuration dialog: its template's layout, the mapping
// between the configuration record and its boxes, the control rules (keys and
// mouse), the canvas, start-up on the test backend, and the SDL2 backend under
// the offscreen driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "network/NetworkManager.h"
#include "platform/Clock.h"
#include "platform/Dialog.h"
#include "platform/DialogCanvas.h"
#include "platform/Glyph.h"
#include "platform/ScriptedNet.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/ConfigDialog.h"
#include "shell/ReleaseAll.h"
#include "shell/WinMain.h"
#include "support/TestSupport.h"

namespace {
// A record with every field the dialog touches set away from what OK writes.
void fillRecord(SystemInfo& info) {
    info.setWidth(800);
    info.setHeight(600);
    info.setWideCompress(0);
    info.setBpp(32);
    info.setVsync(0);
    info.setWindowed(1);
    info.setScroll(0);
    info.setForce60fps(0);
    info.setDrawBg(1);
    info.setOnline(1);
}

struct RecordFields {
    std::uint32_t width, height, wide, bpp, vsync, windowed, scroll, force60, drawBg, online;
    bool operator==(const RecordFields&) const = default;
};
RecordFields fieldsOf(const SystemInfo& info) {
    return {info.getWidth(),    info.getHeight(),   info.isWideCompress(), info.getBpp(),  info.getVsync(),
            info.isWindowed(),  info.getScroll(),   info.getForce60fps(),  info.getDrawBg(), info.getOnline()};
}

// Records every WM_COMMAND with the state of its box at that moment, and
// ends on OK and Cancel.
struct Recorder {
    static inline std::vector<std::pair<int, int>> commands;
    static std::intptr_t procedure(Dialog& dialog, std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
        if (message != WM_COMMAND) return 0;
        int id = static_cast<int>(wParam & 0xFFFF);
        commands.emplace_back(id, dialog.isButtonChecked(id));
        if (id == IDOK || id == IDCANCEL) dialog.end(id);
        return 1;
    }
};

std::set<int> tickedIds(const Dialog& dialog) {
    std::set<int> ids;
    for (const Dialog::Item& item : dialog.items())
        if (item.checked) ids.insert(item.control.id);
    return ids;
}

Rgb pixelAt(const std::vector<std::uint8_t>& rgb, int width, int x, int y) {
    const std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    return {p[0], p[1], p[2]};
}

class NoFaceGlyphSystem : public GlyphSystem {
public:
    std::unique_ptr<GlyphFont> createFont(const FontDesc&) override { return nullptr; }
};
}  // namespace

TEST(ConfigDialogLayout, TemplateInPixelsWithFixedBaseUnits) {
    // MulDiv's rounding: halves away from zero, both signs.
    EXPECT_EQ(mulDiv(227, 6, 4), 341);
    EXPECT_EQ(mulDiv(-227, 6, 4), -341);
    EXPECT_EQ(mulDiv(5, 1, 2), 3);
    EXPECT_EQ(mulDiv(-5, 1, 2), -3);
    EXPECT_EQ(mulDiv(1, 1, 0), -1);

    Dialog dialog(configDialogTemplate(), nullptr);
    EXPECT_EQ(dialog.clientWidth(), 341);
    EXPECT_EQ(dialog.clientHeight(), 330);
    EXPECT_EQ(dialog.caption(), "Sorvanthe");
    struct Expected {
        int id;
        int x, y, width, height;
    };
    const Expected expected[] = {
        {IDOK, 254, 21, 75, 21},
        {IDCANCEL, 254, 59, 75, 21},
        {kConfigBoxNoDialog, 17, 296, 177, 15},
        {kConfigBoxOffline, 17, 261, 207, 26},
    };
    for (const Expected& e : expected) {
        const Dialog::Item* item = dialog.itemById(e.id);
        ASSERT_NE(item, nullptr) << e.id;
        EXPECT_EQ(item->rect.x, e.x) << e.id;
        EXPECT_EQ(item->rect.y, e.y) << e.id;
        EXPECT_EQ(item->rect.width, e.width) << e.id;
        EXPECT_EQ(item->rect.height, e.height) << e.id;
    }
    // Template order, ids and texts.
    std::vector<int> ids;
    for (const DialogControl& control : configDialogTemplate().controls) ids.push_back(control.id);
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 1011, 1016, 1025, 1026, -1, 1029, -1, 1028, 1030, 1012}));
    EXPECT_EQ(dialog.itemById(kConfigStatusText)->text, "Online Status");
    EXPECT_EQ(dialog.itemById(kConfigBoxNoDialog)->text, "次回以降このダイアログを開かない");
    EXPECT_EQ(configDialogTemplate().controls[6].text, "非推奨オプション");
    EXPECT_EQ(configDialogTemplate().faceName, "ＭＳ Ｐゴシック");
}

TEST(ConfigDialogMapping, InitFromTheRecordByExactComparisons) {
    struct Case {
        const char* what;
        std::uint32_t online, wide, bpp, windowed, force60, drawBg;
        bool connected;
        ConfigDialogBoxes boxes;
        const char* status;
    };
    const Case cases[] = {
        {"defaults, offline", 1, 0, 32, 1, 0, 1, false, {}, "オフライン状態です"},
        {"connected", 1, 0, 32, 1, 0, 1, true, {}, "オンライン状態です"},
        {"every box ticked", 0, 1, 16, 0, 1, 0, false, {true, true, true, true, true, true, false}, "オフライン状態です"},
        {"windowed 2 is full screen", 1, 0, 32, 2, 0, 1, false, {.fullScreen = true}, "オフライン状態です"},
        {"bpp 24 is not 16-bit", 1, 0, 24, 1, 0, 1, false, {}, "オフライン状態です"},
        {"force60fps 2 is not ticked", 1, 0, 32, 1, 2, 1, false, {}, "オフライン状態です"},
        {"wide 2 is not ticked, drawBg 2 draws", 1, 2, 32, 1, 0, 2, false, {}, "オフライン状態です"},
        {"online 2 is online", 2, 0, 32, 1, 0, 1, false, {}, "オフライン状態です"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SystemInfo info;
        info.setOnline(c.online);
        info.setWideCompress(c.wide);
        info.setBpp(c.bpp);
        info.setWindowed(c.windowed);
        info.setForce60fps(c.force60);
        info.setDrawBg(c.drawBg);
        ConfigDialogInit init = initConfigDialog(info, c.connected);
        EXPECT_EQ(init.boxes, c.boxes);
        EXPECT_EQ(init.statusText, c.status);
    }
}

TEST(ConfigDialogMapping, OkWritesTheBoxesAndAlwaysTheScreenMode) {
    struct Case {
        const char* what;
        ConfigDialogBoxes boxes;
        RecordFields fields;
        bool flagFile;
    };
    const Case cases[] = {
        {"nothing ticked", {}, {640, 480, 0, 32, 1, 1, 1, 0, 1, 1}, false},
        {"everything ticked", {true, true, true, true, true, true, true}, {640, 480, 1, 16, 1, 0, 1, 1, 0, 0}, true},
        {"full screen, offline", {.offline = true, .fullScreen = true}, {640, 480, 0, 32, 1, 0, 1, 0, 1, 0}, false},
        {"don't show again only", {.noDialog = true}, {640, 480, 0, 32, 1, 1, 1, 0, 1, 1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoggedTest log;
        SystemInfo info;
        fillRecord(info);
        applyConfigDialogOk(c.boxes, info);
        EXPECT_EQ(fieldsOf(info), c.fields);
        EXPECT_EQ(log.root().exists("nodialog.txt"), c.flagFile);
    }

    // A folder where the flag file cannot be made: one line, the rest applied.
    LoggedTest log;
    std::filesystem::create_directory(log.root().path() / "nodialog.txt");
    SystemInfo info;
    fillRecord(info);
    applyConfigDialogOk({.noDialog = true}, info);
    EXPECT_TRUE(log.logContains("nodialog.txt を作成できませんでした"));
    EXPECT_EQ(info.getWidth(), 640u);
    EXPECT_EQ(info.getOnline(), 1u);
}

TEST(ConfigDialogControls, KeysAndMouseActOnTheControls) {
    using In = DialogInput;
    struct Case {
        const char* what;
        std::vector<In> inputs;
        std::set<int> ticked;
        int result;  // 0: still open
    };
    const Case cases[] = {
        {"Tab reaches OK first, Space presses it",
         {In::keyPress(DialogKey::Tab), In::keyPress(DialogKey::Space)}, {}, 1},
        {"Enter on a focused Cancel", {In::keyPress(DialogKey::Tab), In::keyPress(DialogKey::Tab),
                                        In::keyPress(DialogKey::Return)}, {}, 2},
        {"Space ticks the focused box, Enter is OK",
         {In::keyPress(DialogKey::Tab), In::keyPress(DialogKey::Tab), In::keyPress(DialogKey::Tab),
          In::keyPress(DialogKey::Space), In::keyPress(DialogKey::Return)}, {1011}, 1},
        {"Space twice unticks", {In::keyPress(DialogKey::Tab, true), In::keyPress(DialogKey::Space),
                                  In::keyPress(DialogKey::Space)}, {}, 0},
        {"Shift+Tab from the dialog is the last tab stop, then Esc",
         {In::keyPress(DialogKey::Tab, true), In::keyPress(DialogKey::Space), In::keyPress(DialogKey::Escape)},
         {1012}, 2},
        {"nine tab stops: the tenth Tab wraps to OK",
         std::vector<In>(10, In::keyPress(DialogKey::Tab)), {}, 0},
        {"Shift+Tab from OK wraps to the last box",
         {In::keyPress(DialogKey::Tab), In::keyPress(DialogKey::Tab, true), In::keyPress(DialogKey::Space)}, {1012}, 0},
        {"Space without focus does nothing, Enter is OK",
         {In::keyPress(DialogKey::Space), In::keyPress(DialogKey::Other), In::keyPress(DialogKey::Return)}, {}, 1},
        {"close box", {In::close()}, {}, 2},
        {"click on a box's text, then OK", {In::press(190, 303), In::release(190, 303), In::press(291, 31),
                                              In::release(291, 31)}, {1028}, 1},
        {"press on one box, release on another", {In::press(30, 303), In::release(30, 273)}, {}, 0},
        {"press on OK, drag off, release", {In::press(291, 31), In::move(100, 100), In::release(100, 100)}, {}, 0},
        {"press on OK, drag off and back", {In::press(291, 31), In::move(100, 100), In::move(292, 32),
                                             In::release(292, 32)}, {}, 1},
        {"static text and group boxes take no input",
         {In::press(30, 235), In::release(30, 235), In::press(12, 60), In::release(12, 60),
          In::keyPress(DialogKey::Space)}, {}, 0},
        {"Cancel by mouse after ticking two boxes",
         {In::press(30, 303), In::release(30, 303), In::press(30, 273), In::release(30, 273), In::press(291, 69),
          In::release(291, 69)}, {1028, 1030}, 2},
        {"nothing after the end", {In::keyPress(DialogKey::Escape), In::press(30, 303), In::release(30, 303)}, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder::commands.clear();
        Dialog dialog(configDialogTemplate(), Recorder::procedure);
        dialog.start();
        for (const In& input : c.inputs) {
            switch (input.kind) {
                case In::Key: dialog.keyDown(input.key, input.shift); break;
                case In::Press: dialog.mouseDown(input.x, input.y); break;
                case In::Move: dialog.mouseMove(input.x, input.y); break;
                case In::Release: dialog.mouseUp(input.x, input.y); break;
                case In::Close: dialog.closeRequested(); break;
                case In::Click: break;
            }
        }
        EXPECT_EQ(tickedIds(dialog), c.ticked);
        EXPECT_EQ(dialog.ended() ? static_cast<int>(dialog.result()) : 0, c.result);
    }

    // The focus: on the dialog itself at first; the tenth Tab is back on OK.
    Dialog dialog(configDialogTemplate(), Recorder::procedure);
    EXPECT_EQ(dialog.focusIndex(), -1);
    for (int i = 0; i < 10; ++i) dialog.keyDown(DialogKey::Tab, false);
    EXPECT_EQ(dialog.focusIndex(), 0);
    // A ticked box's command carries the new state.
    Recorder::commands.clear();
    dialog.mouseDown(30, 303);
    dialog.mouseUp(30, 303);
    ASSERT_EQ(Recorder::commands.size(), 1u);
    EXPECT_EQ(Recorder::commands[0], std::make_pair(kConfigBoxNoDialog, 1));
}

TEST(ConfigDialogCanvas, FramesBoxesMarkAndFocusWithBoxGlyphs) {
    BoxGlyphSystem glyphs;
    GlyphSystem::setInstance(&glyphs);
    DialogCanvas canvas(configDialogTemplate());
    ASSERT_TRUE(canvas.hasFont());
    ASSERT_EQ(glyphs.created.size(), 1u);
    EXPECT_EQ(glyphs.created[0].height, -12);
    EXPECT_EQ(glyphs.created[0].charSet, 128);
    EXPECT_EQ(glyphs.created[0].faceName, "ＭＳ Ｐゴシック");

    Dialog dialog(configDialogTemplate(), Recorder::procedure);
    dialog.checkButton(kConfigBoxNoDialog, BST_CHECKED);
    std::vector<std::uint8_t> rgb;
    canvas.paint(dialog, rgb);
    const int w = dialog.clientWidth();
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(341 * 330 * 3));
    auto at = [&](int x, int y) { return pixelAt(rgb, w, x, y); };

    // OK at (254, 21) 75 x 21 with the default button's dark frame round a
    // raised bevel; Cancel's bevel starts at its own corner.
    EXPECT_EQ(at(254, 21), DialogCanvas::kFrame);
    EXPECT_EQ(at(328, 41), DialogCanvas::kFrame);
    EXPECT_EQ(at(253, 21), DialogCanvas::kFace);
    EXPECT_EQ(at(255, 22), DialogCanvas::kHighlight);
    EXPECT_EQ(at(327, 40), DialogCanvas::kDarkShadow);
    EXPECT_EQ(at(254, 59), DialogCanvas::kHighlight);
    EXPECT_EQ(at(328, 79), DialogCanvas::kDarkShadow);
    // The box glyph of "O" (4 x 10 at (286, 26)), the text centred.
    EXPECT_EQ(at(287, 31), DialogCanvas::kText);
    EXPECT_EQ(at(291, 31), DialogCanvas::kFace);

    // 1028's box (13 x 13 at (17, 297)) holds the mark; 1030's is white.
    EXPECT_EQ(at(17, 297), DialogCanvas::kShadow);
    EXPECT_EQ(at(26, 300), DialogCanvas::kText);
    EXPECT_EQ(at(22, 304), DialogCanvas::kText);
    EXPECT_EQ(at(26, 270), DialogCanvas::kBoxFill);
    EXPECT_EQ(at(22, 274), DialogCanvas::kBoxFill);

    // After one Tab the dotted focus rectangle is on OK, three pixels inside
    // its bevel.
    EXPECT_EQ(at(258, 25), DialogCanvas::kFace);
    dialog.keyDown(DialogKey::Tab, false);
    canvas.paint(dialog, rgb);
    EXPECT_EQ(at(258, 25), DialogCanvas::kFrame);
    EXPECT_EQ(at(259, 25), DialogCanvas::kFace);
    EXPECT_EQ(at(260, 25), DialogCanvas::kFrame);

    // Held by the mouse, OK looks pressed: a flat shadow frame.
    dialog.mouseDown(291, 31);
    canvas.paint(dialog, rgb);
    EXPECT_EQ(at(255, 22), DialogCanvas::kShadow);
    GlyphSystem::setInstance(nullptr);

    // No face at all: the frames and boxes without text.
    NoFaceGlyphSystem none;
    GlyphSystem::setInstance(&none);
    DialogCanvas bare(configDialogTemplate());
    EXPECT_FALSE(bare.hasFont());
    Dialog plain(configDialogTemplate(), Recorder::procedure);
    bare.paint(plain, rgb);
    EXPECT_EQ(at(254, 21), DialogCanvas::kFrame);
    EXPECT_EQ(at(287, 31), DialogCanvas::kFace);
    EXPECT_EQ(at(17, 297), DialogCanvas::kShadow);
    GlyphSystem::setInstance(nullptr);
}

TEST(ConfigDialogCanvas, StatusTextInkWithFreeType) {
    DialogCanvas canvas(configDialogTemplate());
    ASSERT_TRUE(canvas.hasFont()) << "no Japanese face (fonts-ipafont-gothic)";
    Dialog dialog(configDialogTemplate(), Recorder::procedure);
    dialog.setItemText(kConfigStatusText, kOfflineStatusText);
    std::vector<std::uint8_t> rgb;
    canvas.paint(dialog, rgb);
    const PixelRect status = dialog.itemById(kConfigStatusText)->rect;
    int ink = 0, outside = 0;
    for (int y = status.y - 3; y < status.y + status.height + 3; ++y) {
        for (int x = status.x; x < status.x + status.width; ++x) {
            Rgb c = pixelAt(rgb, dialog.clientWidth(), x, y);
            if (c.r < 0x80) {
                if (status.contains(x, y)) ++ink;
                else ++outside;
            }
        }
    }
    EXPECT_GT(ink, 50);
    EXPECT_EQ(outside, 0);
}

namespace {
// Start-up's dialog step on the test backend, with a record and a network
// manager as WinMain has them.
class ConfigDialogRun : public ::testing::Test {
protected:
    void SetUp() override {
        DialogBackend::setInstance(&backend);
        g_systemInfo = new SystemInfo();
        fillRecord(*g_systemInfo);
        g_systemInfo->setDialog(1);
        g_networkManager = new NetworkManager(nullptr, 0);
    }
    void TearDown() override {
        DialogBackend::setInstance(nullptr);
        delete g_systemInfo;
        g_systemInfo = nullptr;
        delete g_networkManager;
        g_networkManager = nullptr;
    }
    LoggedTest log;
    TestDialogBackend backend;
};
}  // namespace

TEST_F(ConfigDialogRun, OkAppliesTheBoxes) {
    backend.script = {DialogInput::click(kConfigBoxFullScreen), DialogInput::click(kConfigBoxNoDialog),
                      DialogInput::click(IDOK)};
    EXPECT_TRUE(runStartupDialog());
    EXPECT_EQ(backend.shown, 1);
    EXPECT_EQ(backend.centred, 1);
    EXPECT_EQ(backend.focusAtStart, -1);
    EXPECT_EQ(backend.lastResult, IDOK);
    EXPECT_EQ(fieldsOf(*g_systemInfo), (RecordFields{640, 480, 0, 32, 1, 0, 1, 0, 1, 1}));
    EXPECT_TRUE(log.root().exists("nodialog.txt"));
    // What it showed when it opened: the record's boxes and the offline line.
    const auto& start = backend.itemsAtStart;
    auto itemText = [&](int id) {
        for (const auto& item : start)
            if (item.control.id == id) return item.text;
        return std::string();
    };
    EXPECT_EQ(itemText(kConfigStatusText), "オフライン状態です");
    EXPECT_TRUE(std::none_of(start.begin(), start.end(), [](const Dialog::Item& item) { return item.checked; }));
    EXPECT_NE(g_networkManager, nullptr);
}

TEST_F(ConfigDialogRun, CancelChangesNothingAndStopsTheNetwork) {
    const RecordFields before = fieldsOf(*g_systemInfo);
    const std::vector<std::vector<DialogInput>> scripts = {
        {DialogInput::click(kConfigBoxFullScreen), DialogInput::click(kConfigBoxNoDialog),
         DialogInput::keyPress(DialogKey::Escape)},
        {DialogInput::click(kConfigBoxOffline), DialogInput::click(IDCANCEL)},
        {DialogInput::close()},
    };
    for (const auto& script : scripts) {
        backend.script = script;
        if (!g_networkManager) g_networkManager = new NetworkManager(nullptr, 0);
        EXPECT_FALSE(runStartupDialog());
        EXPECT_EQ(backend.lastResult, IDCANCEL);
        EXPECT_EQ(fieldsOf(*g_systemInfo), before);
        EXPECT_FALSE(log.root().exists("nodialog.txt"));
        EXPECT_EQ(g_networkManager, nullptr);
    }
}

TEST_F(ConfigDialogRun, NoDialogGoesOnWithTheSettingsAsTheyAre) {
    const RecordFields before = fieldsOf(*g_systemInfo);
    backend.canShow = false;
    EXPECT_TRUE(runStartupDialog());
    EXPECT_EQ(fieldsOf(*g_systemInfo), before);
    EXPECT_TRUE(log.logContains("設定ダイアログを表示できませんでした"));
    EXPECT_NE(g_networkManager, nullptr);

    // No backend at all is the same.
    DialogBackend::setInstance(nullptr);
    EXPECT_TRUE(runStartupDialog());

    // No face for the font: one line, and the dialog still works. Without a
    // network manager the status reads offline.
    DialogBackend::setInstance(&backend);
    delete g_networkManager;
    g_networkManager = nullptr;
    backend.canShow = true;
    backend.faceFound = false;
    backend.script = {DialogInput::keyPress(DialogKey::Return)};
    EXPECT_TRUE(runStartupDialog());
    EXPECT_TRUE(log.logContains("設定ダイアログのフォントが見つかりません"));
    EXPECT_EQ(g_systemInfo->getWidth(), 640u);
    const auto status = std::find_if(backend.itemsAtStart.begin(), backend.itemsAtStart.end(),
                                     [](const Dialog::Item& item) { return item.control.id == kConfigStatusText; });
    ASSERT_NE(status, backend.itemsAtStart.end());
    EXPECT_EQ(status->text, "オフライン状態です");
}

namespace {
// WinMain up to its message loop with the dialog on, the settings file
// saying whether networking starts on, and the dialog's answer.
struct NetworkRun {
    int openings = 0;
    int droppedRequests = 0;
};
int droppedIn(const std::string& log) {
    int total = 0;
    const std::string key = "ネットワーク要求を破棄しました  Count:";
    for (std::size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1))
        total += std::atoi(log.c_str() + at + key.size());
    return total;
}
// Virtual time that also moves when read, so the start-up clock measurement
// ends at once.
class TickingClock : public FakeClock {
public:
    std::uint32_t timeGetTime() override {
        advance(1);
        return FakeClock::timeGetTime();
    }
};
int countOf(const std::string& log, const std::string& line) {
    int count = 0;
    for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
    return count;
}
}  // namespace

TEST(ConfigDialogStartup, NetworkingAfterTheDialog) {
    struct Case {
        const char* what;
        bool onlineBefore;
        bool tickOffline;  // toggles 1030 in the dialog
        int openings;
        int dropped;  // requests the refused connection drops: the opening's 79, plus request 6
    };
    const Case cases[] = {
        {"on, left on: one opening", true, false, 1, 79},
        {"on, turned off: request 6 after the opening", true, true, 1, 80},
        {"off, turned on: the opening once", false, true, 1, 79},
        {"off, left off: none", false, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempRoot root;
        TestWindow window;
        Window::setInstance(&window);
        RecordingBackend gfx;
        TickingClock clock;
        Clock::setInstance(&clock);
        net::ScriptedNet peer;  // refuses every connection
        net::Net::setInstance(&peer);
        TestDialogBackend dialogs;
        dialogs.script = {DialogInput::click(IDOK)};
        if (c.tickOffline) dialogs.script.insert(dialogs.script.begin(), DialogInput::click(kConfigBoxOffline));
        DialogBackend::setInstance(&dialogs);
        root.writeScripts({{"init.xml", "<gml><title>T</title><config><dialog>on</dialog></config></gml>"}});
        std::string settings(44, '\0');
        settings[0] = settings[4] = settings[8] = 5;
        settings[12] = 3;
        settings[16] = 1;
        settings[32] = c.onlineBefore ? 0 : 1;
        root.writeFile("data/gameconfig.dat", settings);

        window.postQuitMessage(0);
        EXPECT_EQ(WinMain(1), 0);
        EXPECT_EQ(dialogs.shown, 1);
        EXPECT_EQ(dialogs.lastOwner, &window);  // over the main window
        EXPECT_FALSE(dialogs.scriptRanOut);
        // The worker drops what the refused connection cannot send. Frames
        // poll it as the frame step does (with virtual time a wake-up can
        // come before the worker took the previous one) until its passes have
        // dropped everything, before the release stops it.
        std::string text;
        for (int i = 0; i < 500; ++i) {
            text = root.readFile("debug.txt");
            if (droppedIn(text) >= c.dropped) break;
            if (g_networkManager) g_networkManager->poll();
            SDL_Delay(10);
        }
        releaseAll();
        text = root.readFile("debug.txt");
        EXPECT_EQ(countOf(text, "ネットワーク接続を初期化します"), c.openings);
        EXPECT_EQ(droppedIn(text), c.dropped);
        DialogBackend::setInstance(nullptr);
        net::Net::setInstance(nullptr);
        Clock::setInstance(nullptr);
        Window::setInstance(nullptr);
    }
}

namespace {
void pushMouse(Uint32 type, int x, int y) {
    SDL_Event event{};
    event.type = type;
    event.button.windowID = 0;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
}
void pushKey(SDL_Keycode key, Uint32 windowId = 0) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = windowId;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}
void pushClose() {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = 0;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
}
}  // namespace

TEST(ConfigDialogSdl, HeadlessDialogDrivenByPushedEvents) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SdlDialogBackend backend;
    DialogBackend::setInstance(&backend);
    struct Case {
        const char* what;
        void (*push)();
        bool goesOn;
    };
    const Case cases[] = {
        {"click on 1028, then Return",
         [] {
             pushMouse(SDL_MOUSEBUTTONDOWN, 30, 303);
             pushMouse(SDL_MOUSEBUTTONUP, 30, 303);
             pushKey(SDLK_RETURN);
         },
         true},
        {"Escape (another window's Return ignored)",
         [] {
             pushMouse(SDL_MOUSEBUTTONDOWN, 30, 303);
             pushMouse(SDL_MOUSEBUTTONUP, 30, 303);
             pushKey(SDLK_RETURN, 9999);
             pushKey(SDLK_ESCAPE);
         },
         false},
        {"the close box", [] { pushClose(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoggedTest log;
        g_systemInfo = new SystemInfo();
        fillRecord(*g_systemInfo);
        g_systemInfo->setDialog(1);
        const RecordFields before = fieldsOf(*g_systemInfo);
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        c.push();
        backend.lastSurfaceWidth = backend.lastSurfaceHeight = 0;
        EXPECT_EQ(runStartupDialog(), c.goesOn);
        EXPECT_EQ(backend.lastSurfaceWidth, 341);
        EXPECT_EQ(backend.lastSurfaceHeight, 330);
        EXPECT_EQ(log.root().exists("nodialog.txt"), c.goesOn);
        if (c.goesOn) {
            EXPECT_EQ(fieldsOf(*g_systemInfo), (RecordFields{640, 480, 0, 32, 1, 1, 1, 0, 1, 1}));
        } else {
            EXPECT_EQ(fieldsOf(*g_systemInfo), before);
        }
        // The dialog's window is gone and none of its events is left queued.
        SDL_PumpEvents();
        EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_MOUSEBUTTONUP), 0);
        delete g_systemInfo;
        g_systemInfo = nullptr;
    }
    DialogBackend::setInstance(nullptr);
}

// Modal dialog boxes in the shape of the dialog manager calls the engine
// makes: a template (caption, font, size in dialog units, controls in
// template order), DialogBox with a dialog procedure that receives
// WM_INITDIALOG and WM_COMMAND, and the calls a procedure makes on its dialog
// (CheckDlgButton, IsDlgButtonChecked, SetDlgItemText, EndDialog, SetFocus).
//
// `Dialog` is the running dialog without any window: the controls' state and
// the rules by which keys and the mouse act on them, the same for every
// backend. Two backends: SDL2 (SdlDialogBackend, DialogSdl.cpp) and a
// scripted one for tests (TestDialogBackend).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Window;

constexpr std::uint32_t WM_INITDIALOG = 0x0110;
constexpr std::uint32_t WM_COMMAND = 0x0111;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

enum class DialogControlKind {
    DefaultPushButton,
    PushButton,
    AutoCheckBox,
    GroupBox,
    StaticText,
};

struct DialogControl {
    int id = -1;  // -1: no id (group boxes, labels)
    DialogControlKind kind = DialogControlKind::StaticText;
    std::string text;  // UTF-8
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

struct DialogTemplate {
    std::string caption;  // UTF-8
    std::string faceName;  // UTF-8
    int pointSize = 9;
    int width = 0, height = 0;  // dialog units
    std::vector<DialogControl> controls;  // template order = tab order
};

// Every control but group boxes and static text is a tab stop.
constexpr bool isTabStop(DialogControlKind kind) {
    return kind != DialogControlKind::GroupBox && kind != DialogControlKind::StaticText;
}
constexpr bool isPushButton(DialogControlKind kind) {
    return kind == DialogControlKind::DefaultPushButton || kind == DialogControlKind::PushButton;
}

// Dialog units to pixels with fixed base units 6 x 12 (a 9-point Gothic at
// 96 dpi), not measured from the font, so every machine lays the dialog out
// and hit-tests it alike. MulDiv rounding: halves away from zero.
int mulDiv(int number, int numerator, int denominator);
constexpr int kDialogBaseUnitX = 6;
constexpr int kDialogBaseUnitY = 12;
inline int dialogUnitsToPixelsX(int units) { return mulDiv(units, kDialogBaseUnitX, 4); }
inline int dialogUnitsToPixelsY(int units) { return mulDiv(units, kDialogBaseUnitY, 8); }

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

// The keys a dialog acts on; every other key is `Other` and ignored.
enum class DialogKey { Tab, Space, Return, Escape, Other };

class Dialog;
using DialogProcedure = std::intptr_t (*)(Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam);

// What a dialog asks of the window it is shown in.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    // Places the window at the centre of the desktop, top-most, and shows it.
    virtual void centre() = 0;
};

class Dialog {
public:
    struct Item {
        DialogControl control;
        PixelRect rect;  // client pixels
        std::string text;  // UTF-8, as set
        bool checked = false;
    };

    Dialog(const DialogTemplate& dialogTemplate, DialogProcedure procedure, DialogHost* host = nullptr);

    // The calls a dialog procedure makes.
    void checkButton(int id, int state);
    // Exactly 1 when the box is ticked, 0 otherwise (also for unknown ids).
    int isButtonChecked(int id) const;
    void setItemText(int id, const std::string& utf8);
    void centre();
    // The keyboard focus on the dialog itself: no control has it.
    void setFocusToDialog();
    void end(std::intptr_t result);

    // The backend's side: the procedure's first message, then input.
    void start();
    void keyDown(DialogKey key, bool shift);
    void mouseDown(int x, int y);
    void mouseMove(int x, int y);
    void mouseUp(int x, int y);
    // The window's close box, or a quit request: Cancel.
    void closeRequested();

    bool ended() const { return ended_; }
    std::intptr_t result() const { return result_; }

    const std::vector<Item>& items() const { return items_; }
    const Item* itemById(int id) const;
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }
    const std::string& caption() const { return caption_; }
    // Index into items() of the focused control; -1 for the dialog itself.
    int focusIndex() const { return focus_; }
    // Index of the push button drawn pressed (held by the mouse, pointer over
    // it); -1 when none.
    int pressedIndex() const { return pressedInside_ ? pressed_ : -1; }
    // Counts every change that alters the picture, so a backend redraws only
    // after one.
    std::uint64_t changeCount() const { return changes_; }

    // Set by the backend when no face was found for the template's font: the
    // dialog is drawn without text (the procedure may log it).
    void setTextUnavailable(bool unavailable) { textUnavailable_ = unavailable; }
    bool textUnavailable() const { return textUnavailable_; }

private:
    int indexOf(int id) const;
    int indexAt(int x, int y) const;
    bool takesInput(int index) const;
    // A click or key on a control: an automatic check box changes first, then
    // the procedure receives WM_COMMAND with the control's id.
    void activate(int index);
    void command(int id);
    void changed() { ++changes_; }

    std::vector<Item> items_;
    std::string caption_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    DialogProcedure procedure_;
    DialogHost* host_;
    int focus_ = -1;
    int pressed_ = -1;
    bool pressedInside_ = false;
    bool ended_ = false;
    std::intptr_t result_ = 0;
    bool textUnavailable_ = false;
    std::uint64_t changes_ = 0;
};

class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    // Runs the dialog modally; the value given to end(), or -1 when no dialog
    // can be shown.
    virtual std::intptr_t dialogBox(const DialogTemplate& dialogTemplate, Window* owner,
                                    DialogProcedure procedure) = 0;

    // Null until the program or a test installs one.
    static DialogBackend* instance();
    static void setInstance(DialogBackend* backend);
};

// DialogBox on the installed backend; -1 when none is installed.
std::intptr_t dialogBox(const DialogTemplate& dialogTemplate, Window* owner, DialogProcedure procedure);

// The dialog in an SDL window of its own: caption, close box, not resizable,
// always on top, centred on the desktop when the procedure calls centre().
// The canvas is copied to the window's surface (software, no OpenGL). The
// modal loop sleeps in SDL_WaitEvent, takes pointer positions and keys from
// the events themselves, and takes an event as its own when it names the
// dialog's window or no window (id 0), so events pushed by a test drive it; a
// quit request (SIGINT, SIGTERM) is Cancel. It redraws only after a change;
// the window is destroyed, and its queued events removed, before dialogBox
// returns.
class SdlDialogBackend : public DialogBackend {
public:
    std::intptr_t dialogBox(const DialogTemplate& dialogTemplate, Window* owner,
                            DialogProcedure procedure) override;

    // The size of the window surface the last dialog was drawn on.
    int lastSurfaceWidth = 0;
    int lastSurfaceHeight = 0;
    // The last picture shown (RGB), for tests and screenshots.
    std::vector<std::uint8_t> lastPicture;
};

// One step of a test backend's script.
struct DialogInput {
    enum Kind { Key, Press, Move, Release, Click, Close };
    Kind kind = Key;
    DialogKey key = DialogKey::Other;
    bool shift = false;
    int x = 0, y = 0;  // Press, Move, Release: client pixels
    int id = 0;        // Click: press and release at the centre of this control

    static DialogInput keyPress(DialogKey k, bool withShift = false) { return {Key, k, withShift, 0, 0, 0}; }
    static DialogInput press(int px, int py) { return {Press, DialogKey::Other, false, px, py, 0}; }
    static DialogInput move(int px, int py) { return {Move, DialogKey::Other, false, px, py, 0}; }
    static DialogInput release(int px, int py) { return {Release, DialogKey::Other, false, px, py, 0}; }
    static DialogInput click(int controlId) { return {Click, DialogKey::Other, false, 0, 0, controlId}; }
    static DialogInput close() { return {Close, DialogKey::Other, false, 0, 0, 0}; }
};

// Runs the procedure through the same rules with a script of clicks and keys
// and records what the dialog showed. A script that ends before the dialog
// does is closed (Cancel), so a test never hangs.
class TestDialogBackend : public DialogBackend, private DialogHost {
public:
    std::intptr_t dialogBox(const DialogTemplate& dialogTemplate, Window* owner,
                            DialogProcedure procedure) override;

    // The script and the backend's situation.
    std::vector<DialogInput> script;
    bool canShow = true;  // false: dialogBox answers -1 without a dialog
    bool faceFound = true;

    // What the last dialog showed.
    int shown = 0;
    int centred = 0;
    Window* lastOwner = nullptr;
    std::vector<Dialog::Item> itemsAtStart;  // right after WM_INITDIALOG
    std::vector<Dialog::Item> itemsAtEnd;
    int focusAtStart = -2;
    std::intptr_t lastResult = 0;
    bool scriptRanOut = false;

private:
    void centre() override { ++centred; }
};

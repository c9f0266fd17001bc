#include "platform/Dialog.h"

#include <atomic>
#include <cstdlib>

int mulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long divisor = denominator;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    // Halves away from zero.
    long long magnitude = (2 * std::llabs(product) + divisor) / (2 * divisor);
    return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

Dialog::Dialog(const DialogTemplate& dialogTemplate, DialogProcedure procedure, DialogHost* host)
    : caption_(dialogTemplate.caption),
      clientWidth_(dialogUnitsToPixelsX(dialogTemplate.width)),
      clientHeight_(dialogUnitsToPixelsY(dialogTemplate.height)),
      procedure_(procedure),
      host_(host) {
    items_.reserve(dialogTemplate.controls.size());
    for (const DialogControl& control : dialogTemplate.controls) {
        Item item;
        item.control = control;
        item.text = control.text;
        item.rect = {dialogUnitsToPixelsX(control.x), dialogUnitsToPixelsY(control.y),
                     dialogUnitsToPixelsX(control.width), dialogUnitsToPixelsY(control.height)};
        items_.push_back(std::move(item));
    }
}

int Dialog::indexOf(int id) const {
    if (id < 0) return -1;
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].control.id == id) return static_cast<int>(i);
    return -1;
}

const Dialog::Item* Dialog::itemById(int id) const {
    int index = indexOf(id);
    return index < 0 ? nullptr : &items_[static_cast<std::size_t>(index)];
}

// The topmost control under the point that takes input; group boxes and
// static text never do (a box under a group box's frame is still found).
int Dialog::indexAt(int x, int y) const {
    for (std::size_t i = items_.size(); i-- > 0;) {
        if (takesInput(static_cast<int>(i)) && items_[i].rect.contains(x, y)) return static_cast<int>(i);
    }
    return -1;
}

bool Dialog::takesInput(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < items_.size() &&
           isTabStop(items_[static_cast<std::size_t>(index)].control.kind);
}

void Dialog::checkButton(int id, int state) {
    int index = indexOf(id);
    if (index < 0) return;
    Item& item = items_[static_cast<std::size_t>(index)];
    if (item.control.kind != DialogControlKind::AutoCheckBox) return;
    bool checked = state == BST_CHECKED;
    if (item.checked != checked) {
        item.checked = checked;
        changed();
    }
}

int Dialog::isButtonChecked(int id) const {
    const Item* item = itemById(id);
    return item && item->checked ? BST_CHECKED : BST_UNCHECKED;
}

void Dialog::setItemText(int id, const std::string& utf8) {
    int index = indexOf(id);
    if (index < 0) return;
    items_[static_cast<std::size_t>(index)].text = utf8;
    changed();
}

void Dialog::centre() {
    if (host_) host_->centre();
}

void Dialog::setFocusToDialog() {
    if (focus_ != -1) changed();
    focus_ = -1;
}

void Dialog::end(std::intptr_t result) {
    ended_ = true;
    result_ = result;
}

void Dialog::start() {
    if (procedure_) procedure_(*this, WM_INITDIALOG, 0, 0);
    changed();
}

void Dialog::command(int id) {
    if (ended_ || !procedure_) return;
    // BN_CLICKED (0) in the high word, the control's id in the low word.
    procedure_(*this, WM_COMMAND, static_cast<std::uintptr_t>(id) & 0xFFFF, 0);
}

void Dialog::activate(int index) {
    Item& item = items_[static_cast<std::size_t>(index)];
    if (item.control.kind == DialogControlKind::AutoCheckBox) {
        item.checked = !item.checked;
        changed();
    }
    command(item.control.id);
}

void Dialog::keyDown(DialogKey key, bool shift) {
    if (ended_) return;
    const int count = static_cast<int>(items_.size());
    switch (key) {
        case DialogKey::Tab: {
            // Through the tab stops in template order, wrapping; from the
            // dialog itself to the first (or, backwards, the last).
            int start = focus_;
            for (int step = 1; step <= count; ++step) {
                int next;
                if (start < 0) {
                    next = shift ? count - step : step - 1;
                } else {
                    next = ((start + (shift ? -step : step)) % count + count) % count;
                }
                if (takesInput(next)) {
                    if (next != focus_) changed();
                    focus_ = next;
                    return;
                }
            }
            return;
        }
        case DialogKey::Space:
            if (takesInput(focus_)) activate(focus_);
            return;
        case DialogKey::Return: {
            if (takesInput(focus_) && isPushButton(items_[static_cast<std::size_t>(focus_)].control.kind)) {
                command(items_[static_cast<std::size_t>(focus_)].control.id);
                return;
            }
            // The default push button; without one, IDOK as the dialog
            // manager sends it.
            for (const Item& item : items_) {
                if (item.control.kind == DialogControlKind::DefaultPushButton) {
                    command(item.control.id);
                    return;
                }
            }
            command(IDOK);
            return;
        }
        case DialogKey::Escape:
            command(IDCANCEL);
            return;
        case DialogKey::Other:
            return;
    }
}

void Dialog::mouseDown(int x, int y) {
    if (ended_) return;
    int index = indexAt(x, y);
    if (index < 0) return;
    pressed_ = index;
    pressedInside_ = true;
    focus_ = index;  // a clicked control takes the focus
    changed();
}

void Dialog::mouseMove(int x, int y) {
    if (ended_ || pressed_ < 0) return;
    bool inside = items_[static_cast<std::size_t>(pressed_)].rect.contains(x, y);
    if (inside != pressedInside_) {
        pressedInside_ = inside;
        changed();
    }
}

void Dialog::mouseUp(int x, int y) {
    if (ended_ || pressed_ < 0) return;
    int index = pressed_;
    pressed_ = -1;
    pressedInside_ = false;
    changed();
    // Only a release over the control that was pressed acts.
    if (items_[static_cast<std::size_t>(index)].rect.contains(x, y)) activate(index);
}

void Dialog::closeRequested() {
    if (ended_) return;
    command(IDCANCEL);
}

// ------------------------------------------------------------ the backends

namespace {
std::atomic<DialogBackend*> g_dialogBackend{nullptr};
}

DialogBackend* DialogBackend::instance() { return g_dialogBackend.load(); }

void DialogBackend::setInstance(DialogBackend* backend) { g_dialogBackend.store(backend); }

std::intptr_t dialogBox(const DialogTemplate& dialogTemplate, Window* owner, DialogProcedure procedure) {
    DialogBackend* backend = DialogBackend::instance();
    if (!backend) return -1;
    return backend->dialogBox(dialogTemplate, owner, procedure);
}

std::intptr_t TestDialogBackend::dialogBox(const DialogTemplate& dialogTemplate, Window* owner,
                                           DialogProcedure procedure) {
    lastOwner = owner;
    if (!canShow) return -1;
    ++shown;
    scriptRanOut = false;
    Dialog dialog(dialogTemplate, procedure, this);
    dialog.setTextUnavailable(!faceFound);
    dialog.start();
    itemsAtStart = dialog.items();
    focusAtStart = dialog.focusIndex();
    for (const DialogInput& input : script) {
        if (dialog.ended()) break;
        switch (input.kind) {
            case DialogInput::Key: dialog.keyDown(input.key, input.shift); break;
            case DialogInput::Press: dialog.mouseDown(input.x, input.y); break;
            case DialogInput::Move: dialog.mouseMove(input.x, input.y); break;
            case DialogInput::Release: dialog.mouseUp(input.x, input.y); break;
            case DialogInput::Close: dialog.closeRequested(); break;
            case DialogInput::Click: {
                const Dialog::Item* item = dialog.itemById(input.id);
                if (!item) break;
                int cx = item->rect.x + item->rect.width / 2;
                int cy = item->rect.y + item->rect.height / 2;
                dialog.mouseDown(cx, cy);
                dialog.mouseUp(cx, cy);
                break;
            }
        }
    }
    if (!dialog.ended()) {
        scriptRanOut = true;
        dialog.closeRequested();
    }
    itemsAtEnd = dialog.items();
    // A procedure that ignored Cancel still ends here.
    lastResult = dialog.ended() ? dialog.result() : IDCANCEL;
    return lastResult;
}

#include "platform/Input.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/InputKeyTable.h"
#include "platform/Window.h"

namespace {
std::atomic<Input*> g_input{nullptr};

constexpr std::uint8_t kDown = 0x80;
constexpr int kJoystickButtons = 32;
}  // namespace

Input* Input::instance() { return g_input.load(std::memory_order_acquire); }

void Input::setInstance(Input* input) { g_input.store(input, std::memory_order_release); }

// ---------------------------------------------------------------- SDL backend

// A controller of the start-up list and the SDL joystick that stands for it
// now (null while it is unplugged).
struct SdlInput::Opened {
    SDL_Joystick* joystick = nullptr;
};

SdlInput::SdlInput() = default;

SdlInput::~SdlInput() {
    closeAll();
    if (joystickStarted_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void SdlInput::closeAll() {
    for (Opened* opened : opened_) {
        if (opened->joystick) SDL_JoystickClose(opened->joystick);
        delete opened;
    }
    opened_.clear();
    list_.clear();
}

std::int32_t SdlInput::scaleAxis(std::int32_t raw) {
    std::int32_t scaled = raw * kJoystickAxisRange / 32767;
    return std::clamp(scaled, -kJoystickAxisRange, kJoystickAxisRange);
}

namespace {
std::string guidText(SDL_JoystickGUID guid) {
    char text[33];
    SDL_JoystickGetGUIDString(guid, text, sizeof text);
    return text;
}
}  // namespace

bool SdlInput::start() {
    closeAll();
    // DirectInput's background level: the controllers answer whichever
    // window has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (!joystickStarted_) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
        joystickStarted_ = true;
    }
    const int count = SDL_NumJoysticks();
    for (int device = 0; device < count; ++device) {
        SDL_Joystick* joystick = SDL_JoystickOpen(device);
        if (!joystick) continue;
        const char* name = SDL_JoystickName(joystick);
        list_.push_back({name ? name : "", guidText(SDL_JoystickGetGUID(joystick))});
        opened_.push_back(new Opened{joystick});
    }
    return true;
}

bool SdlInput::keyboardFocused() const {
    Window* window = Window::instance();
    SDL_Window* ours = window ? static_cast<SDL_Window*>(window->nativeHandle()) : nullptr;
    return ours != nullptr && SDL_GetKeyboardFocus() == ours;
}

HRESULT SdlInput::readKeyboard(std::uint8_t* state) {
    std::memset(state, 0, kKeyboardStateSize);
    // DirectInput's keyboard is foreground-only: losing the focus unacquires
    // it until it is acquired again.
    if (!keyboardFocused()) keyboardAcquired_ = false;
    if (!keyboardAcquired_) return DIERR_NOTACQUIRED;
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    for (const InputKeyMapping& mapping : inputKeyTable()) {
        if (mapping.scancode < count && keys[mapping.scancode]) state[mapping.dik] = kDown;
    }
    return DI_OK;
}

HRESULT SdlInput::acquireKeyboard() {
    // Another window has the keyboard: DirectInput's "other application has
    // priority", which is E_ACCESSDENIED.
    keyboardAcquired_ = keyboardFocused();
    return keyboardAcquired_ ? DI_OK : E_ACCESSDENIED;
}

void SdlInput::pollController(std::size_t) {
    if (joystickStarted_) SDL_JoystickUpdate();
}

HRESULT SdlInput::readController(std::size_t index, DIJOYSTATE& state) {
    state = DIJOYSTATE{};
    if (index >= opened_.size()) return DIERR_INPUTLOST;
    Opened& opened = *opened_[index];
    if (opened.joystick && !SDL_JoystickGetAttached(opened.joystick)) {
        SDL_JoystickClose(opened.joystick);
        opened.joystick = nullptr;
    }
    if (!opened.joystick) return DIERR_INPUTLOST;
    SDL_Joystick* joystick = opened.joystick;
    const int axes = SDL_JoystickNumAxes(joystick);
    if (axes > 0) state.lX = scaleAxis(SDL_JoystickGetAxis(joystick, 0));
    if (axes > 1) state.lY = scaleAxis(SDL_JoystickGetAxis(joystick, 1));
    const int buttons = std::min(SDL_JoystickNumButtons(joystick), kJoystickButtons);
    for (int button = 0; button < buttons; ++button) {
        if (SDL_JoystickGetButton(joystick, button)) state.rgbButtons[button] = kDown;
    }
    return DI_OK;
}

HRESULT SdlInput::acquireController(std::size_t index) {
    if (index >= opened_.size()) return DIERR_INPUTLOST;
    Opened& opened = *opened_[index];
    if (opened.joystick) return SDL_JoystickGetAttached(opened.joystick) ? DI_OK : DIERR_INPUTLOST;
    // A controller of the same id and name that is attached now and not
    // already standing for another entry of the list takes the entry again.
    const ControllerInfo& info = list_[index];
    const int count = SDL_NumJoysticks();
    for (int device = 0; device < count; ++device) {
        if (guidText(SDL_JoystickGetDeviceGUID(device)) != info.id) continue;
        const char* name = SDL_JoystickNameForIndex(device);
        if (info.name != (name ? name : "")) continue;
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(device);
        bool taken = std::any_of(opened_.begin(), opened_.end(), [&](const Opened* other) {
            return other->joystick && SDL_JoystickInstanceID(other->joystick) == instance;
        });
        if (taken) continue;
        opened.joystick = SDL_JoystickOpen(device);
        if (opened.joystick) return DI_OK;
    }
    return DIERR_INPUTLOST;
}

// ---------------------------------------------------------------- scripted backend

bool ScriptedInput::start() {
    live_.clear();
    list_.clear();
    if (startFails_) return false;
    for (const Controller& controller : pending_) {
        if (!controller.attached) continue;
        live_.push_back(controller);
        list_.push_back(controller.info);
    }
    return true;
}

HRESULT ScriptedInput::readKeyboard(std::uint8_t* state) {
    ++keyboardReads_;
    std::memset(state, 0, kKeyboardStateSize);
    if (failCount_ > 0) {
        --failCount_;
        return failCode_;
    }
    if (!focused_) return DIERR_NOTACQUIRED;
    std::memcpy(state, keys_, kKeyboardStateSize);
    return DI_OK;
}

HRESULT ScriptedInput::acquireKeyboard() {
    ++acquires_;
    return focused_ ? DI_OK : E_ACCESSDENIED;
}

HRESULT ScriptedInput::readController(std::size_t index, DIJOYSTATE& state) {
    state = DIJOYSTATE{};
    if (index >= live_.size() || !live_[index].attached) return DIERR_INPUTLOST;
    state = live_[index].state;
    return DI_OK;
}

HRESULT ScriptedInput::acquireController(std::size_t index) {
    return index < live_.size() && live_[index].attached ? DI_OK : DIERR_INPUTLOST;
}

void ScriptedInput::addController(const std::string& name, const std::string& id) {
    pending_.push_back({{name, id}, DIJOYSTATE{}, true});
}

void ScriptedInput::setKey(int dik, bool down) {
    if (dik >= 0 && dik < static_cast<int>(kKeyboardStateSize)) keys_[dik] = down ? kDown : 0;
}

void ScriptedInput::releaseAllKeys() { std::memset(keys_, 0, sizeof keys_); }

void ScriptedInput::failKeyboardReads(HRESULT code, int count) {
    failCode_ = code;
    failCount_ = count;
}

void ScriptedInput::setAxes(std::size_t index, std::int32_t x, std::int32_t y) {
    if (index >= live_.size()) return;
    live_[index].state.lX = x;
    live_[index].state.lY = y;
}

void ScriptedInput::setButton(std::size_t index, int button, bool down) {
    if (index >= live_.size() || button < 0 || button >= kJoystickButtons) return;
    live_[index].state.rgbButtons[button] = down ? kDown : 0;
}

void ScriptedInput::unplug(std::size_t index) {
    if (index < live_.size()) live_[index].attached = false;
}

void ScriptedInput::plugIn(std::size_t index) {
    if (index >= live_.size()) return;
    // A controller plugged in again starts released.
    live_[index].attached = true;
    live_[index].state = DIJOYSTATE{};
}

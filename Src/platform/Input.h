// Keyboard and game controllers in the shape DirectInput gives them to the
// engine: the keyboard as 256 bytes indexed by DirectInput scan code (DIK,
// 0x80 = down), each controller as the standard 80-byte joystick state with
// X and Y in -1000..1000 and 32 button bytes. Reads report DIERR_NOTACQUIRED
// or DIERR_INPUTLOST the way DirectInput does, and the caller acquires again.
// Two backends: SDL2 (SdlInput) and a scripted one for tests (ScriptedInput).
// The process installs one with Input::setInstance.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/HResult.h"

constexpr std::size_t kKeyboardStateSize = 256;
constexpr std::int32_t kJoystickAxisRange = 1000;

// DirectInput's standard joystick state (DIJOYSTATE): 80 bytes.
struct DIJOYSTATE {
    std::int32_t lX = 0, lY = 0, lZ = 0;
    std::int32_t lRx = 0, lRy = 0, lRz = 0;
    std::int32_t rglSlider[2] = {0, 0};
    std::uint32_t rgdwPOV[4] = {0, 0, 0, 0};
    std::uint8_t rgbButtons[32] = {};
};
static_assert(sizeof(DIJOYSTATE) == 80);

// One controller of the start-up list: its name (the device's instance name)
// and an id that stays the same when the same controller is plugged in again.
struct ControllerInfo {
    std::string name;
    std::string id;
};

class Input {
public:
    virtual ~Input() = default;

    // Starts the controller side and lists the controllers present now. False
    // when the controller subsystem could not start (the keyboard still works
    // and the list is empty).
    virtual bool start() = 0;
    // The controllers found by start(), in the backend's order. Controllers
    // attached later are not added.
    virtual const std::vector<ControllerInfo>& controllers() const = 0;

    // Fills 256 bytes by scan code. On failure the bytes are all 0 and the
    // result is DIERR_NOTACQUIRED (the window lacks the keyboard focus) or
    // DIERR_INPUTLOST.
    virtual HRESULT readKeyboard(std::uint8_t* state) = 0;
    // Asks for the keyboard again after a failed read.
    virtual HRESULT acquireKeyboard() = 0;

    // Brings controller state up to date (DirectInput's Poll).
    virtual void pollController(std::size_t index) = 0;
    // Reads one controller of the list. A controller that is unplugged reads
    // as DIERR_INPUTLOST with the state all zero.
    virtual HRESULT readController(std::size_t index, DIJOYSTATE& state) = 0;
    // Acquires the controller again: reopens it when it has come back.
    virtual HRESULT acquireController(std::size_t index) = 0;

    // The process's input backend; null when none was installed.
    static Input* instance();
    static void setInstance(Input* input);
};

// SDL2: the keyboard state of SDL_GetKeyboardState mapped through the key
// table, readable only while the main window has the keyboard focus; raw SDL
// joysticks (not the game-controller remapping) read in the background.
class SdlInput : public Input {
public:
    SdlInput();
    ~SdlInput() override;

    bool start() override;
    const std::vector<ControllerInfo>& controllers() const override { return list_; }
    HRESULT readKeyboard(std::uint8_t* state) override;
    HRESULT acquireKeyboard() override;
    void pollController(std::size_t index) override;
    HRESULT readController(std::size_t index, DIJOYSTATE& state) override;
    HRESULT acquireController(std::size_t index) override;

    // Scales a raw SDL axis value (-32768..32767) to -1000..1000, toward zero.
    static std::int32_t scaleAxis(std::int32_t raw);

private:
    struct Opened;
    bool keyboardFocused() const;
    void closeAll();

    std::vector<ControllerInfo> list_;
    std::vector<Opened*> opened_;
    bool joystickStarted_ = false;
    bool keyboardAcquired_ = true;
};

// Scripted states for tests: the keyboard and each controller hold what the
// test set until it changes them; reads can be made to fail; controllers can
// be unplugged and plugged in again.
class ScriptedInput : public Input {
public:
    struct Controller {
        ControllerInfo info;
        DIJOYSTATE state;
        bool attached = true;
    };

    bool start() override;
    const std::vector<ControllerInfo>& controllers() const override { return list_; }
    HRESULT readKeyboard(std::uint8_t* state) override;
    HRESULT acquireKeyboard() override;
    void pollController(std::size_t) override {}
    HRESULT readController(std::size_t index, DIJOYSTATE& state) override;
    HRESULT acquireController(std::size_t index) override;

    // Set-up before start(): a controller present at start-up.
    void addController(const std::string& name, const std::string& id);
    // Makes start() report that the controller subsystem failed.
    void failStart() { startFails_ = true; }

    // Keyboard, by scan code.
    void setKey(int dik, bool down);
    void releaseAllKeys();
    // The next `count` keyboard reads fail with `code` (acquiring does not help).
    void failKeyboardReads(HRESULT code, int count);
    // The keyboard focus: without it every read reports not acquired.
    void setKeyboardFocus(bool focused) { focused_ = focused; }

    // Controllers, by their index in the start-up list.
    void setAxes(std::size_t index, std::int32_t x, std::int32_t y);
    void setButton(std::size_t index, int button, bool down);
    void unplug(std::size_t index);
    void plugIn(std::size_t index);

    int keyboardReads() const { return keyboardReads_; }
    int acquires() const { return acquires_; }

private:
    std::vector<Controller> pending_;
    std::vector<Controller> live_;
    std::vector<ControllerInfo> list_;
    std::uint8_t keys_[kKeyboardStateSize] = {};
    HRESULT failCode_ = DI_OK;
    int failCount_ = 0;
    bool focused_ = true;
    bool startFails_ = false;
    int keyboardReads_ = 0;
    int acquires_ = 0;
};

// The keyboard: 256 bytes by DirectInput scan code, bit 7 = down, and the
// live and play histories of 16 such states.
#pragma once
#include <cstdint>

#include "input/DInputDevice.h"
#include "input/VirtualButton.h"

// DirectInput scan codes the engine names.
enum DikCode : std::int32_t {
    kDikEscape = 1,
    kDikReturn = 28,
    kDikLeftControl = 29,
    kDikA = 30,
    kDikS = 31,
    kDikD = 32,
    kDikF = 33,
    kDikLeftShift = 42,
    kDikZ = 44,
    kDikX = 45,
    kDikC = 46,
    kDikV = 47,
    kDikRightShift = 54,
    kDikSpace = 57,
    kDikNumpadEnter = 156,
    kDikRightControl = 157,
    kDikUp = 200,
    kDikLeft = 203,
    kDikRight = 205,
    kDikDown = 208,
};

class DInputDeviceKeyboard : public DInputDevice {
public:
    using KeyState = std::uint8_t[kKeyboardStateSize];

    HRESULT create(Input* input, const ControllerInfo* controller) override;
    // Result 0 when the read succeeded, 1 when it failed (all keys up).
    std::int32_t pollFrame() override;
    std::int32_t poll() override;
    std::int32_t getButtonHistory(std::int32_t button) override;
    std::int32_t getButtonHistoryFrame(std::int32_t button) override;
    std::int32_t getKeyHistory(std::int32_t key) override;
    std::int32_t getKeyHistoryFrame(std::int32_t key) override;
    std::int32_t getKeyHistoryEx(std::int32_t key, std::int32_t flag) override;
    std::int32_t getKeyHistoryExFrame(std::int32_t key, std::int32_t flag) override;
    void clearState() override;

private:
    // Reads the device into the current state; 0 on success, 1 on failure.
    std::int32_t readState();
    void applyDebugKeys();
    std::int32_t buttonMask(const KeyState* history, std::int32_t button) const;
    std::int32_t keyMask(const KeyState* history, std::int32_t key) const;

    KeyState state_ = {};
    KeyState live_[kHistoryLength] = {};
    KeyState play_[kHistoryLength] = {};
};

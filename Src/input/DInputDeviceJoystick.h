// One game controller: the standard 80-byte joystick state (X and Y in
// -1000..1000, 32 buttons) and its live and play histories. Virtual numbers
// 100-103 are the axis tests against the threshold, 0-31 the buttons; the
// point-of-view hats are not read.
#pragma once
#include <cstdint>

#include "input/DInputDevice.h"
#include "input/VirtualButton.h"

class DInputDeviceJoystick : public DInputDevice {
public:
    HRESULT create(Input* input, const ControllerInfo* controller) override;
    // Creates the device for entry `controllerIndex` of the platform's list.
    HRESULT createAt(Input* input, std::size_t controllerIndex);
    std::int32_t pollFrame() override;
    std::int32_t poll() override;
    std::int32_t getButtonHistory(std::int32_t button) override;
    std::int32_t getButtonHistoryFrame(std::int32_t button) override;
    std::int32_t getKeyHistory(std::int32_t) override { return 0; }
    void clearState() override;

private:
    void readState();
    std::int32_t buttonMask(const DIJOYSTATE* history, std::int32_t button) const;

    DIJOYSTATE state_{};
    DIJOYSTATE live_[kHistoryLength]{};
    DIJOYSTATE play_[kHistoryLength]{};
};

#include "input/DInputDeviceJoystick.h"

#include <algorithm>

namespace {
constexpr std::uint8_t kDown = 0x80;
constexpr std::int32_t kButtons = 32;

void pushHistory(DIJOYSTATE* history, const DIJOYSTATE& state) {
    std::copy_backward(history, history + kHistoryLength - 1, history + kHistoryLength);
    history[0] = state;
}
}  // namespace

HRESULT DInputDeviceJoystick::create(Input* input, const ControllerInfo* controller) {
    if (!input || !controller) return E_POINTER;
    const std::vector<ControllerInfo>& list = input->controllers();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (&list[i] == controller) return createAt(input, i);
    }
    return E_INVALIDARG;
}

HRESULT DInputDeviceJoystick::createAt(Input* input, std::size_t controllerIndex) {
    input_ = input;
    device_ = static_cast<std::int64_t>(controllerIndex);
    if (input_ && controllerIndex < input_->controllers().size()) {
        name_ = input_->controllers()[controllerIndex].name;
        input_->acquireController(controllerIndex);
    }
    threshold_ = kDefaultThreshold;
    clearState();
    return DI_OK;
}

void DInputDeviceJoystick::readState() {
    state_ = DIJOYSTATE{};
    if (!input_ || device_ < 0) return;
    const std::size_t device = static_cast<std::size_t>(device_);
    input_->pollController(device);
    HRESULT result = input_->readController(device, state_);
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        // Acquire again (a controller plugged back in is reopened) and retry once.
        input_->acquireController(device);
        result = input_->readController(device, state_);
    }
    if (FAILED(result)) state_ = DIJOYSTATE{};
}

std::int32_t DInputDeviceJoystick::pollFrame() {
    readState();
    pushHistory(live_, state_);
    pushHistory(play_, state_);
    return 0;
}

std::int32_t DInputDeviceJoystick::poll() {
    readState();
    pushHistory(live_, state_);
    return 0;
}

std::int32_t DInputDeviceJoystick::buttonMask(const DIJOYSTATE* history, std::int32_t button) const {
    const std::int32_t t = threshold_;
    switch (button) {
        case kButtonUp: return historyMask([&](int e) { return history[e].lY <= -t; });
        case kButtonDown: return historyMask([&](int e) { return history[e].lY >= t; });
        case kButtonLeft: return historyMask([&](int e) { return history[e].lX <= -t; });
        case kButtonRight: return historyMask([&](int e) { return history[e].lX >= t; });
        default: break;
    }
    // Button numbers outside 0..31 (negative ones too) are no button.
    if (button < 0 || button >= kButtons) return 0;
    return historyMask([&](int e) { return (history[e].rgbButtons[button] & kDown) != 0; });
}

std::int32_t DInputDeviceJoystick::getButtonHistory(std::int32_t button) { return buttonMask(live_, button); }

std::int32_t DInputDeviceJoystick::getButtonHistoryFrame(std::int32_t button) { return buttonMask(play_, button); }

void DInputDeviceJoystick::clearState() {
    state_ = DIJOYSTATE{};
    std::fill(std::begin(live_), std::end(live_), DIJOYSTATE{});
    std::fill(std::begin(play_), std::end(play_), DIJOYSTATE{});
}

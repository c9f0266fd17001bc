// The base of every input device: the keyboard, each joystick, and the replay
// writer and reader that stand in for hardware while a play is recorded or
// played back. Every answer is a 16-bit mask over the last 16 polls (bit 0 the
// newest). The live history moves on with every poll, the play history only
// with frame polls, so it stands still while the game is paused.
#pragma once
#include <cstdint>
#include <string>

#include "platform/HResult.h"
#include "platform/Input.h"

class DInputDevice {
public:
    static constexpr std::int32_t kDefaultThreshold = 500;

    virtual ~DInputDevice() = default;
    // Opens the device; `controller` describes the joystick to open (null for
    // the other kinds).
    virtual HRESULT create(Input* input, const ControllerInfo* controller) = 0;
    // The poll at the start of an unpaused frame: both histories move on.
    virtual std::int32_t pollFrame() = 0;
    // The poll while the game is paused: the live history only.
    virtual std::int32_t poll() = 0;
    virtual std::int32_t getButtonHistory(std::int32_t button) = 0;
    virtual std::int32_t getButtonHistoryFrame(std::int32_t button) = 0;
    virtual std::int32_t getKeyHistory(std::int32_t key) = 0;
    virtual std::int32_t getKeyHistoryFrame(std::int32_t) { return 0; }
    virtual std::int32_t getKeyHistoryEx(std::int32_t, std::int32_t) { return 0; }
    virtual std::int32_t getKeyHistoryExFrame(std::int32_t, std::int32_t) { return 0; }
    // Forgets the current state and both histories.
    virtual void clearState() {}

    std::int32_t getIndex() const { return index_; }
    void setIndex(std::int32_t index) { index_ = index; }
    const std::string& getName() const { return name_; }
    std::int32_t getThreshold() const { return threshold_; }

protected:
    Input* input_ = nullptr;
    // The platform's controller number standing for DirectInput's device
    // interface (-1 where there is none).
    std::int64_t device_ = -1;
    std::int32_t index_ = 0;
    std::string name_;
    std::int32_t threshold_ = kDefaultThreshold;
};

#include "input/DInputDeviceKeyboard.h"

#include <cstring>
#include <initializer_list>

#include "records/GameInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
constexpr std::uint8_t kDown = 0x80;

// Moves entries 0..14 to 1..15 and writes the new state into entry 0.
void pushHistory(DInputDeviceKeyboard::KeyState* history, const DInputDeviceKeyboard::KeyState& state) {
    std::memmove(history[1], history[0], sizeof(history[0]) * (kHistoryLength - 1));
    std::memcpy(history[0], state, sizeof(history[0]));
}

// The keys of each virtual button's fixed set (up to four; 0 ends a set).
struct FixedSet {
    std::int32_t button;
    std::uint8_t keys[4];
};
constexpr FixedSet kFixedSets[] = {
    {0, {kDikSpace, kDikReturn, kDikNumpadEnter, kDikZ}},
    {1, {kDikX}},
    {2, {kDikC}},
    {3, {kDikLeftControl, kDikRightControl}},
    {4, {kDikV}},
    {5, {kDikEscape}},
    {100, {kDikUp}},
    {101, {kDikDown}},
    {102, {kDikLeft}},
    {103, {kDikRight}},
};

// The second key that also counts for a code: main-row digits 1..9, 0 count
// their numeric-pad keys, left Shift and left Control their right-hand keys.
// Only this direction merges. 0 for none.
std::int32_t mergedKey(std::int32_t key) {
    static constexpr std::uint8_t kNumpadOfDigitRow[] = {79, 80, 81, 75, 76, 77, 71, 72, 73, 82};
    if (key >= 2 && key <= 11) return kNumpadOfDigitRow[key - 2];
    if (key == kDikLeftShift) return kDikRightShift;
    if (key == kDikLeftControl) return kDikRightControl;
    return 0;
}
}  // namespace

HRESULT DInputDeviceKeyboard::create(Input* input, const ControllerInfo*) {
    input_ = input;
    name_ = "keyboard";
    if (input_) input_->acquireKeyboard();
    clearState();
    return DI_OK;
}

std::int32_t DInputDeviceKeyboard::readState() {
    std::memset(state_, 0, sizeof state_);
    if (!input_) return 1;
    HRESULT result = input_->readKeyboard(state_);
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
        // The data format needs no setting again here; acquire and retry once.
        input_->acquireKeyboard();
        result = input_->readKeyboard(state_);
    }
    if (FAILED(result)) {
        std::memset(state_, 0, sizeof state_);
        return 1;
    }
    return 0;
}

std::int32_t DInputDeviceKeyboard::pollFrame() {
    const std::int32_t result = readState();
    pushHistory(live_, state_);
    pushHistory(play_, state_);
    applyDebugKeys();
    return result;
}

std::int32_t DInputDeviceKeyboard::poll() {
    const std::int32_t result = readState();
    pushHistory(live_, state_);
    return result;
}

// With the debug switch on: A/S move the prate, D/F the vorly rate, every
// frame the key is held.
void DInputDeviceKeyboard::applyDebugKeys() {
    if (!g_systemInfo || !g_systemInfo->getFlagDebug() || !g_gameInfo) return;
    const KeyState& now = play_[0];
    if (now[kDikA] & kDown) {
        g_gameInfo->addPrate(-1000);
    } else if (now[kDikS] & kDown) {
        g_gameInfo->addPrate(1000);
    }
    if (now[kDikD] & kDown) {
        g_gameInfo->shiftVorlyRateDown();
    } else if (now[kDikF] & kDown) {
        g_gameInfo->shiftVorlyRateUp();
    }
}

std::int32_t DInputDeviceKeyboard::buttonMask(const KeyState* history, std::int32_t button) const {
    for (const FixedSet& set : kFixedSets) {
        if (set.button != button) continue;
        return historyMask([&](int entry) {
            for (std::uint8_t key : set.keys) {
                if (key != 0 && (history[entry][key] & kDown)) return true;
            }
            return false;
        });
    }
    return 0;
}

std::int32_t DInputDeviceKeyboard::keyMask(const KeyState* history, std::int32_t key) const {
    // Codes are clipped to 255 from above; a negative code is no key.
    if (key < 0) return 0;
    if (key > 255) key = 255;
    const std::int32_t other = mergedKey(key);
    return historyMask([&](int entry) {
        return (history[entry][key] & kDown) || (other != 0 && (history[entry][other] & kDown));
    });
}

std::int32_t DInputDeviceKeyboard::getButtonHistory(std::int32_t button) { return buttonMask(live_, button); }

std::int32_t DInputDeviceKeyboard::getButtonHistoryFrame(std::int32_t button) { return buttonMask(play_, button); }

std::int32_t DInputDeviceKeyboard::getKeyHistory(std::int32_t key) { return keyMask(live_, key); }

std::int32_t DInputDeviceKeyboard::getKeyHistoryFrame(std::int32_t key) { return keyMask(play_, key); }

std::int32_t DInputDeviceKeyboard::getKeyHistoryEx(std::int32_t key, std::int32_t flag) {
    std::int32_t mask = keyMask(live_, key);
    if (flag == 0) mask |= keyMask(live_, kDikReturn);
    return mask;
}

std::int32_t DInputDeviceKeyboard::getKeyHistoryExFrame(std::int32_t key, std::int32_t flag) {
    std::int32_t mask = keyMask(play_, key);
    if (flag == 0) mask |= keyMask(play_, kDikReturn);
    return mask;
}

void DInputDeviceKeyboard::clearState() {
    std::memset(state_, 0, sizeof state_);
    std::memset(live_, 0, sizeof live_);
    std::memset(play_, 0, sizeof play_);
}

#include "input/DInputDeviceReplayReader.h"

#include <algorithm>

HRESULT DInputDeviceReplayReader::create(Input*, const ControllerInfo*) {
    clearState();
    return DI_OK;
}

void DInputDeviceReplayReader::clearState() {
    words_.clear();
    word_ = 0;
    std::fill(std::begin(history_), std::end(history_), InputWord{0});
}

void DInputDeviceReplayReader::loadWords(const std::uint8_t* bytes, std::size_t length) {
    if (!bytes || length == 0) return;
    words_.clear();
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        words_.push(static_cast<InputWord>(bytes[i] << 8 | bytes[i + 1]));
    }
    word_ = 0;
    std::fill(std::begin(history_), std::end(history_), InputWord{0});
}

std::int32_t DInputDeviceReplayReader::pollFrame() {
    if (words_.empty()) {
        word_ = 0;
        return 0;
    }
    std::copy_backward(history_, history_ + kHistoryLength - 1, history_ + kHistoryLength);
    word_ = words_.pop();
    history_[0] = word_;
    return 0;
}

std::int32_t DInputDeviceReplayReader::getButtonHistory(std::int32_t button) {
    const int bit = inputWordBit(button);
    if (bit < 0) return 0;
    return historyMask([&](int entry) { return (history_[entry] >> bit & 1) != 0; });
}

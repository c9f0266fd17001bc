#include "input/DInputDeviceReplayWriter.h"

HRESULT DInputDeviceReplayWriter::create(Input*, const ControllerInfo*) {
    clearState();
    return DI_OK;
}

void DInputDeviceReplayWriter::clearState() {
    words_.clear();
    word_ = 0;
    skipNextPush_ = true;
}

std::int32_t DInputDeviceReplayWriter::pollFrame() {
    if (!skipNextPush_) words_.push(word_);
    skipNextPush_ = false;
    word_ = 0;
    return 0;
}

std::int32_t DInputDeviceReplayWriter::poll() {
    skipNextPush_ = false;
    return 0;
}

void DInputDeviceReplayWriter::setButton(std::int32_t button, std::int32_t value) {
    const int bit = inputWordBit(button);
    if (bit < 0) return;
    word_ = static_cast<InputWord>(word_ | ((value & 1) << bit));
}

std::vector<std::uint8_t> DInputDeviceReplayWriter::getWordBytes() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(words_.size() * 2);
    for (std::size_t i = 0; i < words_.size(); ++i) {
        bytes.push_back(static_cast<std::uint8_t>(words_[i] >> 8));
        bytes.push_back(static_cast<std::uint8_t>(words_[i] & 0xFF));
    }
    return bytes;
}

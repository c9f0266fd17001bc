// Hands recorded InputWords back one per frame poll during play back. Once
// the words run out its word is 0 and its history stands still.
#pragma once
#include <cstddef>
#include <cstdint>

#include "input/DInputDevice.h"
#include "input/InputWordQueue.h"

class DInputDeviceReplayReader : public DInputDevice {
public:
    // The reset: empties the queue, clears the word and the history.
    HRESULT create(Input* input, const ControllerInfo* controller) override;
    std::int32_t pollFrame() override;
    std::int32_t poll() override { return 0; }
    std::int32_t getButtonHistory(std::int32_t button) override;
    std::int32_t getButtonHistoryFrame(std::int32_t) override { return 0; }
    std::int32_t getKeyHistory(std::int32_t) override { return 0; }
    void clearState() override;

    // Refills the queue from big-endian 16-bit words; the history and the word
    // are cleared. A null or empty string leaves the reader as it was; an odd
    // last byte is no word and is ignored.
    void loadWords(const std::uint8_t* bytes, std::size_t length);

    InputWord getCurrentWord() const { return word_; }
    std::size_t getRemainingWords() const { return words_.size(); }

private:
    InputWordQueue words_;
    InputWord word_ = 0;
    InputWord history_[kHistoryLength] = {};
};

// Collects one InputWord per unpaused frame while a play is recorded. The
// manager ORs each virtual button into the current word; the next frame poll
// appends it, so words reach the queue one frame late and the first frame
// poll after a reset appends nothing.
#pragma once
#include <cstdint>
#include <vector>

#include "input/DInputDevice.h"
#include "input/InputWordQueue.h"

class DInputDeviceReplayWriter : public DInputDevice {
public:
    // The reset: empties the queue, clears the word, skips the next push.
    HRESULT create(Input* input, const ControllerInfo* controller) override;
    std::int32_t pollFrame() override;
    std::int32_t poll() override;
    std::int32_t getButtonHistory(std::int32_t) override { return 0; }
    std::int32_t getButtonHistoryFrame(std::int32_t) override { return 0; }
    std::int32_t getKeyHistory(std::int32_t) override { return 0; }
    void clearState() override;
    // ORs bit 0 of `value` into the current word at the button's bit.
    virtual void setButton(std::int32_t button, std::int32_t value);

    InputWord getCurrentWord() const { return word_; }
    const InputWordQueue& getWords() const { return words_; }
    // The queued words as a byte string, each word high byte first.
    std::vector<std::uint8_t> getWordBytes() const;

private:
    InputWordQueue words_;
    InputWord word_ = 0;
    bool skipNextPush_ = true;
};

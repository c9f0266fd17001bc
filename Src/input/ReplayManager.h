// The replay manager: one instance, created with the input managers and
// released after the game records. It holds the replay mode (0 record, 1 play
// back, 2 restart) and the replay-started flag that the game records consult
// before they register a play, write the score file or read a replay stage's
// game flags.
#pragma once
#include <cstdint>

class ReplayManager {
public:
    static constexpr std::int32_t kRecord = 0;
    static constexpr std::int32_t kPlayBack = 1;
    static constexpr std::int32_t kRestart = 2;

    ReplayManager() = default;
    virtual ~ReplayManager() = default;

    void setMode(std::int32_t mode) { mode_ = mode; }
    std::int32_t getMode() const { return mode_; }
    std::int32_t isReplayStarted() const { return replayStarted_; }
    void setReplayStarted(std::int32_t started) { replayStarted_ = started; }

private:
    std::int32_t mode_ = kRecord;
    std::int32_t replayStarted_ = 0;
};

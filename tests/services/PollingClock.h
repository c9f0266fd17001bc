// A virtual clock for code that busy-waits on the millisecond timer: time is
// kept in microseconds, every read of the timer costs one microsecond and a
// sleep advances whole milliseconds. A busy-wait therefore ends after a
// bounded number of reads, lands exactly on the millisecond it waits for, and
// never waits for real.
#pragma once
#include <cstdint>

#include "platform/Clock.h"

class PollingClock : public Clock {
public:
    explicit PollingClock(std::uint32_t startMs = 0) : micros_(std::uint64_t{startMs} * 1000) {}

    std::uint32_t timeGetTime() override {
        micros_ += 1;
        ++reads_;
        return nowMs();
    }
    void sleep(std::uint32_t milliseconds) override {
        micros_ += std::uint64_t{milliseconds} * 1000;
        ++sleeps_;
        sleptMs_ += milliseconds;
    }
    LocalTime localTime() override { return {}; }

    // The current millisecond, without the cost of a read.
    std::uint32_t nowMs() const { return static_cast<std::uint32_t>(micros_ / 1000); }
    void advance(std::uint32_t milliseconds) { micros_ += std::uint64_t{milliseconds} * 1000; }
    void advanceMicros(std::uint32_t micros) { micros_ += micros; }
    std::uint32_t sleeps() const { return sleeps_; }
    // Milliseconds asked of sleep() so far, and reads of the timer so far.
    std::uint64_t sleptMs() const { return sleptMs_; }
    std::uint64_t reads() const { return reads_; }

private:
    std::uint64_t micros_;
    std::uint32_t sleeps_ = 0;
    std::uint64_t sleptMs_ = 0;
    std::uint64_t reads_ = 0;
};

// Installs a clock for the life of the object.
class InstalledClock {
public:
    explicit InstalledClock(Clock& clock) { Clock::setInstance(&clock); }
    ~InstalledClock() { Clock::setInstance(nullptr); }
    InstalledClock(const InstalledClock&) = delete;
    InstalledClock& operator=(const InstalledClock&) = delete;
};

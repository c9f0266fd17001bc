// One profile section: calls between start and stop are timed on the
// millisecond timer, summed, and folded into an average now and then.
#pragma once
#include <cstdint>

class PerformanceCounter {
public:
    virtual ~PerformanceCounter() = default;

    // Counts a call and notes its start.
    void start();
    // Adds the time since start. A stop with no start before it measures
    // nothing: timing from time 0 would poison the sums for good.
    void stop();
    // Average = sum / calls since the last fold, then both restart; a fold
    // that finds no calls leaves the average as it was.
    void fold();

    float getAverage() const { return average_; }
    double getMaximum() const { return static_cast<double>(maximum_); }
    double getDivisor() const { return static_cast<double>(divisor_); }
    // The 64-bit total per call (0.0 without calls).
    double getTotalPerCall() const;
    std::uint64_t getTotal() const { return total_; }
    std::uint32_t getCount() const { return count_; }
    std::uint32_t getMaximumMs() const { return maximum_; }

private:
    std::uint32_t startTime_ = 0;
    std::uint32_t accumulated_ = 0;
    std::uint32_t count_ = 0;
    std::uint32_t maximum_ = 0;
    std::uint32_t divisor_ = 1000000;
    float average_ = 0.0f;
    std::uint64_t total_ = 0;
    bool running_ = false;
};

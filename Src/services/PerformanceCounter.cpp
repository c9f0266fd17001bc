#include "services/PerformanceCounter.h"

#include "platform/Clock.h"

void PerformanceCounter::start() {
    ++count_;
    startTime_ = Clock::instance().timeGetTime();
    running_ = true;
}

void PerformanceCounter::stop() {
    if (!running_) return;
    running_ = false;
    std::uint32_t elapsed = Clock::instance().timeGetTime() - startTime_;
    accumulated_ += elapsed;
    if (elapsed > maximum_) maximum_ = elapsed;
}

void PerformanceCounter::fold() {
    if (count_ == 0) return;
    average_ = static_cast<float>(accumulated_) / static_cast<float>(count_);
    accumulated_ = 0;
    count_ = 0;
}

double PerformanceCounter::getTotalPerCall() const {
    return count_ ? static_cast<double>(total_ / count_) : 0.0;
}

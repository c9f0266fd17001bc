// The millisecond timer, sleeping and the local time. The engine reads time only
// through Clock::instance(), so tests can install a FakeClock.
#pragma once
#include <atomic>
#include <cstdint>

struct LocalTime {
    std::uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping at 2^32 (timeGetTime).
    virtual std::uint32_t timeGetTime() = 0;
    // The coarse tick count; the same clock here (GetTickCount).
    virtual std::uint32_t getTickCount() { return timeGetTime(); }
    virtual void sleep(std::uint32_t milliseconds) = 0;
    virtual LocalTime localTime() = 0;

    static Clock& instance();
    // Installs a clock for the whole process (tests); nullptr restores the real one.
    static void setInstance(Clock* clock);
};

class SystemClock : public Clock {
public:
    std::uint32_t timeGetTime() override;
    void sleep(std::uint32_t milliseconds) override;
    LocalTime localTime() override;
};

// The local time of virtual time unless a test sets another: a real calendar
// date (Friday 3 October 2008, noon), so replays and scores written by
// headless runs carry a date that reads back as one.
inline constexpr LocalTime kVirtualLocalTime{2008, 10, 5, 3, 12, 0, 0, 0};

// Virtual time: sleeping advances it, nothing waits.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t timeGetTime() override { return now_.load(); }
    void sleep(std::uint32_t milliseconds) override { now_ += milliseconds; ++sleeps_; }
    LocalTime localTime() override { return local_; }

    void advance(std::uint32_t milliseconds) { now_ += milliseconds; }
    void set(std::uint32_t now) { now_ = now; }
    void setLocalTime(const LocalTime& t) { local_ = t; }
    // Number of sleep() calls so far.
    std::uint32_t sleeps() const { return sleeps_; }

private:
    std::atomic<std::uint32_t> now_;
    std::atomic<std::uint32_t> sleeps_{0};
    LocalTime local_ = kVirtualLocalTime;
};

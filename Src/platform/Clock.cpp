#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {
std::atomic<Clock*> g_installed{nullptr};

SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}
}  // namespace

Clock& Clock::instance() {
    Clock* installed = g_installed.load(std::memory_order_acquire);
    return installed ? *installed : systemClock();
}

void Clock::setInstance(Clock* clock) { g_installed.store(clock, std::memory_order_release); }

std::uint32_t SystemClock::timeGetTime() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

void SystemClock::sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

LocalTime SystemClock::localTime() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    std::tm tm {};
    localtime_r(&seconds, &tm);
    LocalTime t;
    t.year = static_cast<std::uint16_t>(tm.tm_year + 1900);
    t.month = static_cast<std::uint16_t>(tm.tm_mon + 1);
    t.dayOfWeek = static_cast<std::uint16_t>(tm.tm_wday);
    t.day = static_cast<std::uint16_t>(tm.tm_mday);
    t.hour = static_cast<std::uint16_t>(tm.tm_hour);
    t.minute = static_cast<std::uint16_t>(tm.tm_min);
    t.second = static_cast<std::uint16_t>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    t.milliseconds = static_cast<std::uint16_t>(
        duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return t;
}

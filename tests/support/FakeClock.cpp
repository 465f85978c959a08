#include "support/FakeClock.h"

namespace quorvane::test {

std::time_t FakeClock::now() const { return _now; }

std::chrono::steady_clock::time_point FakeClock::monotonicNow() const { return _monotonic; }

void FakeClock::sleepFor(std::chrono::milliseconds duration) {
    _slept += duration;
    advance(duration);
}

void FakeClock::advance(std::chrono::milliseconds duration) {
    _monotonic += duration;
    _subsecond += duration;
    _now += static_cast<std::time_t>(_subsecond.count() / 1000);
    _subsecond = std::chrono::milliseconds(_subsecond.count() % 1000);
}

std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

} // namespace quorvane::test

#pragma once

#include "platform/Clock.h"

#include <ctime>

namespace quorvane::test {

// A clock that stands still until told.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::time_t start) : _start(start) {}
    std::time_t now() const override {
        return _start +
               std::chrono::duration_cast<std::chrono::seconds>(_monotonic.time_since_epoch()).count();
    }
    std::chrono::steady_clock::time_point monotonicNow() const override { return _monotonic; }

    void advance(std::chrono::milliseconds duration) { _monotonic += duration; }

private:
    std::time_t _start;
    std::chrono::steady_clock::time_point _monotonic{};
};

// The time in the local time zone.
inline std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900, local.tm_mon = month - 1, local.tm_mday = day;
    local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second, local.tm_isdst = -1;
    return std::mktime(&local);
}

} // namespace quorvane::test

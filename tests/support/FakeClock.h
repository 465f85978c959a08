#pragma once

#include "platform/Clock.h"

namespace quorvane::test {

// A clock that stands still until told, or until something sleeps on it.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::time_t start) : _now(start) {}
    std::time_t now() const override;
    std::chrono::steady_clock::time_point monotonicNow() const override;
    void sleepFor(std::chrono::milliseconds duration) override;

    void advance(std::chrono::milliseconds duration);
    std::chrono::milliseconds slept() const { return _slept; }

private:
    std::time_t _now;
    std::chrono::milliseconds _subsecond{0};
    std::chrono::steady_clock::time_point _monotonic{};
    std::chrono::milliseconds _slept{0};
};

// 2 January 2007, 09:05:03 in the local time zone.
std::time_t localTime(int year, int month, int day, int hour, int minute, int second);

} // namespace quorvane::test

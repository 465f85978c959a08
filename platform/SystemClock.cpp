#include "platform/SystemClock.h"

#include <thread>

namespace quorvane {

std::time_t SystemClock::now() const { return std::time(nullptr); }

std::chrono::steady_clock::time_point SystemClock::monotonicNow() const { return std::chrono::steady_clock::now(); }

void SystemClock::sleepFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

} // namespace quorvane

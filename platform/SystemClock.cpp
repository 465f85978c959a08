#include "platform/SystemClock.h"

namespace quorvane {

std::time_t SystemClock::now() const {
    return std::time(nullptr);
}

std::chrono::steady_clock::time_point SystemClock::monotonicNow() const {
    return std::chrono::steady_clock::now();
}

} // namespace quorvane

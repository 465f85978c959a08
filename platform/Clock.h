#pragma once

#include <chrono>
#include <ctime>

namespace quorvane {

class Clock {
public:
    virtual ~Clock() = default;
    // Wall-clock time, whole seconds.
    virtual std::time_t now() const = 0;
    // For spacing out redraws; never goes backwards.
    virtual std::chrono::steady_clock::time_point monotonicNow() const = 0;
};

} // namespace quorvane

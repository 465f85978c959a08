#pragma once

#include "platform/Clock.h"

namespace quorvane {

class SystemClock : public Clock {
public:
    std::time_t now() const override;
    std::chrono::steady_clock::time_point monotonicNow() const override;
};

} // namespace quorvane

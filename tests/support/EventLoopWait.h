#pragma once

#include <chrono>
#include <functional>

namespace quorvane::test {

// Runs the Qt event loop until the condition holds or the time is up; answers the condition.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(20000));

} // namespace quorvane::test

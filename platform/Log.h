#pragma once

#include <string>

namespace quorvane {

// The system log: one line per call.
class Log {
public:
    virtual ~Log() = default;
    virtual void log(const std::string& message) = 0;
};

} // namespace quorvane

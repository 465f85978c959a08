#pragma once

#include "platform/Log.h"

#include <string>
#include <vector>

namespace quorvane::test {

class RecordingLog : public Log {
public:
    void log(const std::string& message) override { lines.push_back(message); }
    bool contains(const std::string& text) const;
    std::vector<std::string> lines;
};

} // namespace quorvane::test

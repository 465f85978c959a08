#pragma once

#include "platform/Log.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quorvane::test {

class RecordingLog : public Log {
public:
    void log(const std::string& message) override { lines.push_back(message); }
    bool contains(const std::string& text) const {
        return std::ranges::any_of(
            lines, [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
    std::vector<std::string> lines;
};

} // namespace quorvane::test

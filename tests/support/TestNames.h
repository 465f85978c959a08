#pragma once

#include <cctype>
#include <string>

namespace quorvane::test {

// A test case's description as a name GoogleTest accepts: letters and digits, the rest underscores.
inline std::string testNameFrom(const std::string& description) {
    std::string name;
    for (const char c : description) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

} // namespace quorvane::test

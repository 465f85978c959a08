#pragma once

#include <cctype>
#include <string>

namespace quorvane::test {

// A test case's description as a name GoogleTest accepts: letters and digits, the rest underscores.
inline std::string testNameFrom(std::string name) {
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

} // namespace quorvane::test

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// What an update run did, as its report counts it.
struct RunFigures {
    // An item that could not be installed, and why.
    struct NotInstalled {
        std::string item;
        std::string reason;
    };

    std::int32_t installed = 0;
    std::int32_t replaced = 0;
    std::int32_t duplicates = 0;
    // Files that could not be installed (copy, backup or source failed).
    std::int32_t failed = 0;
    // Some level of the run's items lined up with the installation.
    bool lineUpFound = false;
    bool cancelled = false;
    std::vector<NotInstalled> notInstalled;
};

} // namespace quorvane

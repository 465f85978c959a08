#pragma once

#include <ctime>
#include <string>

namespace quorvane {

// The local date and time as 15 characters, "%Y%m%d_%H%M%S": the name of backup and extraction folders.
inline std::string dateTimeComponentAt(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local);
    return text;
}

} // namespace quorvane

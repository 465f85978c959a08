#pragma once

#include <string>

namespace quorvane {

// How an update run ended, as the completion sheet shows it: finished, localised text, shown literally.
struct UpdateReport {
    std::string title;
    std::string message;
    // One line per item that was not installed, with the reason; empty when everything went in.
    std::string details;
    // The run was cancelled before it had done everything.
    bool cancelled = false;
};

} // namespace quorvane

#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quorvane {

inline constexpr int NSAlertDefaultReturn = 1;
inline constexpr int NSAlertAlternateReturn = 0;

// A window-modal message. Title and message are finished text, shown literally.
struct AlertSheet {
    std::string title;
    std::string defaultButton;
    std::optional<std::string> alternateButton;
    std::string message;
    // Called once the sheet has left the window: NSAlertDefaultReturn or NSAlertAlternateReturn.
    std::function<void(int returnCode)> didDismiss;
    // Shown on request below the message, as plain text; none when empty.
    std::string detailedText;
};

} // namespace quorvane

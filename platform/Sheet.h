#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quorvane {

// The button a sheet was left with. Escape answers as Cancel, or as OK where the sheet has no Cancel:
// never as the further action.
enum class SheetAnswer { ok, cancel, furtherAction };

// A window-modal message. Title, message and details are finished text, shown literally.
struct Sheet {
    std::string title;
    std::string message;
    // The default button ("OK", "Remove", …).
    std::string okButton;
    // A button that answers no ("Cancel", "Continue"); none: the sheet only informs.
    std::optional<std::string> cancelButton;
    // A button for a further action ("Put Back", "Show Backup Folder").
    std::optional<std::string> furtherAction;
    // Shown on request below the message, as plain text; none when empty.
    std::string details;
    // Called once the sheet has left the window.
    std::function<void(SheetAnswer)> answered;
    // The label of the button that shows the details ("Show Changes…"), and of the one that hides them
    // again ("Hide Changes"); empty: the toolkit's own ("Show Details…").
    std::string showDetailsButton = {};
    std::string hideDetailsButton = {};
};

} // namespace quorvane

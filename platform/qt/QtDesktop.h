#pragma once

#include "platform/Desktop.h"

#include <QStringList>

namespace quorvane {

// The desktop as the window sees it: folders open in the user's file manager, through the first of
// xdg-open, gio and the file manager's D-Bus interface that is there (xdg-open is not installed with
// every file manager). When none is, a message names the folder.
class QtDesktop : public Desktop {
public:
    bool openFolder(const std::string& path) override;

private:
    // Starts the program, found on the PATH, with the arguments; no when it is not there or will not start.
    static bool startProgram(const char* program, const QStringList& arguments);
    static bool askFileManager(const QString& url);
};

} // namespace quorvane

#pragma once

#include <string>

namespace quorvane {

// The user's desktop as the program reaches it. Without one (the command line) there is nothing to show
// folders in; the window's desktop (platform/qt/QtDesktop) opens them in the file manager.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Shows the folder in the desktop's file manager; no when it cannot.
    virtual bool openFolder(const std::string&) { return false; }
};

} // namespace quorvane

#pragma once

#include <string>

namespace quorvane {

class FileManager;

// The desktop's view of items. Linux has no packages of its own, so a folder counts as one when it is
// laid out as an application bundle: it holds "Contents/Info.plist", or its name ends in ".app".
// The window's workspace (platform/qt/QtWorkspace) also opens folders in the file manager.
class Workspace {
public:
    explicit Workspace(const FileManager& fileManager) : _fileManager(fileManager) {}
    virtual ~Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    bool isApplicationBundle(const std::string& path) const;
    // Shows the folder in the desktop's file manager; no when it cannot. Without a desktop (the command
    // line) there is none to show it in.
    virtual bool openFolder(const std::string& path);

private:
    const FileManager& _fileManager;
};

} // namespace quorvane

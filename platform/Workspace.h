#pragma once

#include <string>

namespace quorvane {

class FileManager;

// The desktop's view of items. Linux has no packages of its own, so a folder counts as one when it is
// laid out as an application bundle: it holds "Contents/Info.plist", or its name ends in ".app".
class Workspace {
public:
    explicit Workspace(const FileManager& fileManager) : _fileManager(fileManager) {}
    bool isFilePackageAtPath(const std::string& path) const;

private:
    const FileManager& _fileManager;
};

} // namespace quorvane

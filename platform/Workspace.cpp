#include "platform/Workspace.h"

#include "platform/FileManager.h"
#include "platform/PathUtilities.h"

namespace quorvane {

bool Workspace::isFilePackageAtPath(const std::string& path) const {
    bool isDirectory = false;
    if (!_fileManager.fileExistsAtPath(path, &isDirectory) || !isDirectory) {
        return false;
    }
    const std::string name = path::lastPathComponent(path);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".app") == 0) {
        return true;
    }
    return _fileManager.fileExistsAtPath(path::stringByAppendingPathComponent(path, "Contents/Info.plist"));
}

bool Workspace::openFolder(const std::string&) { return false; }

} // namespace quorvane

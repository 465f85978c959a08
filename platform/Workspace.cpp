#include "platform/Workspace.h"

#include "platform/FileManager.h"
#include "platform/PathUtilities.h"

namespace quorvane {

bool Workspace::isApplicationBundle(const std::string& path) const {
    bool isDirectory = false;
    if (!_fileManager.exists(path, &isDirectory) || !isDirectory) {
        return false;
    }
    const std::string name = path::fileName(path);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".app") == 0) {
        return true;
    }
    return _fileManager.exists(path::join(path, "Contents/Info.plist"));
}

bool Workspace::openFolder(const std::string&) { return false; }

} // namespace quorvane

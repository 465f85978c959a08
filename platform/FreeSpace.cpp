#include "platform/FreeSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace quorvane {

std::optional<std::uint64_t> freeSpace(const std::string& path) {
    struct statvfs info {};
    if (path.empty() || ::statvfs(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::string diskOf(const std::string& path) {
    struct stat at {};
    if (path.empty() || path.front() != '/' || ::stat(path.c_str(), &at) != 0) {
        return path;
    }
    // Upwards while the folder above is on the same device.
    std::string disk = path;
    while (disk != "/") {
        const std::size_t slash = disk.find_last_of('/');
        const std::string parent = slash == 0 ? "/" : disk.substr(0, slash);
        struct stat above {};
        if (::stat(parent.c_str(), &above) != 0 || above.st_dev != at.st_dev) {
            break;
        }
        disk = parent;
    }
    return disk;
}

} // namespace quorvane

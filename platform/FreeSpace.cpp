#include "platform/FreeSpace.h"

#include <sys/statvfs.h>

namespace quorvane {

std::optional<std::uint64_t> freeSpace(const std::string& path) {
    struct statvfs info {};
    if (path.empty() || ::statvfs(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

} // namespace quorvane

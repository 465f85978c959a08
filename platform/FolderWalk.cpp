#include "platform/FolderWalk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Cleared once the kernel says it has no openat2.
std::atomic<bool> kernelResolvesBeneath{true};

// The longest piece of text handed to the kernel as one path, its terminating zero aside.
constexpr std::size_t kLongestPiece = PATH_MAX - 1;

// One step down from folder (which stays open); -1 and errno when it cannot be made.
int openStep(int folder, const std::string& part, int flags) {
    const int fd = ::openat(folder, part.c_str(), flags);
    if (fd < 0 && errno == ENOTDIR && (flags & O_NOFOLLOW) != 0) {
        // With O_PATH a link is opened as itself, and then is no folder: it is a link all the same.
        struct stat st {};
        if (::fstatat(folder, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
            errno = ELOOP;
        }
    }
    return fd;
}

// Walks from base through relative in pieces: single parts refusing links, else the longest runs of whole
// parts the kernel takes at once. The descriptors on the way are closed; base is not.
int walk(int base, std::string_view relative, LinksOnTheWay links) {
    const bool refuse = links == LinksOnTheWay::refuse;
    const int flags = kFolderFlags | (refuse ? O_NOFOLLOW : 0);
    int folder = base;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos) {
            end = relative.size();
        }
        if (!refuse) {
            // As many whole parts as fit, at least one (a part too long fails as the kernel fails it).
            for (std::size_t next = end; next < relative.size() && next - start <= kLongestPiece;) {
                const std::size_t after = std::min(relative.find('/', next + 1), relative.size());
                if (after - start > kLongestPiece) {
                    break;
                }
                end = next = after;
            }
        }
        const int fd = openStep(folder, std::string(relative.substr(start, end - start)), flags);
        const int error = errno;
        if (folder != base) {
            ::close(folder);
        }
        if (fd < 0) {
            errno = error;
            return -1;
        }
        folder = fd;
        start = end + 1;
    }
    return folder == base ? ::fcntl(base, F_DUPFD_CLOEXEC, 0) : folder;
}

} // namespace

int openFolderBeneath(int base, std::string_view relative, LinksOnTheWay links) {
    if (links == LinksOnTheWay::refuse && relative.size() <= kLongestPiece &&
        kernelResolvesBeneath.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kFolderFlags;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const std::string text(relative.empty() ? std::string_view(".") : relative);
        const long fd = ::syscall(SYS_openat2, base, text.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EAGAIN && errno != E2BIG)) {
            return static_cast<int>(fd);
        }
        if (errno == ENOSYS) {
            kernelResolvesBeneath = false;
        }
    }
    return walk(base, relative, links);
}

int openFolderByPath(std::string_view path) {
    if (path.size() <= kLongestPiece) {
        return ::open(std::string(path).c_str(), kFolderFlags);
    }
    const bool absolute = path.front() == '/';
    const std::size_t first = path.find_first_not_of('/');
    const int start = absolute ? ::open("/", kFolderFlags) : AT_FDCWD;
    if (start < 0 && absolute) {
        return -1;
    }
    const int fd = walk(start, path.substr(first == std::string_view::npos ? path.size() : first),
                        LinksOnTheWay::follow);
    const int error = errno;
    if (absolute) {
        ::close(start);
    }
    errno = error;
    return fd;
}

} // namespace quorvane

#include "platform/PathInFolder.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvane {
namespace {

// Folders kept open per thread: the source's, the destination's and the backup's folder at each level of
// a merge five levels deep, so that going back up a level finds them still open.
constexpr std::size_t kKeptFolders = 16;

// Counts the moves and deletions made through the file services on any thread: a thread that sees it
// changed by another drops every folder it kept.
std::atomic<std::uint64_t> changes{0};

// A folder path whose text names one folder only one way: absolute, no "." or "..", no doubled or
// trailing slash. Only such paths are kept, so that forgetting a path finds every way it was kept.
bool isPlainFolderPath(std::string_view folder) {
    if (folder.size() < 2 || folder.front() != '/' || folder.back() == '/') {
        return false;
    }
    for (std::size_t start = 1; start <= folder.size();) {
        std::size_t end = folder.find('/', start);
        if (end == std::string_view::npos) {
            end = folder.size();
        }
        const std::string_view part = folder.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool isAtOrBelow(std::string_view folder, std::string_view path) {
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

struct KeptFolder {
    std::string path;
    int fd = -1;
};

// This thread's folders, most recently used first. Descriptors dropped while a location is in use are
// closed once none is.
struct ThreadFolders {
    std::array<KeptFolder, kKeptFolders> folders;
    std::size_t count = 0;
    std::uint64_t seenChanges = 0;
    int locationsInUse = 0;
    int keepers = 0; // KeepFoldersOpen alive on the thread
    std::vector<int> toClose;

    ~ThreadFolders() {
        dropAll();
        closeDropped();
    }
    void drop(int fd) {
        toClose.push_back(fd);
        if (locationsInUse == 0) {
            closeDropped();
        }
    }
    void closeDropped() {
        for (const int fd : toClose) {
            ::close(fd);
        }
        toClose.clear();
    }
    void dropAt(std::size_t index) {
        drop(folders[index].fd);
        for (std::size_t i = index + 1; i < count; ++i) {
            folders[i - 1] = std::move(folders[i]);
        }
        --count;
        folders[count] = KeptFolder();
    }
    void dropAll() {
        while (count > 0) {
            dropAt(count - 1);
        }
    }
    // Drops everything when another thread moved or deleted something since this one last looked.
    void catchUp() {
        const std::uint64_t now = changes.load(std::memory_order_acquire);
        if (now != seenChanges) {
            dropAll();
            seenChanges = now;
        }
    }
    int find(std::string_view folder) {
        for (std::size_t i = 0; i < count; ++i) {
            if (folders[i].path == folder) {
                if (i > 0) {
                    KeptFolder found = std::move(folders[i]);
                    for (std::size_t j = i; j > 0; --j) {
                        folders[j] = std::move(folders[j - 1]);
                    }
                    folders[0] = std::move(found);
                }
                return folders[0].fd;
            }
        }
        return -1;
    }
    void keep(std::string_view folder, int fd) {
        if (count == kKeptFolders) {
            dropAt(count - 1);
        }
        for (std::size_t j = count; j > 0; --j) {
            folders[j] = std::move(folders[j - 1]);
        }
        folders[0] = KeptFolder{std::string(folder), fd};
        ++count;
    }
    void forgetAtOrBelow(std::string_view path) {
        for (std::size_t i = count; i > 0; --i) {
            if (isAtOrBelow(path, folders[i - 1].path)) {
                dropAt(i - 1);
            }
        }
    }
};

thread_local ThreadFolders threadFolders;

} // namespace

PathInFolder::PathInFolder(const std::string& path) : _path(path), _folder(AT_FDCWD), _name(path.c_str()) {
    ++threadFolders.locationsInUse;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return;
    }
    const std::string_view last = std::string_view(path).substr(slash + 1);
    const std::string_view folder = std::string_view(path).substr(0, slash);
    if (threadFolders.keepers == 0 || last.empty() || last == "." || last == ".." ||
        !isPlainFolderPath(folder)) {
        return;
    }
    ThreadFolders& kept = threadFolders;
    kept.catchUp();
    int fd = kept.find(folder);
    if (fd < 0) {
        // Only the right to search the folder is needed, as for a call on the whole path.
        fd = ::open(std::string(folder).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return; // the call on the whole path meets the same trouble, and tells it
        }
        kept.keep(folder, fd);
    }
    _folder = fd;
    _name = path.c_str() + slash + 1;
}

PathInFolder::~PathInFolder() {
    if (--threadFolders.locationsInUse == 0) {
        threadFolders.closeDropped();
    }
}

bool PathInFolder::folderWasRemoved() {
    if (_folder == AT_FDCWD) {
        return false;
    }
    const int error = errno;
    struct stat st {};
    const bool removed = ::fstat(_folder, &st) != 0 || st.st_nlink == 0;
    if (removed) {
        threadFolders.forgetAtOrBelow(std::string_view(_path).substr(0, _path.rfind('/')));
        _folder = AT_FDCWD;
        _name = _path.c_str();
    }
    errno = error;
    return removed;
}

PathInFolder::KeepFoldersOpen::KeepFoldersOpen() {
    if (threadFolders.keepers++ == 0) {
        threadFolders.seenChanges = changes.load(std::memory_order_acquire);
    }
}

PathInFolder::KeepFoldersOpen::~KeepFoldersOpen() {
    if (--threadFolders.keepers == 0) {
        threadFolders.dropAll();
    }
}

void PathInFolder::forgetFolder(const std::string& path) {
    ThreadFolders& kept = threadFolders;
    const std::uint64_t before = changes.fetch_add(1, std::memory_order_acq_rel);
    if (before != kept.seenChanges || !isPlainFolderPath(path)) {
        kept.dropAll(); // another thread changed something meanwhile too, or the path is written oddly
    } else {
        kept.forgetAtOrBelow(path);
    }
    kept.seenChanges = before + 1;
}

} // namespace quorvane

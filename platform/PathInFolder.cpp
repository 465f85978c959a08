#include "platform/PathInFolder.h"

#include "platform/FolderWalk.h"
#include "platform/PathUtilities.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
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
    return folder.size() >= 2 && folder.front() == '/' && path::hasPlainParts(folder.substr(1));
}

bool isAtOrBelow(std::string_view folder, std::string_view path) {
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

struct KeptFolder {
    std::string path;
    int fd = -1;
};

// A folder path below the root, as the part after it: plain, so that it names one folder one way.
bool isPlainBelow(std::string_view relative) {
    return relative.empty() || path::hasPlainParts(relative);
}

bool isDotOrEmpty(std::string_view name) {
    return name.empty() || name == "." || name == "..";
}

// A folder kept open that has been deleted since.
bool folderGone(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) != 0 || st.st_nlink == 0;
}

// This thread's folders, most recently used first, and its root. Descriptors dropped while a location is
// in use are closed once none is.
struct ThreadFolders {
    std::array<KeptFolder, kKeptFolders> folders;
    std::size_t count = 0;
    std::uint64_t seenChanges = 0;
    int locationsInUse = 0;
    int keepers = 0; // KeepFoldersOpen alive on the thread
    std::vector<int> toClose;
    // Below it no link is followed; empty: none. Its descriptor is opened on first use.
    std::string root;
    int rootFd = -1;

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
    void dropRoot() {
        if (rootFd >= 0) {
            drop(std::exchange(rootFd, -1));
        }
    }
    void dropAll() {
        while (count > 0) {
            dropAt(count - 1);
        }
        dropRoot();
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
        if (!root.empty() && isAtOrBelow(path, root)) {
            dropRoot();
        }
    }
    bool isBelowRoot(std::string_view folder) const { return !root.empty() && isAtOrBelow(root, folder); }
    int rootFolder() {
        if (rootFd < 0) {
            rootFd = openFolderByPath(root); // the user's links, followed
        }
        return rootFd;
    }
    // The folder at or below the root, opened from the root without following links; -1 and errno when it
    // cannot be. Always from the root, never from a folder kept beneath it: one that another program moved
    // out of the installation since it was opened leads nowhere new. Kept for later looks unless *owned is
    // given: it is then set when the caller is to close the descriptor.
    int folderBelowRoot(std::string_view folder, bool* owned) {
        for (bool again = false;; again = true) {
            if (folder.size() == root.size()) {
                return rootFolder();
            }
            if (const int fd = owned ? -1 : find(folder); fd >= 0) {
                return fd;
            }
            const int base = rootFolder();
            if (base < 0) {
                return -1;
            }
            const int fd = openFolderBeneath(base, folder.substr(root.size() + 1), LinksOnTheWay::refuse);
            if (fd >= 0) {
                owned ? void(*owned = true) : keep(folder, fd);
                return fd;
            }
            // The root deleted by another program: looked up again by its path, once.
            if (errno != ENOENT || again || !folderGone(base)) {
                return -1;
            }
            dropRoot();
        }
    }
};

thread_local ThreadFolders threadFolders;

} // namespace

PathInFolder::PathInFolder(const std::string& path, Use use)
    : _path(path), _use(use), _folder(AT_FDCWD), _name(path.c_str()) {
    ++threadFolders.locationsInUse;
    _locate();
}

PathInFolder::~PathInFolder() {
    _closeOwnFolder();
    if (--threadFolders.locationsInUse == 0) {
        threadFolders.closeDropped();
    }
}

void PathInFolder::_closeOwnFolder() {
    if (_ownFolder >= 0) {
        ::close(std::exchange(_ownFolder, -1));
    }
}

void PathInFolder::_locate() {
    _folder = AT_FDCWD;
    _name = _path.c_str();
    _error = 0;
    const std::size_t slash = _path.rfind('/');
    if (slash == std::string::npos) {
        return;
    }
    const std::string_view last = std::string_view(_path).substr(slash + 1);
    const std::string_view folder = std::string_view(_path).substr(0, slash);
    ThreadFolders& kept = threadFolders;
    const bool keeping = kept.keepers > 0;
    if (keeping) {
        kept.catchUp();
    }
    int fd = -1;
    if (keeping && kept.isBelowRoot(folder)) {
        const std::string_view below = folder.substr(std::min(folder.size(), kept.root.size() + 1));
        if (isDotOrEmpty(last) || !isPlainBelow(below)) {
            errno = EXDEV;
        } else {
            bool owned = false;
            fd = kept.folderBelowRoot(folder, _use == Use::change ? &owned : nullptr);
            _ownFolder = owned ? fd : -1;
        }
        if (fd < 0) {
            _error = errno != 0 ? errno : EIO;
            _folder = -1;
            return;
        }
    } else if (slash == 0 || isDotOrEmpty(last)) {
        return;
    } else {
        // Taken whole where the kernel takes it and nothing is kept.
        const bool fits = _path.size() < PATH_MAX;
        const bool keptFolder = keeping && isPlainFolderPath(folder);
        if (keptFolder) {
            fd = kept.find(folder);
        }
        if (fd < 0 && (keptFolder || !fits)) {
            // Only the right to search the folder is needed, as for a call on the whole path.
            fd = openFolderByPath(folder);
            if (fd < 0) {
                _error = fits ? 0 : errno; // a call on the whole path meets the same trouble, and tells it
                _folder = fits ? AT_FDCWD : -1;
                return;
            }
            if (keptFolder) {
                kept.keep(folder, fd);
            } else {
                _ownFolder = fd;
            }
        }
        if (fd < 0) {
            return;
        }
    }
    _folder = fd;
    _name = _path.c_str() + slash + 1;
}

bool PathInFolder::folderWasRemoved() {
    if (_folder < 0) {
        return false;
    }
    const int error = errno;
    const bool removed = folderGone(_folder);
    if (removed) {
        threadFolders.forgetAtOrBelow(std::string_view(_path).substr(0, _path.rfind('/')));
        _closeOwnFolder();
        _locate();
    }
    errno = error;
    return removed;
}

PathInFolder::KeepFoldersOpen::KeepFoldersOpen() : _outerRoot(threadFolders.root) {
    if (threadFolders.keepers++ == 0) {
        threadFolders.seenChanges = changes.load(std::memory_order_acquire);
    }
}

PathInFolder::KeepFoldersOpen::KeepFoldersOpen(const std::string& root) : KeepFoldersOpen() {
    std::string plain = root;
    while (plain.size() > 1 && plain.back() == '/') {
        plain.pop_back();
    }
    // Folders kept under another root, or none, may have been opened through links.
    if (plain != threadFolders.root) {
        threadFolders.dropAll();
        threadFolders.root = std::move(plain);
    }
}

PathInFolder::KeepFoldersOpen::~KeepFoldersOpen() {
    if (threadFolders.root != _outerRoot) {
        threadFolders.dropAll();
        threadFolders.root = _outerRoot;
    }
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

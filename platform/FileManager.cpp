#include "platform/FileManager.h"

#include "platform/FdCloser.h"
#include "platform/FolderListing.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"
#include "platform/TreeCopy.h"
#include "platform/TreeWalks.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

using DirPtr = std::unique_ptr<FolderListing>;

// A location that could not be found (a link below the root, say) answers as a failed call would.
bool unreachable(const PathInFolder& at) {
    if (at.error() != 0) {
        errno = at.error();
        return true;
    }
    return false;
}

// Makes a call at the path's folder; should that folder have been removed since it was opened, once more
// where the path leads now, which may be a folder made there since.
template <typename Call> auto atPath(const std::string& path, PathInFolder::Use use, Call call) {
    PathInFolder at(path, use);
    auto result = unreachable(at) ? -1 : call(at.folder(), at.name());
    if (result < 0 && errno == ENOENT && at.folderWasRemoved()) {
        result = unreachable(at) ? -1 : call(at.folder(), at.name());
    }
    return result;
}

// The same for a call that changes what is at two paths.
template <typename Call> int atPaths(const std::string& path1, const std::string& path2, Call call) {
    PathInFolder at1(path1, PathInFolder::Use::change);
    PathInFolder at2(path2, PathInFolder::Use::change);
    const auto attempt = [&] {
        return unreachable(at1) || unreachable(at2)
                   ? -1
                   : call(at1.folder(), at1.name(), at2.folder(), at2.name());
    };
    int result = attempt();
    if (result < 0 && errno == ENOENT && (at1.folderWasRemoved() | at2.folderWasRemoved())) {
        result = attempt();
    }
    return result;
}

FileManager::EntryKind kindOf(mode_t mode) {
    using Kind = FileManager::EntryKind;
    return S_ISLNK(mode)   ? Kind::symbolicLink
           : S_ISDIR(mode) ? Kind::folder
           : S_ISREG(mode) ? Kind::file
                           : Kind::special;
}

// A look without a second try: through a folder removed since it was opened, the entry is missing, as it
// would have been a moment earlier; a change that follows the look checks again.
int statAt(const std::string& path, struct stat* st, bool followLink) {
    const PathInFolder at(path);
    return unreachable(at) ? -1 : ::fstatat(at.folder(), at.name(), st, followLink ? 0 : AT_SYMLINK_NOFOLLOW);
}

// The process's file creation mask, read without changing it; when it cannot be read, a mask that makes
// every copy set its mode explicitly.
unsigned creationMaskOfProcess() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 0777;
    if (status) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                break;
            }
        }
        std::fclose(status);
    }
    return mask & 0777;
}

// The folder at the path, a link to one followed, opened for listing.
DirPtr openFolderAtPath(const std::string& path) {
    PathInFolder at(path);
    DirPtr dir = unreachable(at) ? nullptr : FolderListing::openAt(at.folder(), at.name(), false);
    if (!dir && errno == ENOENT && at.folderWasRemoved() && !unreachable(at)) {
        dir = FolderListing::openAt(at.folder(), at.name(), false);
    }
    return dir;
}

// The file, link or tree at the path deleted, nothing followed through a link.
bool removeTreeAt(const std::string& path) {
    PathInFolder at(path, PathInFolder::Use::change);
    if (unreachable(at)) {
        return false;
    }
    bool removed = removeTree({at.folder(), at.name()});
    if (!removed && errno == ENOENT && at.folderWasRemoved() && !unreachable(at)) {
        removed = removeTree({at.folder(), at.name()});
    }
    return removed;
}

// The latest failure of a file operation on this thread.
thread_local int lastFailure = 0;

} // namespace

bool FileManager::exists(const std::string& path) const {
    return exists(path, nullptr);
}

bool FileManager::exists(const std::string& path, bool* isDirectory) const {
    struct stat st {};
    const bool exists = !path.empty() && statAt(path, &st, true) == 0;
    if (isDirectory) {
        *isDirectory = exists && S_ISDIR(st.st_mode);
    }
    return exists;
}

bool FileManager::entryExists(const std::string& path) const {
    struct stat st {};
    return !path.empty() && statAt(path, &st, false) == 0;
}

FileManager::EntryState FileManager::entryState(const std::string& path) const {
    EntryState state;
    struct stat st {};
    if (path.empty() || statAt(path, &st, false) != 0) {
        return state;
    }
    state.entryExists = true;
    if (S_ISLNK(st.st_mode) && statAt(path, &st, true) != 0) {
        return state; // a link that leads nowhere
    }
    state.exists = true;
    state.isDirectory = S_ISDIR(st.st_mode);
    return state;
}

bool FileManager::isSymbolicLink(const std::string& path) const {
    struct stat st {};
    return !path.empty() && statAt(path, &st, false) == 0 && S_ISLNK(st.st_mode);
}

FileManager::EntryKind FileManager::entryKind(const std::string& path, bool traverseLink) const {
    struct stat st {};
    if (path.empty() || statAt(path, &st, traverseLink) != 0) {
        return EntryKind::missing;
    }
    return kindOf(st.st_mode);
}

std::optional<std::string> FileManager::resolvedPath(const std::string& path) const {
    std::unique_ptr<char, decltype(&std::free)> resolved(
        path.empty() ? nullptr : ::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::optional<std::string>(resolved.get()) : std::nullopt;
}

bool FileManager::createFolder(const std::string& path) {
    return !path.empty() &&
           (atPath(path, PathInFolder::Use::change,
                   [](int folder, const char* name) { return ::mkdirat(folder, name, 0777); }) == 0 ||
            _failed());
}

bool FileManager::removeItem(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const bool removed = removeTreeAt(path);
    const int error = errno;
    PathInFolder::forgetFolder(path);
    errno = error;
    return removed || _failed();
}

bool FileManager::movePath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    // The file system refuses to overwrite in the same step as the rename; where it cannot, look first.
    int moved = atPaths(from, to, [](int fromFolder, const char* fromName, int toFolder, const char* toName) {
        return ::renameat2(fromFolder, fromName, toFolder, toName, RENAME_NOREPLACE);
    });
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        if (entryExists(to)) {
            errno = EEXIST;
            return _failed();
        }
        moved = atPaths(from, to, [](int fromFolder, const char* fromName, int toFolder, const char* toName) {
            return ::renameat(fromFolder, fromName, toFolder, toName);
        });
    }
    return _forgetMoved(from, to, moved == 0, Move::oneWay);
}

bool FileManager::copyPath(const std::string& from, const std::string& to, CopyOutcome* outcome) {
    if (from.empty() || to.empty()) {
        return false;
    }
    // Nothing is ever written over: the copy's first step creates its destination exclusively.
    bool created = false;
    TreeCopy copy({&_reflinkLock, &_devicesWithoutReflink}, static_cast<mode_t>(_creationMask),
                  outcome ? outcome->stopRequested : nullptr, outcome && outcome->nameWhenWhole);
    PathInFolder source(from, PathInFolder::Use::change); // an old file copied into the backup
    PathInFolder destination(to, PathInFolder::Use::change);
    if (unreachable(source) || unreachable(destination)) {
        return _failed();
    }
    bool copied = copy.copy({source.folder(), source.name()}, from,
                            {destination.folder(), destination.name()}, &created);
    // A file without a name cannot be made in a removed folder (EPERM): whatever the failure, once more.
    if (!copied && !created && (source.folderWasRemoved() | destination.folderWasRemoved())) {
        if (unreachable(source) || unreachable(destination)) {
            return _failed();
        }
        copied = copy.copy({source.folder(), source.name()}, from, {destination.folder(), destination.name()},
                           &created);
    }
    if (copied) {
        if (outcome) {
            outcome->folder = copy.topIsFolder();
            outcome->descendants = copy.entries() - 1;
            outcome->leftOut = std::move(copy.leftOut());
        }
        return true;
    }
    lastFailure = copy.error() != 0 ? copy.error() : EIO;
    if (created) {
        removeTree({destination.folder(), destination.name()});
        PathInFolder::forgetFolder(to);
    }
    return false;
}

bool FileManager::contentsEqual(const std::string& path1, const std::string& path2) const {
    if (path1.empty() || path2.empty()) {
        return false;
    }
    PathInFolder at1(path1);
    PathInFolder at2(path2);
    errno = 0;
    if (unreachable(at1) || unreachable(at2)) {
        return false;
    }
    if (equalEntries({at1.folder(), at1.name()}, {at2.folder(), at2.name()})) {
        return true;
    }
    return errno == ENOENT && (at1.folderWasRemoved() | at2.folderWasRemoved()) && !unreachable(at1) &&
           !unreachable(at2) && equalEntries({at1.folder(), at1.name()}, {at2.folder(), at2.name()});
}

std::vector<std::string> FileManager::subpaths(const std::string& path) const {
    std::vector<std::string> subpaths;
    std::size_t count = 0;
    if (DirPtr dir = path.empty() ? nullptr : openFolderAtPath(path)) {
        collectSubpaths(dir.get(), "", &subpaths, &count);
    }
    return subpaths;
}

std::size_t FileManager::countSubpaths(const std::string& path) const {
    std::size_t count = 0;
    if (DirPtr dir = path.empty() ? nullptr : openFolderAtPath(path)) {
        collectSubpaths(dir.get(), "", nullptr, &count);
    }
    return count;
}

std::optional<std::vector<std::string>> FileManager::folderContents(const std::string& path) const {
    if (path.empty()) {
        return std::nullopt;
    }
    DirPtr dir = openFolderAtPath(path);
    if (!dir) {
        _failed();
        return std::nullopt;
    }
    return dir->names();
}

bool FileManager::changeCurrentDirectoryPath(const std::string& path) {
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

std::optional<std::uint64_t> FileManager::fileSize(const std::string& path, bool traverseLink) const {
    struct stat st {};
    if (path.empty() || statAt(path, &st, traverseLink) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> FileManager::readFile(const std::string& path) const {
    return readFileHead(path, std::numeric_limits<std::size_t>::max());
}

bool FileManager::linkPath(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() &&
           (atPaths(from, to,
                    [](int fromFolder, const char* fromName, int toFolder, const char* toName) {
                        return ::linkat(fromFolder, fromName, toFolder, toName, 0);
                    }) == 0 ||
            _failed());
}

bool FileManager::replacePath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    struct stat st {};
    if (statAt(to, &st, false) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return _failed();
    }
    const int moved =
        atPaths(from, to, [](int fromFolder, const char* fromName, int toFolder, const char* toName) {
            return ::renameat(fromFolder, fromName, toFolder, toName);
        });
    return _forgetMoved(from, to, moved == 0, Move::oneWay);
}

bool FileManager::exchangePath(const std::string& path1, const std::string& path2) {
    if (path1.empty() || path2.empty()) {
        return false;
    }
    const int swapped =
        atPaths(path1, path2, [](int folder1, const char* name1, int folder2, const char* name2) {
            return ::renameat2(folder1, name1, folder2, name2, RENAME_EXCHANGE);
        });
    return _forgetMoved(path1, path2, swapped == 0, Move::swap);
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> FileManager::identity(const std::string& path) const {
    struct stat st {};
    if (path.empty() || statAt(path, &st, true) != 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
}

std::optional<FileManager::EntryStamp> FileManager::entryStamp(const std::string& path) const {
    struct stat st {};
    if (path.empty() || statAt(path, &st, false) != 0) {
        return std::nullopt;
    }
    return EntryStamp{static_cast<std::uint64_t>(st.st_size),
                      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                      kindOf(st.st_mode)};
}

int FileManager::lastError() const {
    return lastFailure;
}

bool FileManager::_failed() const {
    lastFailure = errno != 0 ? errno : EIO;
    return false;
}

bool FileManager::_forgetMoved(const std::string& path1, const std::string& path2, bool moved, Move move) {
    const int error = errno;
    // A file moved to a free name, over a file or swapped with a file leaves every folder where it was:
    // the folders other threads keep stay theirs. (Nothing but a folder goes over a folder.)
    const auto isFolder = [](const std::string& path) {
        struct stat st {};
        return statAt(path, &st, false) == 0 && S_ISDIR(st.st_mode);
    };
    if (moved && (isFolder(path2) || (move == Move::swap && isFolder(path1)))) {
        PathInFolder::forgetFolder(path1);
        PathInFolder::forgetFolder(path2);
    }
    errno = error;
    return moved || _failed();
}

FileManager::FileManager()
    : _processId(static_cast<long>(::getpid())),
      _temporaryNonce(
          static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count())),
      _creationMask(creationMaskOfProcess()) {}

std::string FileManager::temporaryPathBeside(const std::string& path) {
    char name[96];
    std::snprintf(name, sizeof name, "%s%ld-%llx-%lu", temporaryNamePrefix, _processId, _temporaryNonce,
                  ++_temporaryCounter);
    return path::join(path::parent(path), name);
}

std::optional<std::string> FileManager::readFileHead(const std::string& path, std::size_t maxLength) const {
    if (path.empty()) {
        return std::nullopt;
    }
    FdCloser fd{atPath(path, PathInFolder::Use::look, [](int folder, const char* name) {
        return ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    })};
    struct stat st {};
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    std::string text(std::min<std::size_t>(maxLength, 1 << 20), '\0');
    std::size_t length = 0;
    while (length < maxLength) {
        if (length == text.size()) {
            text.resize(std::min(maxLength, 2 * text.size()));
        }
        const ssize_t n = posixio::readSome(fd.fd, text.data() + length, text.size() - length);
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        length += static_cast<std::size_t>(n);
    }
    text.resize(length);
    return text;
}

} // namespace quorvane

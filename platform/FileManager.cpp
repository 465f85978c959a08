#include "platform/FileManager.h"

#include "platform/FolderListing.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"

#include <algorithm>
#include <atomic>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <linux/fs.h>
#include <memory>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::size_t kKernelCopyChunk = std::size_t{1} << 30;
// Comparisons read both files through buffers of this size on the stack: most add-on files fit at once.
constexpr std::size_t kCompareBlockSize = 64 * 1024;

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

using DirPtr = std::unique_ptr<FolderListing>;

// Makes a call at the path's folder; should that folder have been removed since it was opened, once more
// on the whole path, which may lead to a folder made there since.
template <typename Call>
auto atPath(const std::string& path, Call call) {
    PathInFolder at(path);
    auto result = call(at.folder(), at.name());
    if (result < 0 && errno == ENOENT && at.folderWasRemoved()) {
        result = call(at.folder(), at.name());
    }
    return result;
}

// The same for a call on two paths.
template <typename Call>
int atPaths(const std::string& path1, const std::string& path2, Call call) {
    PathInFolder at1(path1);
    PathInFolder at2(path2);
    int result = call(at1.folder(), at1.name(), at2.folder(), at2.name());
    if (result < 0 && errno == ENOENT && (at1.folderWasRemoved() | at2.folderWasRemoved())) {
        result = call(at1.folder(), at1.name(), at2.folder(), at2.name());
    }
    return result;
}

// A look without a second try: through a folder removed since it was opened, the entry is missing, as it
// would have been a moment earlier; a change that follows the look checks again.
int statAt(const std::string& path, struct stat* st, bool followLink) {
    const PathInFolder at(path);
    return ::fstatat(at.folder(), at.name(), st, followLink ? 0 : AT_SYMLINK_NOFOLLOW);
}

// A folder opened for listing; nofollow refuses a link in the name's place.
DirPtr openFolderAt(int folder, const char* name, bool nofollow) {
    const int fd = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (nofollow ? O_NOFOLLOW : 0));
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<FolderListing>(fd);
}

std::vector<std::string> listNames(FolderListing* dir) {
    std::vector<std::string> names;
    while (const dirent64* entry = dir->next()) {
        names.emplace_back(entry->d_name);
    }
    return names;
}

std::vector<std::string> listNames(const std::string& path) {
    DirPtr dir = openFolderAt(AT_FDCWD, path.c_str(), true);
    return dir ? listNames(dir.get()) : std::vector<std::string>();
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// File systems (by device) that refused to share a copy's data, shared by the threads of one manager.
struct NoReflinkDevices {
    std::mutex* lock;
    std::vector<std::uint64_t>* devices;
    bool contains(std::uint64_t device) const {
        const std::lock_guard<std::mutex> locked(*lock);
        return std::find(devices->begin(), devices->end(), device) != devices->end();
    }
    void add(std::uint64_t device) const {
        const std::lock_guard<std::mutex> locked(*lock);
        if (std::find(devices->begin(), devices->end(), device) == devices->end()) {
            devices->push_back(device);
        }
    }
};

// Copies the data of one regular file: a reflink where the file system offers one, else the kernel's
// in-place copy, else plain reads and writes. The kernel copy goes on to the end of the file, so a source
// that grew since it was measured is copied whole; one that has its measured size is copied in one call. File systems (by device) that refused a reflink are
// noted in noReflink and not asked again.
bool copyFileData(int in, int out, std::uint64_t device, off_t size, const NoReflinkDevices& noReflink) {
    if (!noReflink.contains(device)) {
        if (::ioctl(out, FICLONE, in) == 0) {
            return true;
        }
        // Within one file system, these say it has no reflinks at all (EXDEV depends on the destination).
        if (errno == EOPNOTSUPP || errno == ENOTTY || errno == ENOSYS) {
            noReflink.add(device);
        }
    }
    // First one byte more than measured: a file that has its measured size then ends in the same call.
    std::size_t want = size >= 0 && static_cast<std::uint64_t>(size) < kKernelCopyChunk
                           ? static_cast<std::size_t>(size) + 1
                           : kKernelCopyChunk;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, want, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            break; // no kernel copy here: the rest by reading and writing, from where it stopped
        }
        if (n < 0) {
            return false;
        }
        if (n == 0 || (want != kKernelCopyChunk && static_cast<std::size_t>(n) == want - 1)) {
            return true;
        }
        want = kKernelCopyChunk;
    }
    std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    for (;;) {
        const ssize_t n = ::read(in, buffer.get(), kBlockSize);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!writeAll(out, buffer.get(), static_cast<std::size_t>(n))) {
            return false;
        }
    }
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

// What one copy works with, and what it counts.
struct CopyContext {
    NoReflinkDevices noReflink;
    mode_t creationMask;
    std::vector<FileManager::CopyOutcome::LeftOut>* leftOut;
    std::size_t entries = 0; // entries made, the top one included
    bool topIsFolder = false;
    const std::atomic<bool>* stop = nullptr; // set: the copy ends before its next entry
    int error = 0; // the system's error number of the failure that ended the copy
};

// Ends the copy with the system's error number, errno unless told otherwise.
bool copyFailed(CopyContext& context, int error = errno) {
    context.error = error != 0 ? error : EIO;
    return false;
}

// An entry beneath the copied folder that is not copied: the copy goes on without it. One that cannot be
// read is named with the system's error number, errno unless told otherwise.
bool leaveOut(CopyContext& context, const std::string& from, FileManager::EntryKind kind, int error = errno) {
    context.leftOut->push_back(
        {from, kind, kind == FileManager::EntryKind::missing && error == 0 ? EIO : error});
    return true;
}

// One end of a copy: a name in an open folder; the source's path names it in what is left out.
struct CopyEnd {
    int folder;
    const char* name;
};

// Copies the data of an open regular file to the new file to, made with the source's permission bits
// less the creation mask (as any new file is): never set-user-id, set-group-id or sticky.
bool copyRegularFile(int in, CopyEnd to, const struct stat& st, bool* created, CopyContext& context) {
    FdCloser out{::openat(to.folder, to.name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777)};
    if (out.fd < 0) {
        return copyFailed(context);
    }
    *created = true;
    ++context.entries;
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    if (!copyFileData(in, out.fd, static_cast<std::uint64_t>(st.st_dev), st.st_size, context.noReflink) ||
        ::futimens(out.fd, times.data()) != 0) {
        return copyFailed(context);
    }
    const int closed = ::close(out.fd);
    out.fd = -1;
    return closed == 0 || copyFailed(context);
}

// Copies the item at from (fromPath) to the free name to; top tells whether it is the item asked for or
// an entry beneath it. *created tells whether anything was made at to, so that a failed copy removes its
// own remains and never an item that was there before. Nothing beneath the top is followed through a link:
// entries are looked up in the descriptors of the folders being copied, one name at a time.
// Beneath the top, the kind the listing gave (a dirent d_type) spares the first look where it is a file or
// folder; either is looked at through its open descriptor all the same.
bool copyTree(CopyEnd from, const std::string& fromPath, CopyEnd to, bool top, bool* created,
              CopyContext& context, unsigned char listedType = DT_UNKNOWN) {
    using Kind = FileManager::EntryKind;
    *created = false;
    struct stat st {};
    if (listedType == DT_REG || listedType == DT_DIR) {
        st.st_mode = listedType == DT_DIR ? S_IFDIR : S_IFREG;
    } else if (::fstatat(from.folder, from.name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return top ? copyFailed(context) : leaveOut(context, fromPath, Kind::missing);
    }
    if (S_ISLNK(st.st_mode)) {
        if (!top) {
            return leaveOut(context, fromPath, Kind::symbolicLink, 0);
        }
        std::string target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 256, '\0');
        const ssize_t n = ::readlinkat(from.folder, from.name, target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
            return copyFailed(context, n < 0 ? errno : ENAMETOOLONG);
        }
        target.resize(static_cast<std::size_t>(n));
        if (::symlinkat(target.c_str(), to.folder, to.name) != 0) {
            return copyFailed(context);
        }
        *created = true;
        ++context.entries;
        const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
        ::utimensat(to.folder, to.name, times.data(), AT_SYMLINK_NOFOLLOW);
        return true;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // Devices, sockets and pipes are no add-on content.
        return top ? copyFailed(context, ENOTSUP) : leaveOut(context, fromPath, Kind::special, 0);
    }
    // Opened without following a link or waiting for a pipe, should the entry have changed since it was
    // looked at; and looked at again through the open descriptor.
    FdCloser in{::openat(from.folder, from.name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK |
                                                     (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0))};
    if (in.fd < 0 && !top && errno == ELOOP) {
        return leaveOut(context, fromPath, Kind::symbolicLink, 0); // a link now
    }
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0) {
        return top ? copyFailed(context) : leaveOut(context, fromPath, Kind::missing);
    }
    if (S_ISREG(st.st_mode)) {
        return copyRegularFile(in.fd, to, st, created, context);
    }
    if (!S_ISDIR(st.st_mode)) {
        return top ? copyFailed(context, ENOTSUP) : leaveOut(context, fromPath, Kind::special, 0);
    }
    const auto dir = std::make_unique<FolderListing>(in.fd);
    in.fd = -1; // the listing owns it now
    if (::mkdirat(to.folder, to.name, 0700) != 0) {
        return copyFailed(context);
    }
    *created = true;
    context.topIsFolder = context.topIsFolder || top;
    ++context.entries;
    // The new folder, held by its descriptor: its entries are made in it, never through a link.
    FdCloser out{::openat(to.folder, to.name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (out.fd < 0) {
        return copyFailed(context);
    }
    const int fromFolder = dir->fd();
    while (const dirent64* entry = dir->next()) {
        if (context.stop && context.stop->load(std::memory_order_relaxed)) {
            return copyFailed(context, ECANCELED);
        }
        bool childCreated = false;
        if (!copyTree({fromFolder, entry->d_name}, path::stringByAppendingPathComponent(fromPath, entry->d_name),
                      {out.fd, entry->d_name}, false, &childCreated, context, entry->d_type)) {
            return false;
        }
    }
    // The folder's own mode and time last: its contents are written by now.
    if (::fchmod(out.fd, st.st_mode & 0777 & ~context.creationMask) != 0) {
        return copyFailed(context);
    }
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    ::futimens(out.fd, times.data());
    return true;
}

bool removeTree(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        return ::unlink(path.c_str()) == 0;
    }
    // A folder without write or search permission of its own cannot be emptied: grant it first.
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        ::chmod(path.c_str(), st.st_mode | S_IRWXU);
    }
    bool ok = true;
    for (const std::string& name : listNames(path)) {
        ok = removeTree(path::stringByAppendingPathComponent(path, name)) && ok;
    }
    return ::rmdir(path.c_str()) == 0 && ok;
}

// Reads until the buffer is full or the file ends; -1 on a read error.
ssize_t readFull(int fd, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Compares two files of the same measured size block by block, stopping at the first difference. Each
// side is read to its end, so a file that changed its length since it was measured is never equal.
bool sameFileContents(CopyEnd file1, CopyEnd file2, off_t size) {
    // Without following a link or waiting for a pipe, should either have changed since it was looked at.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    FdCloser a{::openat(file1.folder, file1.name, kFlags)};
    if (a.fd < 0) {
        return false;
    }
    FdCloser b{::openat(file2.folder, file2.name, kFlags)};
    if (b.fd < 0) {
        return false;
    }
    char bufferA[kCompareBlockSize];
    char bufferB[kCompareBlockSize];
    // One byte more than is left, while that fits: a file at its measured end then needs no extra read.
    auto want = [](off_t left) {
        return static_cast<std::size_t>(std::min<off_t>(left + 1, static_cast<off_t>(kCompareBlockSize)));
    };
    for (off_t left = size;;) {
        const std::size_t block = want(left);
        const ssize_t na = readFull(a.fd, bufferA, block);
        const ssize_t nb = readFull(b.fd, bufferB, block);
        if (na < 0 || na != nb || std::memcmp(bufferA, bufferB, static_cast<std::size_t>(na)) != 0) {
            return false;
        }
        if (static_cast<std::size_t>(na) < block) {
            return true; // both at their end
        }
        left = std::max<off_t>(left - na, 0);
    }
}

// Entries are looked up name by name in the folders being compared, never through a link beneath them.
bool equalEntries(CopyEnd entry1, CopyEnd entry2) {
    struct stat a {};
    struct stat b {};
    if (::fstatat(entry1.folder, entry1.name, &a, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstatat(entry2.folder, entry2.name, &b, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    if ((a.st_mode & S_IFMT) != (b.st_mode & S_IFMT)) {
        return false;
    }
    if (S_ISLNK(a.st_mode)) {
        std::array<char, 4096> ta{};
        std::array<char, 4096> tb{};
        const ssize_t na = ::readlinkat(entry1.folder, entry1.name, ta.data(), ta.size());
        const ssize_t nb = ::readlinkat(entry2.folder, entry2.name, tb.data(), tb.size());
        return na >= 0 && na == nb && std::memcmp(ta.data(), tb.data(), static_cast<std::size_t>(na)) == 0;
    }
    if (S_ISREG(a.st_mode)) {
        if (a.st_size != b.st_size) {
            return false;
        }
        if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
            return true;
        }
        return sameFileContents(entry1, entry2, a.st_size);
    }
    if (S_ISDIR(a.st_mode)) {
        DirPtr dir1 = openFolderAt(entry1.folder, entry1.name, true);
        DirPtr dir2 = openFolderAt(entry2.folder, entry2.name, true);
        if (!dir1 || !dir2) {
            return false;
        }
        std::vector<std::string> names1 = listNames(dir1.get());
        std::vector<std::string> names2 = listNames(dir2.get());
        std::sort(names1.begin(), names1.end());
        std::sort(names2.begin(), names2.end());
        if (names1 != names2) {
            return false;
        }
        const int folder1 = dir1->fd();
        const int folder2 = dir2->fd();
        return std::all_of(names1.begin(), names1.end(), [&](const std::string& name) {
            return equalEntries({folder1, name.c_str()}, {folder2, name.c_str()});
        });
    }
    return false;
}

// Lists the open folder's descendants below relative; folders beneath are opened by name, never through a
// link.
void collectSubpaths(FolderListing* dir, const std::string& relative, std::vector<std::string>* out,
                     std::size_t* count) {
    const int dirFd = dir->fd();
    while (const dirent64* entry = dir->next()) {
        ++*count;
        bool isDir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDir = ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        const bool needsPath = out || isDir;
        const std::string child = needsPath ? path::stringByAppendingPathComponent(relative, entry->d_name) : "";
        if (out) {
            out->push_back(child);
        }
        if (isDir) {
            if (DirPtr sub = openFolderAt(dirFd, entry->d_name, true)) {
                collectSubpaths(sub.get(), child, out, count);
            }
        }
    }
}

// The folder at the path, a link to one followed, opened for listing.
DirPtr openFolderAtPath(const std::string& path) {
    PathInFolder at(path);
    DirPtr dir = openFolderAt(at.folder(), at.name(), false);
    if (!dir && errno == ENOENT && at.folderWasRemoved()) {
        dir = openFolderAt(at.folder(), at.name(), false);
    }
    return dir;
}

// The latest failure of a file operation on this thread.
thread_local int lastFailure = 0;

} // namespace

bool FileManager::fileExistsAtPath(const std::string& path) const { return fileExistsAtPath(path, nullptr); }

bool FileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
    struct stat st {};
    const bool exists = !path.empty() && statAt(path, &st, true) == 0;
    if (isDirectory) {
        *isDirectory = exists && S_ISDIR(st.st_mode);
    }
    return exists;
}

bool FileManager::entryExistsAtPath(const std::string& path) const {
    struct stat st {};
    return !path.empty() && statAt(path, &st, false) == 0;
}

FileManager::EntryState FileManager::entryStateAtPath(const std::string& path) const {
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

bool FileManager::isSymbolicLinkAtPath(const std::string& path) const {
    struct stat st {};
    return !path.empty() && statAt(path, &st, false) == 0 && S_ISLNK(st.st_mode);
}

FileManager::EntryKind FileManager::entryKindAtPath(const std::string& path, bool traverseLink) const {
    struct stat st {};
    if (path.empty() || statAt(path, &st, traverseLink) != 0) {
        return EntryKind::missing;
    }
    if (S_ISLNK(st.st_mode)) {
        return EntryKind::symbolicLink;
    }
    return S_ISDIR(st.st_mode)   ? EntryKind::folder
           : S_ISREG(st.st_mode) ? EntryKind::file
                                 : EntryKind::special;
}

std::optional<std::string> FileManager::resolvedPathAtPath(const std::string& path) const {
    std::unique_ptr<char, decltype(&std::free)> resolved(
        path.empty() ? nullptr : ::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::optional<std::string>(resolved.get()) : std::nullopt;
}

bool FileManager::createDirectoryAtPath(const std::string& path) {
    return !path.empty() &&
           (atPath(path, [](int folder, const char* name) { return ::mkdirat(folder, name, 0777); }) == 0 ||
            _failed());
}

bool FileManager::removeFileAtPath(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const bool removed = removeTree(path);
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
        if (entryExistsAtPath(to)) {
            errno = EEXIST;
            return _failed();
        }
        moved = ::rename(from.c_str(), to.c_str());
    }
    return _forgetMoved(from, to, moved == 0);
}

bool FileManager::copyPath(const std::string& from, const std::string& to, CopyOutcome* outcome) {
    if (from.empty() || to.empty()) {
        return false;
    }
    // Nothing is ever written over: the copy's first step creates its destination exclusively.
    bool created = false;
    std::vector<CopyOutcome::LeftOut> leftOut;
    CopyContext context{{&_reflinkLock, &_devicesWithoutReflink}, static_cast<mode_t>(_creationMask), &leftOut};
    context.stop = outcome ? outcome->stopRequested : nullptr;
    PathInFolder source(from);
    PathInFolder destination(to);
    bool copied = copyTree({source.folder(), source.name()}, from, {destination.folder(), destination.name()},
                           true, &created, context);
    if (!copied && !created && context.error == ENOENT &&
        (source.folderWasRemoved() | destination.folderWasRemoved())) {
        leftOut.clear();
        context.entries = 0;
        context.error = 0;
        copied = copyTree({source.folder(), source.name()}, from, {destination.folder(), destination.name()},
                          true, &created, context);
    }
    if (copied) {
        if (outcome) {
            outcome->folder = context.topIsFolder;
            outcome->descendants = context.entries - 1;
            outcome->leftOut = std::move(leftOut);
        }
        return true;
    }
    lastFailure = context.error != 0 ? context.error : EIO;
    if (created) {
        removeTree(to);
        PathInFolder::forgetFolder(to);
    }
    return false;
}

bool FileManager::contentsEqualAtPath(const std::string& path1, const std::string& path2) const {
    if (path1.empty() || path2.empty()) {
        return false;
    }
    PathInFolder at1(path1);
    PathInFolder at2(path2);
    errno = 0;
    if (equalEntries({at1.folder(), at1.name()}, {at2.folder(), at2.name()})) {
        return true;
    }
    return errno == ENOENT && (at1.folderWasRemoved() | at2.folderWasRemoved()) &&
           equalEntries({at1.folder(), at1.name()}, {at2.folder(), at2.name()});
}

std::vector<std::string> FileManager::subpathsAtPath(const std::string& path) const {
    std::vector<std::string> subpaths;
    std::size_t count = 0;
    if (DirPtr dir = path.empty() ? nullptr : openFolderAtPath(path)) {
        collectSubpaths(dir.get(), "", &subpaths, &count);
    }
    return subpaths;
}

std::size_t FileManager::countSubpathsAtPath(const std::string& path) const {
    std::size_t count = 0;
    if (DirPtr dir = path.empty() ? nullptr : openFolderAtPath(path)) {
        collectSubpaths(dir.get(), "", nullptr, &count);
    }
    return count;
}

std::optional<std::vector<std::string>> FileManager::directoryContentsAtPath(const std::string& path) const {
    if (path.empty()) {
        return std::nullopt;
    }
    DirPtr dir = openFolderAtPath(path);
    if (!dir) {
        _failed();
        return std::nullopt;
    }
    return listNames(dir.get());
}

bool FileManager::changeCurrentDirectoryPath(const std::string& path) {
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

std::optional<std::uint64_t> FileManager::fileSizeAtPath(const std::string& path, bool traverseLink) const {
    struct stat st {};
    if (path.empty() || statAt(path, &st, traverseLink) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> FileManager::stringWithContentsOfFile(const std::string& path) const {
    return leadingStringOfFile(path, std::numeric_limits<std::size_t>::max());
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
    const int moved = atPaths(from, to, [](int fromFolder, const char* fromName, int toFolder, const char* toName) {
        return ::renameat(fromFolder, fromName, toFolder, toName);
    });
    return _forgetMoved(from, to, moved == 0);
}

bool FileManager::exchangePath(const std::string& path1, const std::string& path2) {
    if (path1.empty() || path2.empty()) {
        return false;
    }
    const int swapped = atPaths(path1, path2, [](int folder1, const char* name1, int folder2, const char* name2) {
        return ::renameat2(folder1, name1, folder2, name2, RENAME_EXCHANGE);
    });
    return _forgetMoved(path1, path2, swapped == 0);
}

std::optional<std::pair<std::uint64_t, std::uint64_t>>
FileManager::fileIdentityAtPath(const std::string& path) const {
    struct stat st {};
    if (path.empty() || statAt(path, &st, true) != 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
}

std::optional<FileManager::EntryStamp> FileManager::entryStampAtPath(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return EntryStamp{static_cast<std::uint64_t>(st.st_size),
                      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

int FileManager::lastError() const { return lastFailure; }

bool FileManager::_failed() const {
    lastFailure = errno != 0 ? errno : EIO;
    return false;
}

bool FileManager::_forgetMoved(const std::string& path1, const std::string& path2, bool moved) {
    const int error = errno;
    if (moved) {
        PathInFolder::forgetFolder(path1);
        PathInFolder::forgetFolder(path2);
    }
    errno = error;
    return moved || _failed();
}

FileManager::FileManager()
    : _processId(static_cast<long>(::getpid())),
      _temporaryNonce(static_cast<unsigned long long>(
          std::chrono::steady_clock::now().time_since_epoch().count())),
      _creationMask(creationMaskOfProcess()) {}

std::string FileManager::temporaryPathBeside(const std::string& path) {
    char name[96];
    std::snprintf(name, sizeof name, "%s%ld-%llx-%lu", temporaryNamePrefix, _processId, _temporaryNonce,
                  ++_temporaryCounter);
    return path::stringByAppendingPathComponent(path::stringByDeletingLastPathComponent(path), name);
}

std::optional<std::string> FileManager::leadingStringOfFile(const std::string& path,
                                                            std::size_t maxLength) const {
    if (path.empty()) {
        return std::nullopt;
    }
    FdCloser fd{atPath(path, [](int folder, const char* name) {
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
        const ssize_t n = ::read(fd.fd, text.data() + length, text.size() - length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
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

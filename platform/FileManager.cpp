#include "platform/FileManager.h"

#include "platform/PathUtilities.h"

#include <algorithm>
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

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::vector<std::string> listNames(DIR* dir) {
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isDotOrDotDot(entry->d_name)) {
            names.emplace_back(entry->d_name);
        }
    }
    return names;
}

std::vector<std::string> listNames(const std::string& path) {
    DirPtr dir(::opendir(path.c_str()));
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

// Copies the data of one regular file: a reflink where the file system offers one, else the kernel's
// in-place copy, else plain reads and writes. The kernel copy goes on to the end of the file, so a source
// that grew since it was measured is copied whole. File systems (by device) that refused a reflink are
// noted in noReflink and not asked again.
bool copyFileData(int in, int out, std::uint64_t device, std::vector<std::uint64_t>* noReflink) {
    if (std::find(noReflink->begin(), noReflink->end(), device) == noReflink->end()) {
        if (::ioctl(out, FICLONE, in) == 0) {
            return true;
        }
        // Within one file system, these say it has no reflinks at all (EXDEV depends on the destination).
        if (errno == EOPNOTSUPP || errno == ENOTTY || errno == ENOSYS) {
            noReflink->push_back(device);
        }
    }
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kKernelCopyChunk, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            break; // no kernel copy here: the rest by reading and writing, from where it stopped
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
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

void setTimes(const std::string& path, const struct stat& st, bool link) {
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, path.c_str(), times.data(), link ? AT_SYMLINK_NOFOLLOW : 0);
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
    std::vector<std::uint64_t>* noReflink;
    mode_t creationMask;
    std::vector<FileManager::CopyOutcome::LeftOut>* leftOut;
    std::size_t entries = 0; // entries made, the top one included
    bool topIsFolder = false;
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

// Copies the data of an open regular file to the new file to, made with the source's permission bits
// less the creation mask (as any new file is): never set-user-id, set-group-id or sticky.
bool copyRegularFile(int in, const std::string& to, const struct stat& st, bool* created,
                     CopyContext& context) {
    FdCloser out{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777)};
    if (out.fd < 0) {
        return copyFailed(context);
    }
    *created = true;
    ++context.entries;
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    if (!copyFileData(in, out.fd, static_cast<std::uint64_t>(st.st_dev), context.noReflink) ||
        ::futimens(out.fd, times.data()) != 0) {
        return copyFailed(context);
    }
    const int closed = ::close(out.fd);
    out.fd = -1;
    return closed == 0 || copyFailed(context);
}

// Copies the item at from to the free path to; top tells whether it is the item asked for or an entry
// beneath it. *created tells whether anything was made at to, so that a failed copy removes its own
// remains and never an item that was there before. Nothing beneath the top is followed through a link.
bool copyTree(const std::string& from, const std::string& to, bool top, bool* created, CopyContext& context) {
    using Kind = FileManager::EntryKind;
    *created = false;
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) {
        return top ? copyFailed(context) : leaveOut(context, from, Kind::missing);
    }
    if (S_ISLNK(st.st_mode)) {
        if (!top) {
            return leaveOut(context, from, Kind::symbolicLink, 0);
        }
        std::string target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 256, '\0');
        const ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
            return copyFailed(context, n < 0 ? errno : ENAMETOOLONG);
        }
        target.resize(static_cast<std::size_t>(n));
        if (::symlink(target.c_str(), to.c_str()) != 0) {
            return copyFailed(context);
        }
        *created = true;
        ++context.entries;
        setTimes(to, st, true);
        return true;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // Devices, sockets and pipes are no add-on content.
        return top ? copyFailed(context, ENOTSUP) : leaveOut(context, from, Kind::special, 0);
    }
    // Opened without following a link or waiting for a pipe, should the entry have changed since it was
    // looked at; and looked at again through the open descriptor.
    FdCloser in{::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK |
                                         (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0))};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0) {
        return top ? copyFailed(context) : leaveOut(context, from, Kind::missing);
    }
    if (S_ISREG(st.st_mode)) {
        return copyRegularFile(in.fd, to, st, created, context);
    }
    if (!S_ISDIR(st.st_mode)) {
        return top ? copyFailed(context, ENOTSUP) : leaveOut(context, from, Kind::special, 0);
    }
    DirPtr dir(::fdopendir(in.fd));
    if (!dir) {
        return top ? copyFailed(context) : leaveOut(context, from, Kind::missing);
    }
    in.fd = -1; // the listing owns it now
    if (::mkdir(to.c_str(), 0700) != 0) {
        return copyFailed(context);
    }
    *created = true;
    context.topIsFolder = context.topIsFolder || top;
    ++context.entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        bool childCreated = false;
        if (!copyTree(path::stringByAppendingPathComponent(from, entry->d_name),
                      path::stringByAppendingPathComponent(to, entry->d_name), false, &childCreated,
                      context)) {
            return false;
        }
    }
    // The folder's own mode and time last: its contents are written by now.
    if (::chmod(to.c_str(), st.st_mode & 0777 & ~context.creationMask) != 0) {
        return copyFailed(context);
    }
    setTimes(to, st, false);
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
bool sameFileContents(const std::string& path1, const std::string& path2, off_t size) {
    FdCloser a{::open(path1.c_str(), O_RDONLY | O_CLOEXEC)};
    if (a.fd < 0) {
        return false;
    }
    FdCloser b{::open(path2.c_str(), O_RDONLY | O_CLOEXEC)};
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

bool equalEntries(const std::string& path1, const std::string& path2) {
    struct stat a {};
    struct stat b {};
    if (::lstat(path1.c_str(), &a) != 0 || ::lstat(path2.c_str(), &b) != 0) {
        return false;
    }
    if ((a.st_mode & S_IFMT) != (b.st_mode & S_IFMT)) {
        return false;
    }
    if (S_ISLNK(a.st_mode)) {
        std::array<char, 4096> ta{};
        std::array<char, 4096> tb{};
        const ssize_t na = ::readlink(path1.c_str(), ta.data(), ta.size());
        const ssize_t nb = ::readlink(path2.c_str(), tb.data(), tb.size());
        return na >= 0 && na == nb && std::memcmp(ta.data(), tb.data(), static_cast<std::size_t>(na)) == 0;
    }
    if (S_ISREG(a.st_mode)) {
        if (a.st_size != b.st_size) {
            return false;
        }
        if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
            return true;
        }
        return sameFileContents(path1, path2, a.st_size);
    }
    if (S_ISDIR(a.st_mode)) {
        std::vector<std::string> names1 = listNames(path1);
        std::vector<std::string> names2 = listNames(path2);
        std::sort(names1.begin(), names1.end());
        std::sort(names2.begin(), names2.end());
        if (names1 != names2) {
            return false;
        }
        return std::all_of(names1.begin(), names1.end(), [&](const std::string& name) {
            return equalEntries(path::stringByAppendingPathComponent(path1, name),
                                path::stringByAppendingPathComponent(path2, name));
        });
    }
    return false;
}

void collectSubpaths(const std::string& root, const std::string& relative, std::vector<std::string>* out,
                     std::size_t* count) {
    const std::string folder = relative.empty() ? root : path::stringByAppendingPathComponent(root, relative);
    DirPtr dir(::opendir(folder.c_str()));
    if (!dir) {
        return;
    }
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        const std::string child = path::stringByAppendingPathComponent(relative, entry->d_name);
        ++*count;
        bool isDir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDir = ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (out) {
            out->push_back(child);
        }
        if (isDir) {
            collectSubpaths(root, child, out, count);
        }
    }
}

} // namespace

bool FileManager::fileExistsAtPath(const std::string& path) const { return fileExistsAtPath(path, nullptr); }

bool FileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
    struct stat st {};
    const bool exists = !path.empty() && ::stat(path.c_str(), &st) == 0;
    if (isDirectory) {
        *isDirectory = exists && S_ISDIR(st.st_mode);
    }
    return exists;
}

bool FileManager::entryExistsAtPath(const std::string& path) const {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

FileManager::EntryState FileManager::entryStateAtPath(const std::string& path) const {
    EntryState state;
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) {
        return state;
    }
    state.entryExists = true;
    if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) {
        return state; // a link that leads nowhere
    }
    state.exists = true;
    state.isDirectory = S_ISDIR(st.st_mode);
    return state;
}

bool FileManager::isSymbolicLinkAtPath(const std::string& path) const {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

FileManager::EntryKind FileManager::entryKindAtPath(const std::string& path, bool traverseLink) const {
    struct stat st {};
    if (path.empty() || (traverseLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
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
    return !path.empty() && (::mkdir(path.c_str(), 0777) == 0 || _failed());
}

bool FileManager::removeFileAtPath(const std::string& path) {
    return !path.empty() && (removeTree(path) || _failed());
}

bool FileManager::movePath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    // The file system refuses to overwrite in the same step as the rename; where it cannot, look first.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return _failed();
    }
    if (entryExistsAtPath(to)) {
        errno = EEXIST;
        return _failed();
    }
    return ::rename(from.c_str(), to.c_str()) == 0 || _failed();
}

bool FileManager::copyPath(const std::string& from, const std::string& to, CopyOutcome* outcome) {
    if (from.empty() || to.empty()) {
        return false;
    }
    // Nothing is ever written over: the copy's first step creates its destination exclusively.
    bool created = false;
    std::vector<CopyOutcome::LeftOut> leftOut;
    CopyContext context{&_devicesWithoutReflink, static_cast<mode_t>(_creationMask), &leftOut};
    if (copyTree(from, to, true, &created, context)) {
        if (outcome) {
            outcome->folder = context.topIsFolder;
            outcome->descendants = context.entries - 1;
            outcome->leftOut = std::move(leftOut);
        }
        return true;
    }
    _lastError = context.error != 0 ? context.error : EIO;
    if (created) {
        removeTree(to);
    }
    return false;
}

bool FileManager::contentsEqualAtPath(const std::string& path1, const std::string& path2) const {
    return !path1.empty() && !path2.empty() && equalEntries(path1, path2);
}

std::vector<std::string> FileManager::subpathsAtPath(const std::string& path) const {
    std::vector<std::string> subpaths;
    std::size_t count = 0;
    if (!path.empty()) {
        collectSubpaths(path, "", &subpaths, &count);
    }
    return subpaths;
}

std::size_t FileManager::countSubpathsAtPath(const std::string& path) const {
    std::size_t count = 0;
    if (!path.empty()) {
        collectSubpaths(path, "", nullptr, &count);
    }
    return count;
}

std::optional<std::vector<std::string>> FileManager::directoryContentsAtPath(const std::string& path) const {
    if (path.empty()) {
        return std::nullopt;
    }
    DirPtr dir(::opendir(path.c_str()));
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
    if (path.empty() || (traverseLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> FileManager::stringWithContentsOfFile(const std::string& path) const {
    return leadingStringOfFile(path, std::numeric_limits<std::size_t>::max());
}

bool FileManager::linkPath(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && (::link(from.c_str(), to.c_str()) == 0 || _failed());
}

bool FileManager::replacePath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return _failed();
    }
    return ::rename(from.c_str(), to.c_str()) == 0 || _failed();
}

bool FileManager::exchangePath(const std::string& path1, const std::string& path2) {
    return !path1.empty() && !path2.empty() &&
           (::renameat2(AT_FDCWD, path1.c_str(), AT_FDCWD, path2.c_str(), RENAME_EXCHANGE) == 0 || _failed());
}

std::optional<std::pair<std::uint64_t, std::uint64_t>>
FileManager::fileIdentityAtPath(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
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

bool FileManager::_failed() const {
    _lastError = errno != 0 ? errno : EIO;
    return false;
}

FileManager::FileManager()
    : _temporaryNonce(static_cast<unsigned long long>(
          std::chrono::steady_clock::now().time_since_epoch().count())),
      _creationMask(creationMaskOfProcess()) {}

std::string FileManager::temporaryPathBeside(const std::string& path) {
    char name[96];
    std::snprintf(name, sizeof name, "%s%ld-%llx-%lu", temporaryNamePrefix, static_cast<long>(::getpid()),
                  _temporaryNonce, ++_temporaryCounter);
    return path::stringByAppendingPathComponent(path::stringByDeletingLastPathComponent(path), name);
}

std::optional<std::string> FileManager::leadingStringOfFile(const std::string& path,
                                                            std::size_t maxLength) const {
    if (path.empty()) {
        return std::nullopt;
    }
    FdCloser fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
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

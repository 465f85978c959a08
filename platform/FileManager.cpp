#include "platform/FileManager.h"

#include "platform/PathUtilities.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;

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

std::vector<std::string> listNames(const std::string& path) {
    std::vector<std::string> names;
    DirPtr dir(::opendir(path.c_str()));
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!isDotOrDotDot(entry->d_name)) {
            names.emplace_back(entry->d_name);
        }
    }
    return names;
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
// in-place copy, else plain reads and writes.
bool copyFileData(int in, int out, off_t size) {
    if (::ioctl(out, FICLONE, in) == 0) {
        return true;
    }
    off_t copied = 0;
    bool kernelCopy = true;
    while (copied < size && kernelCopy) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(size - copied), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            kernelCopy = false;
            break;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break; // the source shrank: copy what is there
        }
        copied += n;
    }
    if (kernelCopy) {
        // The source may have grown since it was measured: take the rest by reading.
        if (::lseek(in, copied, SEEK_SET) < 0 || ::lseek(out, copied, SEEK_SET) < 0) {
            return false;
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

bool copyRegularFile(const std::string& from, const std::string& to, const struct stat& st) {
    FdCloser in{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) {
        return false;
    }
    FdCloser out{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    if (out.fd < 0) {
        return false;
    }
    bool ok = copyFileData(in.fd, out.fd, st.st_size);
    ok = ok && ::fchmod(out.fd, st.st_mode & 07777) == 0;
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    ok = ok && ::futimens(out.fd, times.data()) == 0;
    const int closed = ::close(out.fd);
    out.fd = -1;
    return ok && closed == 0;
}

bool copyTree(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) {
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        std::string target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 256, '\0');
        const ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
            return false;
        }
        target.resize(static_cast<std::size_t>(n));
        if (::symlink(target.c_str(), to.c_str()) != 0) {
            return false;
        }
        setTimes(to, st, true);
        return true;
    }
    if (S_ISREG(st.st_mode)) {
        return copyRegularFile(from, to, st);
    }
    if (!S_ISDIR(st.st_mode)) {
        return false; // devices, sockets and pipes are no add-on content
    }
    if (::mkdir(to.c_str(), 0700) != 0) {
        return false;
    }
    DirPtr dir(::opendir(from.c_str()));
    if (!dir) {
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        if (!copyTree(path::stringByAppendingPathComponent(from, entry->d_name),
                      path::stringByAppendingPathComponent(to, entry->d_name))) {
            ok = false;
            break;
        }
    }
    // The folder's own mode and time last: its contents are written by now.
    ok = ok && ::chmod(to.c_str(), st.st_mode & 07777) == 0;
    setTimes(to, st, false);
    return ok;
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

bool sameFileContents(const std::string& path1, const std::string& path2) {
    FdCloser a{::open(path1.c_str(), O_RDONLY | O_CLOEXEC)};
    FdCloser b{::open(path2.c_str(), O_RDONLY | O_CLOEXEC)};
    if (a.fd < 0 || b.fd < 0) {
        return false;
    }
    std::unique_ptr<char[]> bufferA(new char[kBlockSize]);
    std::unique_ptr<char[]> bufferB(new char[kBlockSize]);
    for (;;) {
        const ssize_t na = readFull(a.fd, bufferA.get(), kBlockSize);
        const ssize_t nb = readFull(b.fd, bufferB.get(), kBlockSize);
        if (na < 0 || na != nb || std::memcmp(bufferA.get(), bufferB.get(), static_cast<std::size_t>(na)) != 0) {
            return false;
        }
        if (na == 0) {
            return true;
        }
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
        return sameFileContents(path1, path2);
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

bool FileManager::isSymbolicLinkAtPath(const std::string& path) const {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool FileManager::createDirectoryAtPath(const std::string& path) {
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool FileManager::removeFileAtPath(const std::string& path) { return !path.empty() && removeTree(path); }

bool FileManager::movePath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty() || entryExistsAtPath(to)) {
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool FileManager::copyPath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty() || entryExistsAtPath(to)) {
        return false;
    }
    if (copyTree(from, to)) {
        return true;
    }
    removeTree(to);
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
        return std::nullopt;
    }
    dir.reset();
    return listNames(path);
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
    if (path.empty()) {
        return std::nullopt;
    }
    FdCloser fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat st {};
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    std::string text;
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd.fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return text;
        }
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

bool FileManager::linkPath(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && ::link(from.c_str(), to.c_str()) == 0;
}

bool FileManager::replacePath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>>
FileManager::fileIdentityAtPath(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
}

std::string FileManager::temporaryPathBeside(const std::string& path) {
    const std::string folder = path::stringByDeletingLastPathComponent(path);
    for (;;) {
        const std::string name = std::string(temporaryNamePrefix) + std::to_string(::getpid()) + "-" +
                                 std::to_string(++_temporaryCounter);
        std::string candidate = path::stringByAppendingPathComponent(folder, name);
        if (!entryExistsAtPath(candidate)) {
            return candidate;
        }
    }
}

} // namespace quorvane

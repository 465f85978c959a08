#include "platform/TreeWalks.h"

#include "platform/FdCloser.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

// Comparisons read both files through buffers of this size on the stack: most add-on files fit at once.
constexpr std::size_t kCompareBlockSize = 64 * 1024;

// Compares two files of the same measured size block by block, stopping at the first difference. Each
// side is read to its end, so a file that changed its length since it was measured is never equal.
bool sameFileContents(NameInFolder file1, NameInFolder file2, off_t size) {
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
        const ssize_t na = posixio::readFull(a.fd, bufferA, block);
        const ssize_t nb = posixio::readFull(b.fd, bufferB, block);
        if (na < 0 || na != nb || std::memcmp(bufferA, bufferB, static_cast<std::size_t>(na)) != 0) {
            return false;
        }
        if (static_cast<std::size_t>(na) < block) {
            return true; // both at their end
        }
        left = std::max<off_t>(left - na, 0);
    }
}

} // namespace

bool removeTree(NameInFolder entry) {
    struct stat st {};
    if (::fstatat(entry.folder, entry.name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        return ::unlinkat(entry.folder, entry.name, 0) == 0;
    }
    // A folder without write or search permission of its own cannot be emptied: grant it first, through a
    // descriptor of the folder itself, so that a link put in its place meanwhile is never followed.
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        const FdCloser folder{
            ::openat(entry.folder, entry.name, O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC)};
        if (folder.fd >= 0) {
            char self[48];
            std::snprintf(self, sizeof self, "/proc/self/fd/%d", folder.fd);
            ::chmod(self, st.st_mode | S_IRWXU);
        }
    }
    bool ok = true;
    if (std::unique_ptr<FolderListing> dir = FolderListing::openAt(entry.folder, entry.name, true)) {
        for (const std::string& name : dir->names()) {
            ok = removeTree({dir->fd(), name.c_str()}) && ok;
        }
    }
    return ::unlinkat(entry.folder, entry.name, AT_REMOVEDIR) == 0 && ok;
}

bool equalEntries(NameInFolder entry1, NameInFolder entry2) {
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
        std::unique_ptr<FolderListing> dir1 = FolderListing::openAt(entry1.folder, entry1.name, true);
        std::unique_ptr<FolderListing> dir2 = FolderListing::openAt(entry2.folder, entry2.name, true);
        if (!dir1 || !dir2) {
            return false;
        }
        std::vector<std::string> names1 = dir1->names();
        std::vector<std::string> names2 = dir2->names();
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
        const std::string child = needsPath ? path::join(relative, entry->d_name) : "";
        if (out) {
            out->push_back(child);
        }
        if (isDir) {
            if (std::unique_ptr<FolderListing> sub = FolderListing::openAt(dirFd, entry->d_name, true)) {
                collectSubpaths(sub.get(), child, out, count);
            }
        }
    }
}

} // namespace quorvane

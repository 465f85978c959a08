#include "platform/TreeCopy.h"

#include "platform/FdCloser.h"
#include "platform/FolderListing.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::size_t kKernelCopyChunk = std::size_t{1} << 30;

// Copies the data of one regular file: a reflink where the file system offers one, else the kernel's
// in-place copy, else plain reads and writes. The kernel copy goes on to the end of the file, so a source
// that grew since it was measured is copied whole; one that has its measured size is copied in one call.
// File systems (by device) that refused a reflink are noted in noReflink and not asked again.
bool copyFileData(int in, int out, std::uint64_t device, off_t size,
                  const TreeCopy::NoReflinkDevices& noReflink) {
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
        const ssize_t n =
            posixio::retryInterrupted([&] { return ::copy_file_range(in, nullptr, out, nullptr, want, 0); });
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
        const ssize_t n = posixio::readSome(in, buffer.get(), kBlockSize);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (!posixio::writeAll(out, {buffer.get(), static_cast<std::size_t>(n)})) {
            return false;
        }
    }
}

} // namespace

bool TreeCopy::NoReflinkDevices::contains(std::uint64_t device) const {
    const std::lock_guard<std::mutex> locked(*lock);
    return std::find(devices->begin(), devices->end(), device) != devices->end();
}

void TreeCopy::NoReflinkDevices::add(std::uint64_t device) const {
    const std::lock_guard<std::mutex> locked(*lock);
    if (std::find(devices->begin(), devices->end(), device) == devices->end()) {
        devices->push_back(device);
    }
}

TreeCopy::TreeCopy(NoReflinkDevices noReflink, mode_t creationMask, const std::atomic<bool>* stopRequested,
                   bool nameWhenWhole)
    : _noReflink(noReflink), _creationMask(creationMask), _stop(stopRequested),
      _nameWhenWhole(nameWhenWhole) {}

bool TreeCopy::copy(NameInFolder from, const std::string& fromPath, NameInFolder to, bool* created) {
    _leftOut.clear();
    _entries = 0;
    _topIsFolder = false;
    _error = 0;
    return _copyTree(from, fromPath, to, true, created, DT_UNKNOWN);
}

bool TreeCopy::_copyFailed(int error) {
    _error = error != 0 ? error : EIO;
    return false;
}

bool TreeCopy::_leaveOut(const std::string& from, FileManager::EntryKind kind, int error) {
    _leftOut.push_back({from, kind, kind == FileManager::EntryKind::missing && error == 0 ? EIO : error});
    return true;
}

// Copies the data of the open regular file in to the new file to, made with the source's permission bits
// less the creation mask (as any new file is): never set-user-id, set-group-id or sticky.
bool TreeCopy::_copyRegularFile(int in, NameInFolder to, const struct stat& st, bool* created, bool top) {
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    // A file asked for by itself may be written as a file without a name in its destination's folder,
    // and named when it is whole: no one ever sees it half written, and a program killed meanwhile leaves
    // nothing behind. The name is given with a link that refuses to overwrite.
    if (top && _nameWhenWhole) {
        const std::string_view name(to.name);
        const std::size_t slash = name.rfind('/');
        const std::string folder = slash == std::string_view::npos ? std::string(".")
                                   : slash == 0                    ? std::string("/")
                                                                   : std::string(name.substr(0, slash));
        FdCloser out{
            ::openat(to.folder, folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, st.st_mode & 0777)};
        if (out.fd >= 0) {
            if (!copyFileData(in, out.fd, static_cast<std::uint64_t>(st.st_dev), st.st_size, _noReflink) ||
                ::futimens(out.fd, times.data()) != 0) {
                return _copyFailed();
            }
            char self[48];
            std::snprintf(self, sizeof self, "/proc/self/fd/%d", out.fd);
            if (::linkat(AT_FDCWD, self, to.folder, to.name, AT_SYMLINK_FOLLOW) != 0) {
                return _copyFailed();
            }
            *created = true;
            ++_entries;
            return true;
        }
        // A file system without files that have no name.
        return _copyFailed(errno == EISDIR || errno == EINVAL ? EOPNOTSUPP : errno);
    }
    FdCloser out{::openat(to.folder, to.name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777)};
    if (out.fd < 0) {
        return _copyFailed();
    }
    *created = true;
    ++_entries;
    if (!copyFileData(in, out.fd, static_cast<std::uint64_t>(st.st_dev), st.st_size, _noReflink) ||
        ::futimens(out.fd, times.data()) != 0) {
        return _copyFailed();
    }
    const int closed = ::close(out.fd);
    out.fd = -1;
    return closed == 0 || _copyFailed();
}

// Copies one item, the one asked for (top) or an entry beneath it, and a folder's entries in turn. Beneath
// the top, the kind the listing gave (a dirent d_type) spares the first look where it is a file or folder;
// either is looked at through its open descriptor all the same.
bool TreeCopy::_copyTree(NameInFolder from, const std::string& fromPath, NameInFolder to, bool top,
                         bool* created, unsigned char listedType) {
    using Kind = FileManager::EntryKind;
    *created = false;
    struct stat st {};
    if (listedType == DT_REG || listedType == DT_DIR) {
        st.st_mode = listedType == DT_DIR ? S_IFDIR : S_IFREG;
    } else if (::fstatat(from.folder, from.name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return top ? _copyFailed() : _leaveOut(fromPath, Kind::missing);
    }
    if (S_ISLNK(st.st_mode)) {
        if (!top) {
            return _leaveOut(fromPath, Kind::symbolicLink, 0);
        }
        std::string target(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 256, '\0');
        const ssize_t n = ::readlinkat(from.folder, from.name, target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
            return _copyFailed(n < 0 ? errno : ENAMETOOLONG);
        }
        target.resize(static_cast<std::size_t>(n));
        if (::symlinkat(target.c_str(), to.folder, to.name) != 0) {
            return _copyFailed();
        }
        *created = true;
        ++_entries;
        const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
        ::utimensat(to.folder, to.name, times.data(), AT_SYMLINK_NOFOLLOW);
        return true;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // Devices, sockets and pipes are no add-on content.
        return top ? _copyFailed(ENOTSUP) : _leaveOut(fromPath, Kind::special, 0);
    }
    // Opened without following a link or waiting for a pipe, should the entry have changed since it was
    // looked at; and looked at again through the open descriptor.
    FdCloser in{
        ::openat(from.folder, from.name,
                 O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0))};
    if (in.fd < 0 && !top && errno == ELOOP) {
        return _leaveOut(fromPath, Kind::symbolicLink, 0); // a link now
    }
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0) {
        return top ? _copyFailed() : _leaveOut(fromPath, Kind::missing);
    }
    if (S_ISREG(st.st_mode)) {
        return _copyRegularFile(in.fd, to, st, created, top);
    }
    if (!S_ISDIR(st.st_mode)) {
        return top ? _copyFailed(ENOTSUP) : _leaveOut(fromPath, Kind::special, 0);
    }
    const auto dir = std::make_unique<FolderListing>(in.fd);
    in.fd = -1; // the listing owns it now
    if (::mkdirat(to.folder, to.name, 0700) != 0) {
        return _copyFailed();
    }
    *created = true;
    _topIsFolder = _topIsFolder || top;
    ++_entries;
    // The new folder, held by its descriptor: its entries are made in it, never through a link.
    FdCloser out{::openat(to.folder, to.name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (out.fd < 0) {
        return _copyFailed();
    }
    const int fromFolder = dir->fd();
    while (const dirent64* entry = dir->next()) {
        if (_stop && _stop->load(std::memory_order_relaxed)) {
            return _copyFailed(ECANCELED);
        }
        bool childCreated = false;
        if (!_copyTree({fromFolder, entry->d_name}, path::join(fromPath, entry->d_name),
                       {out.fd, entry->d_name}, false, &childCreated, entry->d_type)) {
            return false;
        }
    }
    // The folder's own mode and time last: its contents are written by now.
    if (::fchmod(out.fd, st.st_mode & 0777 & ~_creationMask) != 0) {
        return _copyFailed();
    }
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    ::futimens(out.fd, times.data());
    return true;
}

} // namespace quorvane

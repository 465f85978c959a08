#include "platform/FileHandle.h"

#include "platform/PosixIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

std::unique_ptr<FileHandle> FileHandle::openForReading(const std::string& path) {
    if (path.empty()) {
        return nullptr;
    }
    // Without waiting: opening a pipe that nobody writes would block for good.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd); // a pipe or a device never ends, a folder cannot be read
        errno = error;
        return nullptr;
    }
    return std::unique_ptr<FileHandle>(new FileHandle(fd));
}

FileHandle::~FileHandle() { ::close(_fd); }

void FileHandle::seek(std::uint64_t offset) { _offset = offset; }

std::string FileHandle::read(std::size_t length) {
    std::string data(length, '\0');
    std::size_t got = 0;
    while (got < length) {
        if (_offset > static_cast<std::uint64_t>(INT64_MAX)) {
            break;
        }
        const ssize_t n = posixio::retryInterrupted(
            [&] { return ::pread(_fd, data.data() + got, length - got, static_cast<off_t>(_offset)); });
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
        _offset += static_cast<std::uint64_t>(n);
    }
    data.resize(got);
    return data;
}

} // namespace quorvane

#include "platform/FolderListing.h"

#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr std::size_t kBufferSize = 32 * 1024;

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

std::unique_ptr<FolderListing> FolderListing::openAt(int folder, const char* name, bool nofollow) {
    const int fd = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (nofollow ? O_NOFOLLOW : 0));
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<FolderListing>(fd);
}

FolderListing::~FolderListing() { ::close(_fd); }

const dirent64* FolderListing::next() {
    for (;;) {
        if (_position >= _end) {
            if (!_buffer) {
                _buffer = std::make_unique<char[]>(kBufferSize);
            }
            const ssize_t n = ::getdents64(_fd, _buffer.get(), kBufferSize);
            if (n <= 0) {
                return nullptr;
            }
            _position = 0;
            _end = static_cast<std::size_t>(n);
        }
        const auto* entry = reinterpret_cast<const dirent64*>(_buffer.get() + _position);
        _position += entry->d_reclen;
        if (!isDotOrDotDot(entry->d_name)) {
            return entry;
        }
    }
}

std::vector<std::string> FolderListing::names() {
    std::vector<std::string> names;
    while (const dirent64* entry = next()) {
        names.emplace_back(entry->d_name);
    }
    return names;
}

} // namespace quorvane

#pragma once

#include <cstddef>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

// A folder's entries, read straight from its open descriptor (which it owns) a buffer at a time, without
// the extra calls a directory stream makes when it takes over a descriptor.
class FolderListing {
public:
    explicit FolderListing(int fd) : _fd(fd) {}
    // The folder at the name in an open folder, opened for listing; nofollow refuses a link in the name's
    // place. None when it cannot be opened (errno tells why).
    static std::unique_ptr<FolderListing> openAt(int folder, const char* name, bool nofollow);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    int fd() const { return _fd; }
    // The next entry other than "." and ".."; none at the end or when the folder cannot be read.
    const dirent64* next();
    // The names of the entries not read yet, in the order the folder gives them.
    std::vector<std::string> names();

private:
    int _fd;
    std::unique_ptr<char[]> _buffer;
    std::size_t _position = 0;
    std::size_t _end = 0;
};

} // namespace quorvane

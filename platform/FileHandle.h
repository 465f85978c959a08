#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quorvane {

// A file opened for reading. Closed when destroyed.
class FileHandle {
public:
    // None when the path is no regular file (a folder, a pipe, a device) or cannot be opened.
    static std::unique_ptr<FileHandle> openForReading(const std::string& path);

    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    void seek(std::uint64_t offset);
    // Up to length bytes from the current offset, fewer at the end of the file.
    std::string read(std::size_t length);

private:
    explicit FileHandle(int fd) : _fd(fd) {}
    int _fd;
    std::uint64_t _offset = 0;
};

} // namespace quorvane

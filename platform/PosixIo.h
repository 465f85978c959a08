#pragma once

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>

namespace quorvane::posixio {

// Calls a system function again for as long as a signal interrupts it: it answers -1 with errno EINTR.
template <typename Call>
auto retryInterrupted(Call call) {
    for (;;) {
        const auto result = call();
        if (!(result < 0 && errno == EINTR)) {
            return result;
        }
    }
}

// read(2), retried when interrupted: the bytes read, 0 at the end, -1 on an error.
inline ssize_t readSome(int fd, void* buffer, std::size_t size) {
    return retryInterrupted([&] { return ::read(fd, buffer, size); });
}

// Reads until the buffer is full or the file ends: the bytes read, or -1 on an error.
inline ssize_t readFull(int fd, void* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = readSome(fd, static_cast<char*>(buffer) + got, size - got);
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

// Writes every byte, as many write(2) calls as it takes; no when one fails or writes nothing. Allocates
// nothing: a child process may call it between fork and exec.
inline bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = retryInterrupted([&] { return ::write(fd, bytes.data(), bytes.size()); });
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace quorvane::posixio

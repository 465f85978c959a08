#pragma once

#include <unistd.h>

namespace quorvane {

// Closes the descriptor it holds when it ends, unless it is negative (nothing opened, or handed on).
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

} // namespace quorvane

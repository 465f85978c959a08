#include "platform/InstallationLock.h"

#include "platform/PosixIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace quorvane {

InstallationLock::InstallationLock(const std::string& folder)
    : _fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), _state(State::unavailable) {
    if (_fd < 0) {
        return;
    }
    if (posixio::retryInterrupted([&] { return ::flock(_fd, LOCK_EX | LOCK_NB); }) == 0) {
        _state = State::held;
        return;
    }
    _state = errno == EWOULDBLOCK ? State::heldElsewhere : State::unavailable;
    ::close(std::exchange(_fd, -1));
}

InstallationLock::~InstallationLock() {
    release();
}

InstallationLock::InstallationLock(InstallationLock&& other) noexcept
    : _fd(std::exchange(other._fd, -1)), _state(std::exchange(other._state, State::released)) {}

InstallationLock& InstallationLock::operator=(InstallationLock&& other) noexcept {
    if (this != &other) {
        release();
        _fd = std::exchange(other._fd, -1);
        _state = std::exchange(other._state, State::released);
    }
    return *this;
}

void InstallationLock::release() {
    if (_fd >= 0) {
        ::close(_fd); // the lock goes with the descriptor
        _fd = -1;
    }
    if (_state == State::held) {
        _state = State::released;
    }
}

} // namespace quorvane

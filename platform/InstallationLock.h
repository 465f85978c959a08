#pragma once

#include <string>

namespace quorvane {

// One update or undo of an installation at a time, across every process of the program (the window, a
// second window, the command line): an advisory lock (flock) on a descriptor of the installation's folder.
// The lock is the open descriptor's, so two in one process exclude each other too, and it goes with the
// process: a killed program never blocks the next.
class InstallationLock {
public:
    enum class State {
        held,          // this object holds the lock
        heldElsewhere, // another update or undo holds it
        unavailable,   // the folder cannot be opened or locked (say, a file system without locks)
        released,
    };

    // Holds nothing.
    InstallationLock() = default;
    // Tries to take the lock on the folder at once, without waiting.
    explicit InstallationLock(const std::string& folder);
    ~InstallationLock();
    InstallationLock(InstallationLock&& other) noexcept;
    InstallationLock& operator=(InstallationLock&& other) noexcept;
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

    State state() const { return _state; }
    // Lets the lock go; the next update may start.
    void release();

private:
    int _fd = -1;
    State _state = State::released;
};

} // namespace quorvane

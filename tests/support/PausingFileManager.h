#pragma once

#include "platform/FileManager.h"

#include <chrono>
#include <semaphore>

namespace quorvane::test {

// The real file services, except that the run's nth copy waits until the test lets it go: the test can
// act (cancel, close the window) while an update is surely between two of its items.
class PausingFileManager : public FileManager {
public:
    explicit PausingFileManager(int pauseAtCopy) : _pauseAt(pauseAtCopy) {}

    bool copyPath(const std::string& from, const std::string& to, CopyOutcome* outcome) override {
        if (++_copies == _pauseAt) {
            _paused.release(), _resume.acquire();
        }
        return FileManager::copyPath(from, to, outcome);
    }
    // Waits until the run has come to the copy it pauses at.
    bool waitForPause() { return _paused.try_acquire_for(std::chrono::seconds(20)); }
    void resume() { _resume.release(); }

private:
    const int _pauseAt;
    int _copies = 0;
    std::binary_semaphore _paused{0}, _resume{0};
};

} // namespace quorvane::test

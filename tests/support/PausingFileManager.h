#pragma once

#include "platform/FileManager.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quorvane::test {

// The real file services, except that the run's nth copy waits until the test lets it go: the test can
// act (cancel, close the window, move folders) while an update is surely between two of its items. A run
// copies on two threads: once the nth copy has come, the pause begins when no change of the other thread
// is under way, and no other change begins until the test lets the run go on.
class PausingFileManager : public FileManager {
public:
    explicit PausingFileManager(int pauseAtCopy) : _pauseAt(pauseAtCopy) {}

    bool copyPath(const std::string& from, const std::string& to, CopyOutcome* outcome) override {
        const Change change(*this, Counted::yes);
        return FileManager::copyPath(from, to, outcome);
    }
    bool movePath(const std::string& from, const std::string& to) override {
        const Change change(*this, Counted::no);
        return FileManager::movePath(from, to);
    }
    bool linkPath(const std::string& from, const std::string& to) override {
        const Change change(*this, Counted::no);
        return FileManager::linkPath(from, to);
    }
    bool replacePath(const std::string& from, const std::string& to) override {
        const Change change(*this, Counted::no);
        return FileManager::replacePath(from, to);
    }
    // Waits until the run has come to the copy it pauses at, and nothing else is under way.
    bool waitForPause() {
        std::unique_lock lock(_mutex);
        return _changed.wait_for(lock, std::chrono::seconds(20), [this] { return _paused; });
    }
    void resume() {
        const std::lock_guard lock(_mutex);
        _holding = false;
        _changed.notify_all();
    }

private:
    enum class Counted { no, yes };
    // One change through the services, from its start to its end.
    class Change {
    public:
        Change(PausingFileManager& files, Counted counted) : _files(files) {
            std::unique_lock lock(_files._mutex);
            if (counted == Counted::yes && ++_files._copies == _files._pauseAt) {
                _files._holding = true;
                _files._changed.wait(lock, [this] { return _files._underWay == 0; });
                _files._paused = true;
                _files._changed.notify_all();
            }
            _files._changed.wait(lock, [this] { return !_files._holding; });
            ++_files._underWay;
        }
        ~Change() {
            const std::lock_guard lock(_files._mutex);
            --_files._underWay;
            _files._changed.notify_all();
        }
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

    private:
        PausingFileManager& _files;
    };

    const int _pauseAt;
    std::mutex _mutex;
    std::condition_variable _changed;
    int _copies = 0;
    int _underWay = 0;
    bool _holding = false;
    bool _paused = false;
};

} // namespace quorvane::test

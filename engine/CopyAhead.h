#pragma once

#include "engine/UpdatePlan.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvane {

class FileManager;

// Copies the new files of a plan (those put where nothing is) on a second thread, ahead of the run that
// carries the plan out in order, so that two files are copied at a time. The run takes each file's
// outcome when it comes to it, or copies the file itself when the helper has not begun it yet. A file
// copied ahead that the run never took (it stopped first) is removed again.
class CopyAhead {
public:
    CopyAhead(FileManager& fileManager, const UpdatePlan& plan, const std::string& installation);
    // Stops the helper and removes what it copied that was never taken.
    ~CopyAhead();
    CopyAhead(const CopyAhead&) = delete;
    CopyAhead& operator=(const CopyAhead&) = delete;

    // The outcome of the plan's entry at index, copied ahead: 0 when it was, else the system's error
    // number. None: the caller copies it itself (not a new file, or the helper had not begun it).
    std::optional<int> take(std::size_t index);
    // The helper begins no more files, and what it copied and the run did not take goes.
    void stop();

private:
    enum State : std::uint8_t { waiting, copying, copied, taken };
    void _copyAll();

    FileManager& _fileManager;
    const UpdatePlan& _plan;
    const std::string& _installation;
    // For each entry of the plan that it may copy: its index, state and outcome.
    std::vector<std::size_t> _indices;
    std::unique_ptr<std::atomic<std::uint8_t>[]> _states;
    std::vector<int> _errors;
    std::atomic<bool> _stopped{false};
    std::mutex _mutex;
    std::condition_variable _copiedOne;
    std::thread _thread;
};

} // namespace quorvane

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

class CleanupJournal;
class FileManager;

// Copies the files of a plan on a second thread, ahead of the run that carries the plan out in order, so
// that two files are copied at a time: a new file straight to its name (it is then in place), a file that
// replaces an installed one to a temporary name beside it (the run keeps the old file in the backup and
// then puts the copy in its place). The run takes each file's outcome when it comes to it, or copies the
// file itself when the helper has not begun it yet; while it waits for the helper, it copies the next file
// nobody has begun. What was copied ahead and never taken (the run
// stopped first) is removed again.
class CopyAhead {
public:
    // journal: where the temporary copies are noted before they are made, if anywhere.
    CopyAhead(FileManager& fileManager, CleanupJournal* journal, const UpdatePlan& plan,
              const std::string& installation);
    // Stops the helper and removes what it copied that was never taken.
    ~CopyAhead();
    CopyAhead(const CopyAhead&) = delete;
    CopyAhead& operator=(const CopyAhead&) = delete;

    struct Copy {
        // 0 when the file was copied, else the system's error number.
        int error = 0;
        // A file that replaces an installed one: the temporary copy beside its destination.
        std::string partial;
    };
    // The outcome of the plan's entry at index, copied ahead. None: the caller copies it itself (not a
    // file, or the helper had not begun it).
    std::optional<Copy> take(std::size_t index);
    // The helper begins no more files, and what it copied and the run did not take goes.
    void stop();

private:
    enum State : std::uint8_t { waiting, copying, copied, taken };
    void _copyAll();
    enum class Copier { helper, run };
    // Copies the next file nobody has begun; no when none is left within reach (or the copies stopped).
    bool _copyNext(Copier copier);
    void _copy(std::size_t slot);

    FileManager& _fileManager;
    CleanupJournal* _journal;
    const UpdatePlan& _plan;
    const std::string& _installation;
    // For each entry of the plan that it may copy: its index and state; the outcomes of those within reach,
    // by index modulo their number.
    std::vector<std::size_t> _indices;
    std::unique_ptr<std::atomic<std::uint8_t>[]> _states;
    std::vector<Copy> _copies;
    std::atomic<bool> _stopped{false};
    // The next file to begin, for the helper and for the run while it waits for the helper.
    std::atomic<std::size_t> _nextSlot{0};
    // The file the run came to last: copies go at most a few hundred files further.
    std::atomic<std::size_t> _runAt{0};
    std::condition_variable _runMoved;
    std::mutex _mutex;
    std::condition_variable _copiedOne;
    std::thread _thread;
};

} // namespace quorvane

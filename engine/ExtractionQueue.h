#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

namespace quorvane {

class ToolProcess;

// Runs the extraction tools of the program: at most as many at once as the machine has cores; the
// others wait their turn in the order they came.
class ExtractionQueue {
public:
    // Launches a tool and answers its runner.
    using Start = std::function<ToolProcess*()>;

    // limit 0: one tool per core.
    explicit ExtractionQueue(std::size_t limit = 0);
    // Tools still running are killed.
    ~ExtractionQueue();
    ExtractionQueue(const ExtractionQueue&) = delete;
    ExtractionQueue& operator=(const ExtractionQueue&) = delete;

    // Starts the tool now, or as soon as one of those running has ended.
    void add(Start start);
    // A tool has ended (called from its terminate handler): the next waiting one starts.
    void ended(ToolProcess& runner);
    // Kills every running tool and forgets the waiting ones; their handlers are never called.
    void stopAll();

    std::size_t limit() const { return _limit; }

private:
    void startWaiting();

    std::size_t _limit;
    std::vector<ToolProcess*> _running;
    std::deque<Start> _waiting;
};

} // namespace quorvane

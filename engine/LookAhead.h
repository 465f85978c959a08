#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvane {

// Works out, on a thread of its own, what a loop will need for each of its items, in the loop's order,
// while the loop acts on the items before: the run compares the next files while it copies the current
// one. The work must only read. Destroyed early (the loop stopped), it stops before its next item.
template <typename Result> class LookAhead {
public:
    // look(i): what item i needs; count: the number of items.
    LookAhead(std::size_t count, std::function<Result(std::size_t)> look)
        : _results(count), _look(std::move(look)), _thread([this] { lookAll(); }) {}
    ~LookAhead() {
        {
            const std::lock_guard lock(_mutex);
            _stop = true;
        }
        _thread.join();
    }
    LookAhead(const LookAhead&) = delete;
    LookAhead& operator=(const LookAhead&) = delete;

    // What item i needs, once it is worked out; items are taken in order.
    Result& at(std::size_t i) {
        std::unique_lock lock(_mutex);
        _ready.wait(lock, [&] { return _done > i; });
        return _results[i];
    }

private:
    void lookAll() {
        for (std::size_t i = 0; i < _results.size(); ++i) {
            Result result = _look(i);
            const std::lock_guard lock(_mutex);
            if (_stop) {
                return;
            }
            _results[i] = std::move(result);
            ++_done;
            _ready.notify_one();
        }
    }

    std::vector<Result> _results;
    std::function<Result(std::size_t)> _look;
    std::mutex _mutex;
    std::condition_variable _ready;
    std::size_t _done = 0;
    bool _stop = false;
    // Last: it starts once everything it uses is there.
    std::thread _thread;
};

} // namespace quorvane

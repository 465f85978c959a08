#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace quorvane {

// Turns SIGTERM, SIGINT and SIGHUP into a call from the event loop, so that the program stops its tools
// and removes their folders as it does when its window is closed. One per program.
class StopSignals {
public:
    // onStop gets the signal's number; none: the event loop quits.
    explicit StopSignals(std::function<void(int signal)> onStop = {});
    // The signals end the program at once again.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> _notifier;
};

} // namespace quorvane

#pragma once

#include <memory>

class QSocketNotifier;

namespace quorvane {

// Turns SIGTERM, SIGINT and SIGHUP into an ordinary quit of the event loop, so that the program stops its
// tools and removes their folders as it does when its window is closed. One per program.
class QuitOnSignals {
public:
    QuitOnSignals();
    // The signals end the program at once again.
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> _notifier;
};

} // namespace quorvane

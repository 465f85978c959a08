#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <chrono>
#include <functional>

namespace quorvane::test {

// Runs the Qt event loop until the condition holds or the time is up; answers the condition.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(20000)) {
    for (QDeadlineTimer deadline(timeout); !condition(); QThread::msleep(1)) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

} // namespace quorvane::test

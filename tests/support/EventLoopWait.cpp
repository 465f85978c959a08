#include "support/EventLoopWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace quorvane::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

} // namespace quorvane::test

#include "engine/WorkerThread.h"

#include <QMetaObject>

namespace quorvane {

WorkerThread::WorkerThread() : _context(std::make_unique<QObject>()) {
    _thread.setObjectName("update");
    _context->moveToThread(&_thread);
    _thread.start();
}

WorkerThread::~WorkerThread() {
    _thread.quit();
    _thread.wait();
}

void WorkerThread::post(std::function<void()> task) {
    QMetaObject::invokeMethod(_context.get(), std::move(task), Qt::QueuedConnection);
}

void WorkerThread::runAndWait(std::function<void()> task) {
    if (isCurrent()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(_context.get(), std::move(task), Qt::BlockingQueuedConnection);
}

} // namespace quorvane

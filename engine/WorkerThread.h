#pragma once

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

namespace quorvane {

// A thread of its own with an event loop, for the work of one job: tasks posted to it run there one after
// the other, in the order they were posted, and the child processes started from them deliver their
// events there too. It runs from construction until destruction, which waits for the task under way and
// drops those not begun.
class WorkerThread {
public:
    WorkerThread();
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Queues the task and returns at once.
    void post(std::function<void()> task);
    // Runs the task on the thread and returns when it is done: after the task under way.
    void runAndWait(std::function<void()> task);
    // The caller is on this thread.
    bool isCurrent() const { return QThread::currentThread() == &_thread; }

private:
    QThread _thread;
    // Lives on the thread: tasks are posted to it.
    std::unique_ptr<QObject> _context;
};

} // namespace quorvane

#pragma once

#include "engine/UpdateHistory.h"
#include "engine/WorkerThread.h"

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace quorvane {

class FileManager;
class UpdateRecordStore;

// The work of the history window on a thread of its own: each task reads the installation's history
// afresh there (records are read, backups weighed, files moved off the window's thread) and hands its
// answer to the thread the job was made on. Tasks run one after the other.
class HistoryJob {
public:
    HistoryJob(FileManager& fileManager, UpdateRecordStore& store)
        : _fileManager(fileManager), _store(store) {}
    // Waits for the task under way; its answer is then not delivered.
    ~HistoryJob() { _worker.reset(); }
    HistoryJob(const HistoryJob&) = delete;
    HistoryJob& operator=(const HistoryJob&) = delete;

    template <typename Answer>
    void start(const std::string& installation, std::function<Answer(UpdateHistory&)> work,
               std::function<void(Answer)> done) {
        if (!_worker) {
            _worker = std::make_unique<WorkerThread>();
        }
        _worker->post([this, installation, work = std::move(work), done = std::move(done)] {
            UpdateHistory history(_store, _fileManager, installation);
            QMetaObject::invokeMethod(
                &_context, [done, answer = work(history)] { done(answer); }, Qt::QueuedConnection);
        });
    }

private:
    FileManager& _fileManager;
    UpdateRecordStore& _store;
    // On the thread the job was made on: the answers are posted to it.
    QObject _context;
    std::unique_ptr<WorkerThread> _worker;
};

} // namespace quorvane

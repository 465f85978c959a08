#include "engine/UndoJob.h"

#include "engine/UpdateUndo.h"

namespace quorvane {

UndoJob::~UndoJob() {
    _worker.reset();
}

void UndoJob::start(UpdateRecord record, std::optional<std::string> recordFile,
                    std::function<void(const UpdateReport&)> done) {
    if (!_worker) {
        _worker = std::make_unique<WorkerThread>();
    }
    _worker->post(
        [this, record = std::move(record), recordFile = std::move(recordFile), done = std::move(done)] {
            const UpdateReport report =
                UpdateUndo::undoKeptRun(record, recordFile, _store, _fileManager, _localizer);
            QMetaObject::invokeMethod(
                &_context, [done, report] { done(report); }, Qt::QueuedConnection);
        });
}

} // namespace quorvane

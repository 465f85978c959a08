#include "engine/UndoJob.h"

#include "engine/UpdateRecordStore.h"
#include "engine/UpdateUndo.h"

#include <QMetaObject>

namespace quorvane {

UndoJob::UndoJob(FileManager& fileManager, const Localizer& localizer, UpdateRecordStore* store)
    : _fileManager(fileManager), _localizer(localizer), _store(store) {}

UndoJob::~UndoJob() {
    const std::lock_guard lock(_workerMutex);
    _worker.reset(); // before the context, so that a report posted meanwhile goes with it unheard
}

void UndoJob::_post(std::function<void()> task) {
    const std::lock_guard lock(_workerMutex);
    if (!_worker) {
        _worker = std::make_unique<WorkerThread>();
    }
    _worker->post(std::move(task));
}

void UndoJob::findLatest(const std::string& installation,
                         std::function<void(std::optional<UpdateRecordStore::Kept>)> found) {
    _post([this, installation, found = std::move(found)] {
        auto kept = _store ? _store->latestFor(installation) : std::nullopt;
        QMetaObject::invokeMethod(
            &_context, [found, kept = std::move(kept)] { found(kept); }, Qt::QueuedConnection);
    });
}

void UndoJob::start(UpdateRecord record, std::optional<std::string> recordFile,
                    std::function<void(const UpdateReport&)> done) {
    _post([this, record = std::move(record), recordFile = std::move(recordFile), done = std::move(done)] {
        const UpdateReport report = UpdateUndo::report(
            UpdateUndo::undo(record, _fileManager, _localizer,
                             recordFile ? std::optional<std::string>(*recordFile + ".undone") : std::nullopt),
            _localizer);
        // The next undo goes one run further back.
        if (_store && recordFile) {
            _store->forget(*recordFile);
        }
        QMetaObject::invokeMethod(
            &_context, [done, report] { done(report); }, Qt::QueuedConnection);
    });
}

} // namespace quorvane

#pragma once

#include "engine/UpdateRecord.h"
#include "engine/UpdateReport.h"
#include "engine/WorkerThread.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quorvane {

class FileManager;
class Localizer;
class UpdateRecordStore;

// Takes installations back to where they were before an update, one undo after the other, on a thread of
// its own.
class UndoJob {
public:
    UndoJob(FileManager& fileManager, const Localizer& localizer, UpdateRecordStore* store)
        : _fileManager(fileManager), _localizer(localizer), _store(store) {}
    ~UndoJob();

    void start(UpdateRecord record, std::optional<std::string> recordFile,
               std::function<void(const UpdateReport&)> done);

private:
    FileManager& _fileManager;
    const Localizer& _localizer;
    UpdateRecordStore* _store;
    QObject _context;
    std::unique_ptr<WorkerThread> _worker;
};

} // namespace quorvane

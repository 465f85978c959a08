#pragma once

#include "engine/UpdateRecord.h"
#include "engine/UpdateRecordStore.h"
#include "engine/UpdateReport.h"
#include "engine/WorkerThread.h"

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quorvane {

class FileManager;
class Localizer;

// Takes installations back from the records of their update runs, one undo after the other, on a
// thread of its own; the thread that made the job stays free and hears of each undo's end.
class UndoJob {
public:
    UndoJob(FileManager& fileManager, const Localizer& localizer, UpdateRecordStore* store);
    // Waits for the undo under way; its report is then not delivered.
    ~UndoJob();
    UndoJob(const UndoJob&) = delete;
    UndoJob& operator=(const UndoJob&) = delete;

    // Undoes one update from its record on the job's own thread (made on first use): what it added is
    // removed, what it replaced moved back from its backup folder, its kept record (recordFile, in the
    // store) forgotten. done gets the undo's report on the thread the job was made on. May be called
    // from any thread; undos run one after the other.
    void start(UpdateRecord record, std::optional<std::string> recordFile,
               std::function<void(const UpdateReport&)> done);
    // Looks up the installation's latest kept record (UpdateRecordStore::latestFor) on the job's thread:
    // a large record never holds up the window. found gets it on the thread the job was made on.
    void findLatest(const std::string& installation,
                    std::function<void(std::optional<UpdateRecordStore::Kept>)> found);

private:
    // Runs the task on the job's thread, made on first use, after those posted before it.
    void _post(std::function<void()> task);

    FileManager& _fileManager;
    const Localizer& _localizer;
    UpdateRecordStore* _store;
    // On the thread the job was made on: the reports are posted to it, and go undelivered once it goes.
    QObject _context;
    std::mutex _workerMutex;
    std::unique_ptr<WorkerThread> _worker;
};

} // namespace quorvane

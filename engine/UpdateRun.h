#pragma once

#include "engine/ArchiveExtraction.h"
#include "engine/CopyAhead.h"
#include "engine/ExtractionHost.h"
#include "engine/ItemPlacement.h"
#include "engine/RunFigures.h"
#include "engine/UpdatePlan.h"
#include "engine/UpdatePlanner.h"
#include "engine/UpdateRecord.h"
#include "engine/UpdateReport.h"
#include "engine/UpdateServices.h"
#include "engine/WalkGuard.h"
#include "engine/WorkerThread.h"
#include "platform/FileManager.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class UndoJob;
class UpdateRunDelegate;

// One confirmed update: the dropped items installed into one installation, from the confirmation to the
// report. It finds the level of the dropped trees that lines up with the installation, merges it in
// with backups of what it replaces, has archives extracted on the way, counts what it did and what it
// could not do, and tells its delegate of its progress and its end. It knows the file system, not the
// window.
//
// The run works on a thread of its own, which also runs its extraction tools; the thread that starts it
// (the owner) stays free. The delegate hears from the run on the owner's thread, through its event loop:
// the progress at most about 60 times a second, always the last status before the end, then the end.
// Everything public is for the owner's thread; the figures are the run's own until its end is told.
// Its archive extractions reach it through its ExtractionHost side, on the run's thread.
class UpdateRun : private ExtractionHost {
public:
    // targetPath: the installation; updateFiles: the items the user dropped onto it.
    UpdateRun(UpdateServices services, UpdateRunDelegate& delegate, std::string targetPath,
              std::vector<std::string> updateFiles);
    // A run still going stops between two items: its tools are killed and its extraction folders deleted;
    // its backup folder stays. Waits for the item under way.
    ~UpdateRun() override;
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // Plans the update on the run's thread without writing anything; the delegate then hears of the plan.
    // Returns at once.
    void makePlan();
    // The plan, once the delegate has heard of it (or the run has started).
    const UpdatePlan& plan() const { return _plan; }
    // Carries out the plan (made first if it was not), on the run's thread; returns at once. An update
    // that does not fit on its disk, or whose record cannot be written ahead, changes nothing.
    void start();
    // From start() until the delegate has heard of the end.
    bool inProgress() const { return _running; }
    // Stops the run between two items (never inside one: each is put in place whole or not at all), and
    // its extractions. The run then ends as any run does, with a report titled as cancelled.
    void cancel();
    bool cancelled() const { return _cancelRequested; }
    // Has the job undo what the run did, once it has ended: the items it added are removed and those it
    // replaced moved back from its backup folder. The record goes to the job once the run has kept it;
    // done gets the report of the undo on the thread the job was made on. The caller tells whether an undo
    // runs.
    void putBack(UndoJob& job, std::function<void(const UpdateReport&)> done);

    const std::string& targetPath() const { return _targetPath; }
    // The items dropped, until the run has ended.
    const std::vector<std::string>& items() const { return _updateFiles; }
    // The backup folder of the run, created on first use; none without a target path.
    const std::optional<std::string>& backupFolder() { return _placement.backupFolder(); }

    // The run's figures; they keep their values after the report.
    double progressValue() const { return _progressValue; }
    double progressMaxValue() const { return _progressMaxValue; }
    std::int32_t numFilesInstalled() const { return _numFilesInstalled; }
    std::int32_t numDuplicateFiles() const { return _numDuplicateFiles; }
    std::int32_t numFilesReplaced() const { return _numFilesReplaced; }
    std::int32_t numFilesFailed() const { return _numFilesFailed; }
    // Some level of the run's items lined up with the installation.
    bool lineUpFound() const { return _lineUpFound; }
    // The disk filled during the run, which then took back what it had done.
    bool takenBack() const { return _takenBack; }
    // What could not be installed, and why.
    using NotInstalled = RunFigures::NotInstalled;
    const std::vector<NotInstalled>& notInstalled() const { return _notInstalled; }
    // What the run did, for undoing it; complete once its store has kept it
    // (UpdateRecordStore::waitUntilKept), shortly after the end.
    const UpdateRecord& record() const { return _record; }

private:
    // One installing pass over items: finds the level of them that lines up with the installation,
    // descending into folders level by level, and merges it in; archives go to the extraction. The run
    // ends after the last pass, once no extraction is pending.
    void _lineUpAndInstall(std::vector<std::string>& items);
    // Plans the dropped items (on the run's thread), and the earlier updates that put what they replace.
    void _makePlan();
    void _nameEarlierUpdates();
    // Carries out the dropped items' plan, once nothing stands in its way.
    void _applyPlan();
    // Why the update must not begin: it does not fit on its disk, or its record cannot be written ahead.
    std::optional<UpdateReport> _refusalBeforeChanges();
    // Carries out each entry of a plan, in order; only a disk changed since makes an entry fail.
    // ahead: the plan's new files being copied on a second thread; none: each is copied in turn.
    void _apply(const UpdatePlan& plan, CopyAhead* ahead = nullptr);
    ItemPlacement::Outcome _placeCopied(const CopyAhead::Copy& copied, const std::string& destination,
                                        const std::optional<std::string>& backupPath);
    // The items a plan puts in place, as its record names them before they are (its bytes).
    static std::string _intendedItems(const UpdatePlan& plan);
    // Takes back what the run did after the disk filled; the report says so.
    UpdateReport _takeBack();
    // Counts what became of an item handed to _placement; progress: its entries on the bar.
    void _countPlacement(const std::string& item, const std::string& relativePath,
                         const ItemPlacement::Outcome& outcome, std::uint64_t progress);
    // Moves the bar on by entries handled and shows the item as being installed.
    void _advanceProgress(std::size_t entries, const std::string& file);
    // Composes the report and posts the end to the owner, then keeps the record; once.
    void _finish();
    void _setStatus(const std::string& status, const std::string& file);
    // The installing passes or the extractions are under way (on the run's thread).
    bool _busy() const;

    // What the extractions ask of the run, and the run itself uses.
    bool stopRequested() const override {
        return _cancelRequested.load(std::memory_order_relaxed) || _diskFull;
    }
    void growProgressMaximum(double entries) override { _progressMaxValue += entries; }
    void advanceProgress(std::size_t entries, const std::string& status, const std::string& file) override;
    // Counts files that could not be installed (the item, or every file under a folder) and keeps the
    // item's name with the reason for the report.
    void noteFailure(const std::string& item, const std::string& reason, std::int32_t files) override;
    void installExtracted(std::vector<std::string> items) override { _lineUpAndInstall(items); }
    bool installing() const override { return _installingPasses > 0; }

    // A status as the delegate is told it.
    struct Status {
        std::string status;
        std::string file;
        double value;
        double maxValue;
    };
    // The latest status not yet told, taken away.
    std::optional<Status> _takeStatus();
    // Tells the delegate of the latest status, if there is a new one (on the owner's thread).
    void _showStatus();
    std::string _localized(const std::string& key) const;

    UpdateServices _services;
    FileManager& _fileManager;
    UpdateRunDelegate& _delegate;
    const std::string _targetPath;
    std::vector<std::string> _updateFiles;
    double _progressValue = 0.0;
    double _progressMaxValue = 0.0;
    std::int32_t _numFilesInstalled = 0;
    std::int32_t _numDuplicateFiles = 0;
    std::int32_t _numFilesReplaced = 0;
    // Items that could not be installed (copy, backup or source failed).
    std::int32_t _numFilesFailed = 0;
    std::vector<NotInstalled> _notInstalled;
    // The installing passes under way, one inside the other as the walk descends.
    std::int32_t _installingPasses = 0;
    // Some level of the run's items lined up with the installation.
    bool _lineUpFound = false;
    WalkGuard _walkGuard;
    // The backup folder, and each item put in place with the backup of what it replaces.
    ItemPlacement _placement;
    UpdateRecord _record;
    // The plan of the dropped items; made once.
    UpdatePlan _plan;
    bool _planned = false;
    UpdatePlanner _planner;
    // A placement failed for want of space: nothing more is begun, and what was done is taken back.
    bool _diskFull = false;
    bool _takenBack = false;
    // The report of an update refused before anything was written.
    std::optional<UpdateReport> _refusal;
    // The file the record is kept in, once the run has ended.
    std::optional<std::string> _recordFile;
    // Set by cancel(); read by the run between items.
    std::atomic<bool> _cancelRequested{false};
    // The report has been composed: the run is over on its thread.
    bool _terminated = false;
    // Seen from the owner: from start() to the end told.
    bool _running = false;
    // The latest status the delegate has not been told yet.
    std::mutex _statusMutex;
    std::optional<Status> _pendingStatus;
    // On the owner's thread: what is posted to it runs there, and goes unrun once the run is destroyed.
    QObject _ownerContext;
    QTimer _statusTimer;
    // Declared after what its tasks use, so that it stops before they go.
    std::unique_ptr<WorkerThread> _worker;
    // Declared last, so that its tools stop before the rest of the run goes.
    ArchiveExtraction _extraction;
};

} // namespace quorvane

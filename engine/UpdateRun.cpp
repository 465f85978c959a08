#include "engine/UpdateRun.h"

#include "engine/CompletionReport.h"
#include "engine/CopyAhead.h"
#include "engine/EarlierUpdates.h"
#include "engine/PlanReport.h"
#include "engine/UndoJob.h"
#include "engine/UpdateRecordStore.h"
#include "engine/UpdateRunDelegate.h"
#include "engine/UpdateUndo.h"
#include "platform/Clock.h"
#include "platform/FileManager.h"
#include "platform/FreeSpace.h"
#include "platform/Localizer.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"
#include "platform/QuotedName.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace quorvane {
namespace {

// The delegate hears of the progress at most this often: about 60 times a second.
constexpr int kStatusIntervalMilliseconds = 16;

// A number of files not installed as the report counts them: at least the item itself.
std::int32_t fileCount(std::size_t files) {
    return static_cast<std::int32_t>(
        std::clamp<std::size_t>(files, 1, std::numeric_limits<std::int32_t>::max()));
}

} // namespace

UpdateRun::UpdateRun(UpdateServices services, UpdateRunDelegate& delegate, std::string targetPath,
                     std::vector<std::string> updateFiles)
    : _services(std::move(services)), _fileManager(_services.fileManager), _delegate(delegate),
      _targetPath(std::move(targetPath)), _updateFiles(std::move(updateFiles)),
      _walkGuard(_fileManager, _updateFiles, _targetPath),
      _placement(_services, _extraction, _targetPath, &_cancelRequested),
      _record(_targetPath, _services.clock.now()),
      _planner(_services, _walkGuard, _targetPath, _cancelRequested), _extraction(*this, _services) {
    _record.setAddOnsFrom(_updateFiles);
    _statusTimer.setInterval(kStatusIntervalMilliseconds);
    QObject::connect(&_statusTimer, &QTimer::timeout, &_ownerContext, [this] { _showStatus(); });
}

UpdateRun::~UpdateRun() {
    _statusTimer.stop();
    if (_worker) {
        _cancelRequested = true;
        _worker->runAndWait([this] { _extraction.stopAll(); });
        _worker.reset();
    }
}

void UpdateRun::makePlan() {
    if (_worker) {
        return;
    }
    _worker = std::make_unique<WorkerThread>();
    _worker->post([this] {
        _makePlan();
        QMetaObject::invokeMethod(
            &_ownerContext, [this] { _delegate.updateRunPlanned(_plan); }, Qt::QueuedConnection);
    });
}

void UpdateRun::start() {
    if (_running || _terminated) {
        return;
    }
    _running = true;
    _statusTimer.start();
    if (!_worker) {
        _worker = std::make_unique<WorkerThread>();
    }
    _worker->post([this] {
        _makePlan();
        _applyPlan();
    });
}

void UpdateRun::_makePlan() {
    if (std::exchange(_planned, true)) {
        return;
    }
    // The folders the walk works in stay open while it lasts: each file costs a look-up of its name. Below
    // the installation no link is followed.
    const PathInFolder::KeepFoldersOpen keepFolders(_targetPath);
    _planner.plan(_updateFiles, _plan);
    _nameEarlierUpdates();
}

void UpdateRun::_nameEarlierUpdates() {
    if (!_services.recordStore || _plan.filesReplaced() == 0) {
        return;
    }
    const EarlierUpdates earlier(_services.recordStore->recordsFor(_targetPath));
    for (UpdatePlan::Entry& entry : _plan.entries()) {
        if (entry.fate == UpdatePlan::Fate::replace) {
            entry.reason = earlier.whoPut(entry.relativePath, _services.localizer).value_or("");
        }
    }
}

void UpdateRun::_applyPlan() {
    // Below the installation no link is followed, whatever is put in a folder's place meanwhile.
    const PathInFolder::KeepFoldersOpen keepFolders(_targetPath);
    ++_installingPasses;
    _progressMaxValue += static_cast<double>(_plan.progressEntries());
    _lineUpFound = _plan.lineUpFound();
    if (!_plan.complete() || stopRequested()) {
        // Nothing is begun.
    } else if ((_refusal = _refusalBeforeChanges())) {
        _lineUpFound = false;
    } else {
        CopyAhead ahead(_fileManager, _services.cleanupJournal, _plan, _targetPath);
        _apply(_plan, &ahead);
        ahead.stop(); // what it copied past a stop goes
    }
    _plan.releaseEntries(); // carried out: a large plan's memory goes before the record is written
    --_installingPasses;
    if (!_busy()) {
        _finish();
    }
}

std::optional<UpdateReport> UpdateRun::_refusalBeforeChanges() {
    if (const auto tooLarge = PlanReport::spaceRefusal(_plan, _targetPath, _services.localizer)) {
        return UpdateReport{_localized("The update does not fit on its disk"), *tooLarge, {}, false};
    }
    const std::string intended = _intendedItems(_plan);
    if (!_services.recordStore || (intended.empty() && _plan.archives() == 0)) {
        return std::nullopt; // nothing to undo, or no undo asked for
    }
    // The backup folder is made first (it is empty), so that the record written ahead names it.
    if (_plan.filesReplaced() > 0 || _plan.archives() > 0) {
        _placement.backupFolder();
    }
    _record.setBackupFolder(_placement.madeBackupFolder());
    _record.setMadeBackupRoot(_placement.madeBackupRoot());
    UpdateRecordStore::Begun begun = _services.recordStore->begin(_record, intended);
    if (begun.file) {
        _recordFile = std::move(begun.file);
        return std::nullopt;
    }
    if (const auto& made = _placement.madeBackupFolder()) {
        _fileManager.removeItem(*made);
        if (_placement.madeBackupRoot()) {
            _fileManager.removeItem(path::parent(*made));
        }
    }
    _placement.setBackupFolder(std::nullopt);
    _record = UpdateRecord(_targetPath, _record.date());
    return UpdateReport{
        _localized("The update was not started"),
        formatMessage(_localized("Its record, which would undo it, cannot be kept: %@"), {begun.error}),
        {},
        false};
}

std::string UpdateRun::_intendedItems(const UpdatePlan& plan) {
    std::string bytes;
    UpdateRecord::Item item;
    item.intended = true;
    for (const UpdatePlan::Entry& entry : plan.entries()) {
        if ((entry.fate == UpdatePlan::Fate::add || entry.fate == UpdatePlan::Fate::replace) &&
            !entry.insideArchive) {
            item.relativePath = entry.relativePath;
            item.replaced = entry.fate == UpdatePlan::Fate::replace;
            item.folder = entry.kind == FileManager::EntryKind::folder;
            bytes += UpdateRecord::serializedItem(item);
        }
    }
    return bytes;
}

void UpdateRun::_apply(const UpdatePlan& plan, CopyAhead* ahead) {
    using Fate = UpdatePlan::Fate;
    for (std::size_t index = 0; index < plan.entries().size(); ++index) {
        const UpdatePlan::Entry& entry = plan.entries()[index];
        if (stopRequested()) {
            break;
        }
        if (entry.insideArchive) {
            continue; // carried out once the archive is extracted, as its contents then line up
        }
        const std::string& shown =
            entry.relativePath.empty() ? path::fileName(entry.item) : entry.relativePath;
        switch (entry.fate) {
        case Fate::passOver:
            _advanceProgress(entry.progress, shown);
            break;
        case Fate::identical:
            ++_numDuplicateFiles;
            _advanceProgress(entry.progress, shown);
            break;
        case Fate::notInstalled:
            if (!entry.insideFolder) { // else the copy of its folder names it
                noteFailure(entry.item, entry.reason, static_cast<std::int32_t>(entry.files));
            }
            _advanceProgress(entry.progress, shown);
            break;
        case Fate::mergeFolder:
            if (const auto& backupFolder = _placement.madeBackupFolder()) {
                _fileManager.createFolder(path::join(*backupFolder, entry.relativePath));
            }
            _advanceProgress(entry.progress, shown);
            break;
        case Fate::archive:
            _extraction.extract(entry.item);
            break;
        case Fate::add:
        case Fate::replace: {
            const std::string destination = path::join(_targetPath, entry.relativePath);
            std::optional<std::string> backupPath;
            if (entry.fate == Fate::replace) {
                backupPath = path::join(_placement.backupFolder().value_or(""), entry.relativePath);
            }
            const auto copied = ahead ? ahead->take(index) : std::nullopt;
            _countPlacement(entry.item, entry.relativePath,
                            copied && copied->error != EOPNOTSUPP
                                ? _placeCopied(*copied, destination, backupPath)
                                : _placement.installItem(entry.item, entry.kind, destination, backupPath),
                            entry.progress);
            break;
        }
        }
    }
}

// A file copied ahead: a new one is in place, or failed, as its copy here would have; one that replaces an
// installed file takes its place now, once the old file is kept.
ItemPlacement::Outcome UpdateRun::_placeCopied(const CopyAhead::Copy& copied, const std::string& destination,
                                               const std::optional<std::string>& backupPath) {
    if (copied.error == 0 && backupPath) {
        return _placement.replaceWithCopy(copied.partial, destination, *backupPath);
    }
    ItemPlacement::Outcome outcome;
    // Gone since it was copied (its folder with it): the disk changed under the run.
    outcome.error = copied.error == 0 && !_fileManager.entryExists(destination) ? ENOENT : copied.error;
    if (outcome.error != 0) {
        outcome.failure = systemErrorText(outcome.error);
    }
    return outcome;
}

void UpdateRun::cancel() {
    if (!_running || !_worker || _cancelRequested.exchange(true)) {
        return;
    }
    // The pass under way sees the request between two items and returns; then the tools are stopped.
    _worker->post([this] {
        _extraction.stopAll();
        if (!_busy()) {
            _finish();
        }
    });
}

void UpdateRun::putBack(UndoJob& job, std::function<void(const UpdateReport&)> done) {
    if (_running || !_worker) {
        return;
    }
    // The record is stamped and kept on the run's thread right after the end is posted: after that.
    _worker->post(
        [this, &job, done = std::move(done)]() mutable { job.start(_record, _recordFile, std::move(done)); });
}

bool UpdateRun::_busy() const {
    return _installingPasses > 0 || _extraction.pending();
}

// The contents of an extracted archive: planned as dropped items are, and carried out at once.
void UpdateRun::_lineUpAndInstall(std::vector<std::string>& items) {
    const PathInFolder::KeepFoldersOpen keepFolders(_targetPath); // the contents of an archive
    ++_installingPasses;
    UpdatePlan plan;
    _planner.plan(items, plan);
    _lineUpFound = _lineUpFound || plan.lineUpFound();
    const std::string intended = _intendedItems(plan);
    // The record grows ahead of the changes; should it not, nothing of the archive goes in.
    if (!intended.empty() && _recordFile && !_services.recordStore->append(*_recordFile, intended)) {
        for (const UpdatePlan::Entry& entry : plan.entries()) {
            _advanceProgress(entry.progress, entry.relativePath);
            if (entry.fate == UpdatePlan::Fate::add || entry.fate == UpdatePlan::Fate::replace) {
                noteFailure(entry.item, systemErrorText(errno), static_cast<std::int32_t>(entry.files));
            }
        }
    } else {
        _apply(plan);
    }
    --_installingPasses;
    if (!_busy()) {
        _finish();
    }
}

// Counts what became of an item handed to the placement: installed (and maybe replacing an old file), or
// not installed with its reason.
void UpdateRun::_countPlacement(const std::string& item, const std::string& relativePath,
                                const ItemPlacement::Outcome& outcome, std::uint64_t progress) {
    // On the bar the item counts itself as well as every entry beneath it, whatever became of them.
    const std::size_t handled = progress;
    if (outcome.stopped) { // given up whole on Cancel: not installed, and no failure
        _advanceProgress(handled, relativePath);
        return;
    }
    if (outcome.failure) {
        noteFailure(item, *outcome.failure, fileCount(outcome.entries));
        _advanceProgress(handled, relativePath);
        // A full disk stops the run at once: it then takes back what it did.
        if (outcome.error == ENOSPC && !std::exchange(_diskFull, true)) {
            _worker->post([this] {
                _extraction.stopAll();
                if (!_busy()) {
                    _finish();
                }
            });
        }
        return;
    }
    if (outcome.replaced) {
        ++_numFilesReplaced;
    }
    _record.addItem(relativePath, outcome.replaced, outcome.folder);
    for (const FileManager::CopyOutcome::LeftOut& entry : outcome.leftOut) {
        noteFailure(entry.path, CompletionReport::notInstalledReason(entry.kind, entry.error, _services), 1);
    }
    for (const std::string& entry : outcome.reserved) {
        noteFailure(entry, CompletionReport::reservedNameText(path::fileName(entry), _services).value_or(""),
                    1);
    }
    // The number of entries put in place: the file, or everything beneath the folder that was copied.
    const std::size_t count = outcome.entries - outcome.leftOut.size() - outcome.takenOut;
    _numFilesInstalled += static_cast<std::int32_t>(count);
    _advanceProgress(handled, relativePath);
}

void UpdateRun::_advanceProgress(std::size_t entries, const std::string& file) {
    if (entries > 0) {
        advanceProgress(entries, _localized("Installing:"), file);
    }
}

void UpdateRun::advanceProgress(std::size_t entries, const std::string& status, const std::string& file) {
    _progressValue += static_cast<double>(entries);
    _setStatus(status, file);
}

void UpdateRun::_setStatus(const std::string& status, const std::string& file) {
    const std::lock_guard lock(_statusMutex);
    _pendingStatus = Status{status, file, _progressValue, _progressMaxValue};
}

std::optional<UpdateRun::Status> UpdateRun::_takeStatus() {
    const std::lock_guard lock(_statusMutex);
    return std::exchange(_pendingStatus, std::nullopt);
}

void UpdateRun::_showStatus() {
    if (const std::optional<Status> shown = _takeStatus()) {
        _delegate.updateRunProgressed(shown->status, shown->file, shown->value, shown->maxValue);
    }
}

void UpdateRun::_finish() {
    if (std::exchange(_terminated, true)) {
        return;
    }
    const PathInFolder::KeepFoldersOpen keepFolders(_targetPath); // also after a Cancel
    // The last status before the end is always shown, then the emptied bar.
    const std::optional<Status> last = _takeStatus();
    _progressValue = 0.0;
    const Status complete{_localized("Installing:"), _localized("Complete"), _progressValue,
                          _progressMaxValue};
    if (_numFilesReplaced == 0 && _placement.madeBackupFolder() && !_placement.backupHoldsLostItem()) {
        _fileManager.removeItem(*_placement.madeBackupFolder());
    }
    _record.setBackupFolder(_placement.madeBackupFolder());
    _record.setMadeBackupRoot(_placement.madeBackupRoot());
    _placement.setBackupFolder(std::nullopt);
    _updateFiles.clear();
    _extraction.setTempFolders(std::nullopt);
    _extraction.removeFinishedFolders();
    const UpdateReport report =
        _refusal ? *_refusal
        : _diskFull
            ? _takeBack()
            : CompletionReport::compose(RunFigures{_numFilesInstalled, _numFilesReplaced, _numDuplicateFiles,
                                                   _numFilesFailed, _lineUpFound, cancelled(), _notInstalled},
                                        _targetPath, _services);
    if (_services.recordStore) {
        _services.recordStore->expect(); // kept below, once the report is on its way
    }
    QMetaObject::invokeMethod(
        &_ownerContext,
        [this, last, complete, report] {
            _statusTimer.stop();
            if (last) {
                _delegate.updateRunProgressed(last->status, last->file, last->value, last->maxValue);
            }
            _delegate.updateRunProgressed(complete.status, complete.file, complete.value, complete.maxValue);
            _running = false;
            _delegate.updateRunEnded(report);
        },
        Qt::QueuedConnection);
    // How the items look once the run is over, for undoing it; before any put-back, which is posted later.
    _record.stampItems(_fileManager);
    if (_services.recordStore) {
        _recordFile = _services.recordStore->keep(_record, _recordFile);
    }
}

UpdateReport UpdateRun::_takeBack() {
    _record.stampItems(_fileManager);
    const UpdateUndo::Result undone = UpdateUndo::undo(_record, _fileManager, _services.localizer);
    _record = UpdateRecord(_targetPath, _record.date()); // nothing of the run is left to undo
    _takenBack = true;
    UpdateReport report{_localized("The disk is full"),
                        formatMessage(_localized("There is no space left on the disk %@. The update stopped "
                                                 "and took back what it had installed: the installation is "
                                                 "as it was."),
                                      {diskOf(_targetPath)}),
                        {},
                        false};
    if (!undone.leftAlone.empty()) {
        report.message = formatMessage(
            _localized("There is no space left on the disk %@. The update stopped; what it had installed "
                       "could not all be taken back."),
            {diskOf(_targetPath)});
        for (const UpdateUndo::LeftAlone& item : undone.leftAlone) {
            report.details += formatMessage("%@: %@", {quotedName(item.item), item.reason}) + "\n";
        }
    }
    return report;
}

void UpdateRun::noteFailure(const std::string& item, const std::string& reason, std::int32_t files) {
    _numFilesFailed += files;
    _notInstalled.push_back(NotInstalled{item, reason});
}

std::string UpdateRun::_localized(const std::string& key) const {
    return _services.localizer.text(key);
}

} // namespace quorvane

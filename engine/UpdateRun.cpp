#include "engine/UpdateRun.h"

#include "engine/CompletionReport.h"
#include "engine/UndoJob.h"
#include "engine/UpdateRecordStore.h"
#include "engine/UpdateRunDelegate.h"
#include "platform/Clock.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"
#include "platform/SystemError.h"

#include <algorithm>
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

// The folder's entries, named by their full paths.
std::vector<std::string> fullPaths(const std::string& folder, const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) {
        paths.push_back(path::join(folder, name));
    }
    return paths;
}

} // namespace

UpdateRun::UpdateRun(UpdateServices services, UpdateRunDelegate& delegate, std::string targetPath,
                     std::vector<std::string> updateFiles)
    : _services(std::move(services)), _fileManager(_services.fileManager), _delegate(delegate),
      _targetPath(std::move(targetPath)), _updateFiles(std::move(updateFiles)),
      _walkGuard(_fileManager, _updateFiles, _targetPath),
      _placement(_services, _extraction, _targetPath, &_cancelRequested),
      _record(_targetPath, _services.clock.now()), _extraction(*this, _services) {
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

void UpdateRun::start() {
    if (_worker) {
        return;
    }
    _running = true;
    _statusTimer.start();
    _worker = std::make_unique<WorkerThread>();
    _worker->post([this] {
        // The folders the pass works in stay open while it lasts: each file costs a look-up of its name.
        // Below the installation no link is followed, whatever is put in a folder's place meanwhile.
        const PathInFolder::KeepFoldersOpen keepFolders(_targetPath);
        for (const std::string& path : _updateFiles) {
            // An item never installed (the whole disk, say) is not walked.
            if (_walkGuard.refusalOf(path) == WalkGuard::Refusal::none) {
                _progressMaxValue +=
                    static_cast<double>(_progressEntriesOf(path, _fileManager.entryKind(path, true)));
            }
        }
        std::vector<std::string> files = _updateFiles;
        _lineUpAndInstall(files);
    });
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

void UpdateRun::_lineUpAndInstall(std::vector<std::string>& items) {
    const PathInFolder::KeepFoldersOpen keepFolders(_targetPath); // also for the contents of archives
    bool match = false;
    ++_installingPasses;

    // Should the installation have gone during the run, nothing more goes in, and nothing makes it again.
    bool installationIsFolder = false;
    const bool installationThere = !_targetPath.empty() &&
                                   _fileManager.exists(_targetPath, &installationIsFolder) &&
                                   installationIsFolder;
    std::vector<std::string> kept;
    std::vector<std::string> folders;
    std::vector<std::string> plainItems;
    for (const std::string& item : items) {
        if (stopRequested()) {
            break;
        }
        // An item the user dropped is taken where it leads; anything beneath one is taken as it is.
        const bool dropped = _walkGuard.isDroppedItem(item);
        const FileManager::EntryKind kind = _fileManager.entryKind(item, dropped);
        // Decided when the bar was set up: a refused item was never counted on it, and is never walked.
        const WalkGuard::Refusal refusal = dropped ? _walkGuard.refusalOf(item) : WalkGuard::Refusal::none;
        const bool refused = refusal != WalkGuard::Refusal::none;
        std::optional<std::string> reason;
        if (!installationThere) {
            reason = _localized("The installation is no longer there.");
        } else if (refused) {
            reason = CompletionReport::refusalText(refusal, _services);
        }
        if (reason) {
            const std::size_t entries = refused ? 1 : _progressEntriesOf(item, kind);
            noteFailure(item, *reason, installationThere || refused ? 1 : fileCount(entries - 1));
            if (!refused) {
                _advanceProgress(entries, path::fileName(item));
            }
        } else if (kind == FileManager::EntryKind::folder) {
            bool targetIsDirectory = false;
            const std::string counterpart = path::join(_targetPath, path::fileName(item));
            if (_fileManager.exists(counterpart, &targetIsDirectory) && targetIsDirectory) {
                match = true;
            }
            kept.push_back(item);
            folders.push_back(item);
        } else if (kind != FileManager::EntryKind::symbolicLink && path::extension(item) == "zip") {
            _extraction.extract(item);
        } else { // a file, or a link or special file beneath the dropped items: put in place only at a
                 // level that lines up, else passed over
            kept.push_back(item);
            plainItems.push_back(item);
        }
    }
    items = std::move(kept);

    if (stopRequested()) {
        // Nothing more is begun.
    } else if (match) {
        _lineUpFound = true;
        _mergeIntoInstallation(items, "");
    } else {
        for (const std::string& item : plainItems) { // never installed: no level of theirs lines up
            _advanceProgress(1, path::fileName(item));
        }
        for (const std::string& folder : folders) {
            if (stopRequested()) {
                break;
            }
            if (_walkGuard.walkFolder(folder)) {
                _advanceProgress(1, path::fileName(folder)); // the folder; its entries count below
                std::vector<std::string> contents = _folderEntries(folder);
                _lineUpAndInstall(contents);
            } else { // walked already by another way, and counted for each way
                _advanceProgress(_progressEntriesOf(folder, FileManager::EntryKind::folder),
                                 path::fileName(folder));
            }
        }
    }

    --_installingPasses;
    if (!_busy()) {
        _finish();
    }
}

bool UpdateRun::_mergeIntoInstallation(const std::vector<std::string>& items, const std::string& subPath) {
    bool copied = false;
    for (const std::string& item : items) {
        if (stopRequested()) {
            break;
        }
        const std::string relativePath = path::join(subPath, path::fileName(item));
        const std::string destination = path::join(_targetPath, relativePath);
        // Beneath the items the user dropped, a link is never followed, compared or installed, and
        // neither is a pipe, socket or device.
        const bool dropped = _walkGuard.isDroppedItem(item);
        const FileManager::EntryKind kind = _fileManager.entryKind(item, dropped);
        if (kind == FileManager::EntryKind::symbolicLink || kind == FileManager::EntryKind::special) {
            noteFailure(item, CompletionReport::notInstalledReason(kind, 0, _services), 1);
            _advanceProgress(1, relativePath);
            continue;
        }
        const std::string source = dropped ? _fileManager.resolvedPath(item).value_or(item) : item;
        // The backups and the copies in progress are the program's own: no add-on writes there.
        if (const auto reserved = CompletionReport::reservedNameText(relativePath, _services)) {
            noteFailure(item, *reserved, 1);
            _advanceProgress(_progressEntriesOf(source, kind), relativePath);
            continue;
        }
        const FileManager::EntryState destinationState = _fileManager.entryState(destination);
        const bool destinationExists = destinationState.exists;
        const bool destinationIsDirectory = destinationState.isDirectory;
        // A link at the destination that leads nowhere is an old file like any other.
        const bool destinationTaken = destinationState.entryExists;
        std::optional<std::string> backupPath;
        if (destinationTaken) {
            if (const auto& backupFolder = _placement.backupFolder()) {
                backupPath = path::join(*backupFolder, relativePath);
            }
        }

        if (destinationExists && destinationIsDirectory) {
            if (backupPath) {
                _fileManager.createFolder(*backupPath);
            }
            if (kind != FileManager::EntryKind::folder) {
                // A file cannot take the place of a folder without losing the folder: it is left out.
                noteFailure(item, _localized("A folder of that name is in the way."), 1);
                _advanceProgress(_progressEntriesOf(source, kind), relativePath);
                continue;
            }
            const auto names = _fileManager.folderContents(source);
            if (!names) {
                noteFailure(item, systemErrorText(_fileManager.lastError()), 1); // an unreadable folder
                _advanceProgress(_progressEntriesOf(source, kind), relativePath);
                continue;
            }
            if (!_walkGuard.walkFolder(source)) { // walked already by another way, and counted for each way
                _advanceProgress(_progressEntriesOf(source, kind), relativePath);
                continue;
            }
            _advanceProgress(1, relativePath); // the merged folder; its entries count as they are merged
            const std::vector<std::string> contents = fullPaths(source, *names);
            if (!contents.empty()) {
                copied = _mergeIntoInstallation(contents, relativePath) || copied;
            }
            continue;
        }

        if (destinationTaken && _fileManager.contentsEqual(source, destination)) {
            ++_numDuplicateFiles;
            _advanceProgress(_progressEntriesOf(source, kind), relativePath);
            continue;
        }
        copied = _countPlacement(source, relativePath,
                                 _placement.installItem(source, kind, destination,
                                                        destinationTaken ? backupPath : std::nullopt)) ||
                 copied;
    }
    return copied;
}

// Counts what became of an item handed to the placement: installed (and maybe replacing an old file), or
// not installed with its reason.
bool UpdateRun::_countPlacement(const std::string& item, const std::string& relativePath,
                                const ItemPlacement::Outcome& outcome) {
    // On the bar the item counts itself as well as every entry beneath it, whatever became of them.
    const std::size_t handled = outcome.entries + (outcome.folder ? 1 : 0);
    if (outcome.stopped) { // given up whole on Cancel: not installed, and no failure
        _advanceProgress(handled, relativePath);
        return false;
    }
    if (outcome.failure) {
        noteFailure(item, *outcome.failure, fileCount(outcome.entries));
        _advanceProgress(handled, relativePath);
        return false;
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
    return true;
}

std::vector<std::string> UpdateRun::_folderEntries(const std::string& folder) const {
    const auto names = _fileManager.folderContents(folder);
    return names ? fullPaths(folder, *names) : std::vector<std::string>();
}

std::size_t UpdateRun::_progressEntriesOf(const std::string& item, FileManager::EntryKind kind) const {
    return 1 + (kind == FileManager::EntryKind::folder ? _fileManager.countSubpaths(item) : 0);
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
        CompletionReport::compose(RunFigures{_numFilesInstalled, _numFilesReplaced, _numDuplicateFiles,
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
        _recordFile = _services.recordStore->keep(_record);
    }
}

void UpdateRun::noteFailure(const std::string& item, const std::string& reason, std::int32_t files) {
    _numFilesFailed += files;
    _notInstalled.push_back(NotInstalled{item, reason});
}

std::string UpdateRun::_localized(const std::string& key) const {
    return _services.localizer.text(key);
}

} // namespace quorvane

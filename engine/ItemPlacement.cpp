#include "engine/ItemPlacement.h"

#include "engine/ArchiveExtraction.h"
#include "engine/DateTimeComponent.h"
#include "platform/CleanupJournal.h"
#include "platform/Clock.h"
#include "platform/Localizer.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>

namespace quorvane {

namespace {

// Names of this many seconds ahead are tried before a taken name is given up on.
constexpr std::time_t kMaxTimestampsTried = 100000;

} // namespace

ItemPlacement::ItemPlacement(const UpdateServices& services, const ArchiveExtraction& extraction,
                             const std::string& targetPath, const std::atomic<bool>* stopRequested)
    : _services(services), _fileManager(services.fileManager), _extraction(extraction),
      _targetPath(targetPath), _stopRequested(stopRequested) {}

const std::optional<std::string>& ItemPlacement::backupFolder() {
    if (_backupFolder) {
        return _backupFolder;
    }
    if (_targetPath.empty()) {
        _services.log.log("Can't create directory");
        return _backupFolder;
    }
    const std::string backupRoot = path::join(_targetPath, "BackupFiles");
    if (!_fileManager.exists(backupRoot)) {
        _madeBackupRoot = _fileManager.createFolder(backupRoot);
        if (!_madeBackupRoot) {
            _services.log.log("Can't create directory");
        }
    }
    // The folder is the run's alone only if this run made it: another window updating the same
    // installation in the same second takes the next second's name. A folder that cannot be made for
    // another reason keeps its name; the moves into it then fail.
    const std::time_t now = _services.clock.now();
    for (std::time_t second = now;; ++second) {
        std::string candidate = path::join(backupRoot, dateTimeComponentAt(second));
        if (_fileManager.createFolder(candidate) || !_fileManager.entryExists(candidate) ||
            second - now >= kMaxTimestampsTried) {
            _backupFolder = std::move(candidate);
            return _backupFolder;
        }
    }
}

ItemPlacement::Outcome ItemPlacement::installItem(const std::string& item, FileManager::EntryKind kind,
                                                  const std::string& destination,
                                                  const std::optional<std::string>& backupPath) {
    // Should something appear at a free destination meanwhile, the final move refuses to overwrite it.
    const bool replacing = backupPath.has_value();
    Outcome outcome;
    // A new file goes straight to its name: the copy writes it unnamed and names it once it is whole,
    // refusing to overwrite, so it needs no temporary name and no rename.
    if (!replacing && kind == FileManager::EntryKind::file && !_extraction.holdsExtractedItem(item)) {
        FileManager::CopyOutcome whole;
        whole.nameWhenWhole = true;
        if (_fileManager.copyPath(item, destination, &whole)) {
            return outcome;
        }
        if (_fileManager.lastError() != EOPNOTSUPP) {
            outcome.error = _fileManager.lastError();
            outcome.failure = systemErrorText(outcome.error);
            return outcome;
        }
        // Where the file system cannot, the file is copied under a temporary name as a folder is.
    }
    const std::string partial = _fileManager.temporaryPathBeside(destination);
    // Noted right after its creation, for removal at the next start should the program be killed first.
    if (_services.cleanupJournal) {
        _services.cleanupJournal->record(partial);
    }
    FileManager::CopyOutcome copy;
    copy.stopRequested = _stopRequested; // a large folder's copy stops when the run is cancelled
    if (!_takeExtractedItem(item, partial, &copy) && !_fileManager.copyPath(item, partial, &copy)) {
        const int error = _fileManager.lastError();
        outcome.folder = _fileManager.entryKind(item, false) == FileManager::EntryKind::folder;
        outcome.entries = outcome.folder ? _fileManager.countSubpaths(item) : 1;
        outcome.stopped = error == ECANCELED && _stopRequested && _stopRequested->load();
        outcome.error = error;
        outcome.failure = systemErrorText(outcome.error);
        return outcome;
    }
    // Should the item not be put in place, every entry the copy met counts as not installed.
    outcome.folder = copy.folder;
    outcome.entries = copy.folder ? copy.descendants + copy.leftOut.size() : 1;
    if (copy.folder) {
        _takeOutReservedNames(item, partial, outcome);
    }

    if (replacing) {
        _replace(partial, copy.folder, destination, *backupPath, outcome);
        if (outcome.failure) {
            return outcome;
        }
    } else if (!_fileManager.movePath(partial, destination)) {
        const int error = _fileManager.lastError();
        _fileManager.removeItem(partial);
        outcome.error = error;
        outcome.failure = systemErrorText(outcome.error);
        return outcome;
    }
    outcome.leftOut = std::move(copy.leftOut);
    return outcome;
}

ItemPlacement::Outcome ItemPlacement::replaceWithCopy(const std::string& partial,
                                                      const std::string& destination,
                                                      const std::string& backupPath) {
    Outcome outcome;
    _replace(partial, false, destination, backupPath, outcome);
    return outcome;
}

void ItemPlacement::_replace(const std::string& partial, bool folder, const std::string& destination,
                             const std::string& backupPath, Outcome& outcome) {
    if (!_keepInBackup(destination, backupPath)) {
        const int error = _fileManager.lastError();
        _fileManager.removeItem(partial);
        outcome.error = error;
        outcome.failure = formatMessage(_services.localizer.text("The old file could not be backed up: %@"),
                                        {systemErrorText(error)});
        return;
    }
    bool placed = _fileManager.replacePath(partial, destination);
    if (!placed && folder) {
        // A folder cannot be renamed over a file. Where the file system can, the two swap names in one
        // step, and the old file, safe in the backup, goes from under the temporary name; else the old
        // file makes room first, and comes back from the backup if the folder cannot take its place.
        if (_fileManager.exchangePath(partial, destination)) {
            placed = true;
            _fileManager.removeItem(partial);
        } else if (_fileManager.removeItem(destination)) {
            placed = _fileManager.movePath(partial, destination);
            if (!placed && !_fileManager.linkPath(backupPath, destination)) {
                _fileManager.copyPath(backupPath, destination);
            }
        }
    }
    if (!placed) {
        const int error = _fileManager.lastError();
        _fileManager.removeItem(partial);
        if (_fileManager.entryExists(destination)) {
            _fileManager.removeItem(backupPath); // the old file stays where it was
        } else {
            _backupHoldsLostItem = true; // its only copy now
        }
        outcome.error = error;
        outcome.failure = systemErrorText(outcome.error);
        return;
    }
    outcome.replaced = true;
}

// An item that an extraction of this run put in its temporary folder is moved rather than copied: the
// folder is deleted once its contents are installed, and a rename within one file system is complete at
// once. Anything else, or a move across file systems, is copied.
bool ItemPlacement::_takeExtractedItem(const std::string& item, const std::string& partial,
                                       FileManager::CopyOutcome* outcome) {
    if (!_extraction.holdsExtractedItem(item) || _fileManager.isSymbolicLink(item) ||
        !_fileManager.movePath(item, partial)) {
        return false;
    }
    _fileManager.exists(partial, &outcome->folder);
    outcome->descendants = outcome->folder ? _fileManager.countSubpaths(partial) : 0;
    return true;
}

// Such a name is the program's mark of its own leftovers: an add-on that brings one never gets it in.
void ItemPlacement::_takeOutReservedNames(const std::string& item, const std::string& partial,
                                          Outcome& outcome) {
    for (const std::string& relative : _fileManager.subpaths(partial)) {
        std::size_t start = 0;
        while (start < relative.size() &&
               !std::string_view(relative).substr(start).starts_with(FileManager::temporaryNamePrefix)) {
            const std::size_t slash = relative.find('/', start);
            start = slash == std::string::npos ? relative.size() : slash + 1;
        }
        if (start == relative.size()) {
            continue; // no part of its path is such a name
        }
        ++outcome.takenOut;
        if (relative.find('/', start) == std::string::npos) { // the highest such entry: it goes
            _fileManager.removeItem(path::join(partial, relative));
            outcome.reserved.push_back(path::join(item, relative));
        }
    }
}

// A second name in the backup folder for the old file (or, where the file system has no hard links, a
// copy), so that the old contents are safe before the destination is replaced.
bool ItemPlacement::_keepInBackup(const std::string& destination, const std::string& backupPath) {
    // The backup's folders are made on the way down, so the link mostly succeeds at once.
    if (_fileManager.linkPath(destination, backupPath)) {
        return true;
    }
    const std::string folder = path::parent(backupPath);
    // Make any parents of the backup entry that are missing, and try the link again; but only inside the
    // run's backup folder, which exists by now: above it lies the installation, never made again.
    if (_backupFolder && path::isInsideFolder(*_backupFolder, folder) && !_fileManager.exists(folder)) {
        std::vector<std::string> missing;
        for (std::string parent = folder;
             path::isInsideFolder(*_backupFolder, parent) && !_fileManager.entryExists(parent);
             parent = path::parent(parent)) {
            missing.push_back(parent);
        }
        std::for_each(missing.rbegin(), missing.rend(),
                      [this](const std::string& parent) { _fileManager.createFolder(parent); });
        if (_fileManager.linkPath(destination, backupPath)) {
            return true;
        }
    }
    return _fileManager.copyPath(destination, backupPath);
}

} // namespace quorvane

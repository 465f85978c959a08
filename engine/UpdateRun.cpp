#include "engine/UpdateRun.h"

#include "engine/CompletionReport.h"
#include "engine/DateTimeComponent.h"
#include "engine/UpdateRunDelegate.h"
#include "platform/CleanupJournal.h"
#include "platform/Clock.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quorvane {
namespace {

// The folder's entries, named by their full paths.
std::vector<std::string> fullPaths(const std::string& folder, const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) {
        paths.push_back(path::stringByAppendingPathComponent(folder, name));
    }
    return paths;
}

// Names of this many seconds ahead are tried before a taken name is given up on.
constexpr std::time_t kMaxTimestampsTried = 100000;

} // namespace

UpdateRun::UpdateRun(UpdateServices services, UpdateRunDelegate& delegate, std::string targetPath,
                     std::vector<std::string> updateFiles)
    : _services(std::move(services)), _fileManager(_services.fileManager), _delegate(delegate),
      _targetPath(std::move(targetPath)), _updateFiles(std::move(updateFiles)),
      _walkGuard(_fileManager, _updateFiles), _placement(_services, _extraction, _privateFiles),
      _extraction(*this, _services) {}

UpdateRun::~UpdateRun() = default;

void UpdateRun::start() {
    for (const std::string& path : _updateFiles) {
        if (!_refusalOf(path)) { // an item never installed (the whole disk, say) is not walked
            _progressMaxValue += static_cast<double>(_fileManager.countSubpathsAtPath(path));
        }
    }
    std::vector<std::string> files = _updateFiles;
    _addDataFromFiles(files);
}

bool UpdateRun::inProgress() const {
    return recursionLevel > 0 || _extraction.pending();
}

const std::optional<std::string>& UpdateRun::privateFiles() {
    if (_privateFiles) {
        return _privateFiles;
    }
    if (_targetPath.empty()) {
        _services.log.log("Can't create directory");
        return _privateFiles;
    }
    const std::string backupRoot = path::stringByAppendingPathComponent(_targetPath, "BackupFiles");
    if (!_fileManager.fileExistsAtPath(backupRoot) && !_fileManager.createDirectoryAtPath(backupRoot)) {
        _services.log.log("Can't create directory");
    }
    // The folder is the run's alone only if this run made it: another window updating the same
    // installation in the same second takes the next second's name. A folder that cannot be made for
    // another reason keeps its name; the moves into it then fail.
    const std::time_t now = _services.clock.now();
    for (std::time_t second = now;; ++second) {
        std::string candidate = path::stringByAppendingPathComponent(backupRoot, dateTimeComponentAt(second));
        if (_fileManager.createDirectoryAtPath(candidate) || !_fileManager.entryExistsAtPath(candidate) ||
            second - now >= kMaxTimestampsTried) {
            _privateFiles = std::move(candidate);
            return _privateFiles;
        }
    }
}

void UpdateRun::_addDataFromFiles(std::vector<std::string>& files) {
    bool match = false;
    ++recursionLevel;

    // Should the installation have gone during the run, nothing more goes in, and nothing makes it again.
    bool installationIsFolder = false;
    const bool installationThere = !_targetPath.empty() &&
                                   _fileManager.fileExistsAtPath(_targetPath, &installationIsFolder) &&
                                   installationIsFolder;
    std::vector<std::string> kept;
    std::vector<std::string> folders;
    for (const std::string& item : files) {
        // An item the user dropped is taken where it leads; anything beneath one is taken as it is.
        const bool dropped = _walkGuard.isDroppedItem(item);
        const FileManager::EntryKind kind = _fileManager.entryKindAtPath(item, dropped);
        std::optional<std::string> reason;
        if (!installationThere) {
            reason = _localized("The installation is no longer there.");
        } else if (dropped) {
            reason = _refusalOf(item);
        } else if (kind == FileManager::EntryKind::symbolicLink) {
            reason = _notInstalledReason(kind, 0);
        }
        if (reason) {
            _noteFailure(item, *reason, installationThere ? 1 : _filesOfItem(item, kind));
        } else if (kind == FileManager::EntryKind::folder) {
            bool targetIsDirectory = false;
            const std::string counterpart =
                path::stringByAppendingPathComponent(_targetPath, path::lastPathComponent(item));
            if (_fileManager.fileExistsAtPath(counterpart, &targetIsDirectory) && targetIsDirectory) {
                match = true;
            }
            kept.push_back(item);
            folders.push_back(item);
        } else if (path::pathExtension(item) == "zip") {
            _extraction._unzipFile(item);
        } else {
            kept.push_back(item);
        }
    }
    files = std::move(kept);

    if (match) {
        _lineUpFound = true;
        _copyDataFromFiles(files, "");
    } else {
        for (const std::string& folder : folders) {
            if (_walkGuard.walkFolder(folder)) {
                std::vector<std::string> contents = _directoryContentFullPathsAtPath(folder);
                _addDataFromFiles(contents);
            }
        }
    }

    --recursionLevel;
    if (recursionLevel == 0 && !_extraction.pending()) {
        _terminateAddDataFromFiles();
    }
}

bool UpdateRun::_copyDataFromFiles(const std::vector<std::string>& files, const std::string& subPath) {
    bool copied = false;
    for (const std::string& item : files) {
        const std::string relativePath =
            path::stringByAppendingPathComponent(subPath, path::lastPathComponent(item));
        const std::string destination = path::stringByAppendingPathComponent(_targetPath, relativePath);
        // Beneath the items the user dropped, a link is never followed, compared or installed, and
        // neither is a pipe, socket or device.
        const bool dropped = _walkGuard.isDroppedItem(item);
        const FileManager::EntryKind kind = _fileManager.entryKindAtPath(item, dropped);
        if (kind == FileManager::EntryKind::symbolicLink || kind == FileManager::EntryKind::special) {
            _noteFailure(item, _notInstalledReason(kind, 0));
            continue;
        }
        const std::string source = dropped ? _fileManager.resolvedPathAtPath(item).value_or(item) : item;
        const FileManager::EntryState destinationState = _fileManager.entryStateAtPath(destination);
        const bool destinationExists = destinationState.exists;
        const bool destinationIsDirectory = destinationState.isDirectory;
        // A link at the destination that leads nowhere is an old file like any other.
        const bool destinationTaken = destinationState.entryExists;
        std::optional<std::string> backupPath;
        if (destinationTaken) {
            if (const auto& backupFolder = privateFiles()) {
                backupPath = path::stringByAppendingPathComponent(*backupFolder, relativePath);
            }
        }

        if (destinationExists && destinationIsDirectory) {
            if (backupPath) {
                _fileManager.createDirectoryAtPath(*backupPath);
            }
            if (kind != FileManager::EntryKind::folder) {
                // A file cannot take the place of a folder without losing the folder: it is left out.
                _noteFailure(item, _localized("A folder of that name is in the way."));
                continue;
            }
            const auto names = _fileManager.directoryContentsAtPath(source);
            if (!names) {
                _noteFailure(item, _errorText(_fileManager.lastError())); // an unreadable folder
                continue;
            }
            if (!_walkGuard.walkFolder(source)) {
                continue;
            }
            const std::vector<std::string> contents = fullPaths(source, *names);
            if (!contents.empty()) {
                copied = _copyDataFromFiles(contents, relativePath) || copied;
            }
            continue;
        }

        if (destinationTaken && _fileManager.contentsEqualAtPath(source, destination)) {
            ++_numDuplicateFiles;
            continue;
        }
        copied = _countPlacement(source, relativePath,
                                 _placement._installItem(source, destination,
                                                         destinationTaken ? backupPath : std::nullopt)) ||
                 copied;
    }
    return copied;
}

// Counts what became of an item handed to the placement: installed (and maybe replacing an old file), or
// not installed with its reason.
bool UpdateRun::_countPlacement(const std::string& item, const std::string& relativePath,
                                const ItemPlacement::Outcome& outcome) {
    if (outcome.failure) {
        _noteFailure(item, *outcome.failure,
                     static_cast<std::int32_t>(std::clamp<std::size_t>(
                         outcome.entries, 1, std::numeric_limits<std::int32_t>::max())));
        return false;
    }
    if (outcome.replaced) {
        ++_numFilesReplaced;
    }
    for (const FileManager::CopyOutcome::LeftOut& entry : outcome.leftOut) {
        _noteFailure(entry.path, _notInstalledReason(entry.kind, entry.error));
    }
    // The number of entries put in place: the file, or everything beneath the folder that was copied.
    const std::size_t count = outcome.entries - outcome.leftOut.size();
    _numFilesInstalled += static_cast<std::int32_t>(count);
    _progressValue += static_cast<double>(count);
    _updateInstallStatus(_localized("Installing:"), relativePath);
    return true;
}

std::vector<std::string> UpdateRun::_directoryContentFullPathsAtPath(const std::string& path) const {
    const auto names = _fileManager.directoryContentsAtPath(path);
    return names ? fullPaths(path, *names) : std::vector<std::string>();
}

std::optional<std::string> UpdateRun::_refusalOf(const std::string& item) const {
    switch (_walkGuard.refusalOf(item, _targetPath)) {
    case WalkGuard::Refusal::none:
        return std::nullopt;
    case WalkGuard::Refusal::isInstallation:
        return _localized("It is the installation itself.");
    case WalkGuard::Refusal::holdsInstallation:
        return _localized("It holds the installation.");
    case WalkGuard::Refusal::inBackups:
        return _localized("It is in the installation's backup folder.");
    }
    return std::nullopt;
}

std::string UpdateRun::_notInstalledReason(FileManager::EntryKind kind, int error) const {
    switch (kind) {
    case FileManager::EntryKind::symbolicLink:
        return _localized("It is a symbolic link.");
    case FileManager::EntryKind::special:
        return _localized("It is a pipe, socket or device.");
    default:
        return _errorText(error);
    }
}

std::int32_t UpdateRun::_filesOfItem(const std::string& item, FileManager::EntryKind kind) const {
    if (kind != FileManager::EntryKind::folder) {
        return 1;
    }
    return static_cast<std::int32_t>(std::clamp<std::size_t>(_fileManager.countSubpathsAtPath(item), 1,
                                                             std::numeric_limits<std::int32_t>::max()));
}

void UpdateRun::_recordForCleanup(const std::string& path) {
    if (_services.cleanupJournal) {
        _services.cleanupJournal->record(path);
    }
}

void UpdateRun::_updateInstallStatus(const std::string& status, const std::string& file) {
    _delegate.updateRunProgressed(status, file, _progressValue, _progressMaxValue);
}

void UpdateRun::_terminateAddDataFromFiles() {
    _progressValue = 0.0;
    _updateInstallStatus(_localized("Installing:"), _localized("Complete"));
    if (_numFilesReplaced == 0 && _privateFiles) {
        _fileManager.removeFileAtPath(*_privateFiles);
    }
    _privateFiles.reset();
    _updateFiles.clear();
    _extraction.setTempFolders(std::nullopt);
    _extraction._removeFinishedTempFolders();
    _delegate.updateRunEnded(CompletionReport::compose(*this, _services));
}

void UpdateRun::_noteFailure(const std::string& item, const std::string& reason, std::int32_t files) {
    _numFilesFailed += files;
    _notInstalled.push_back(NotInstalled{item, reason});
}

std::string UpdateRun::_errorText(int error) {
    return error == 0 ? std::string("Unknown error") : std::string(std::strerror(error));
}

std::string UpdateRun::_localized(const std::string& key) const {
    return _services.localizer.localizedStringForKey(key);
}

} // namespace quorvane

#include "controller/MyInstaller.h"
#include "platform/FileManager.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"

#include <algorithm>
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

// The first of folder and the folders above it that is the folder with the given identity.
std::optional<std::string> findUpwards(const FileManager& files, std::string folder,
                                       const std::pair<std::uint64_t, std::uint64_t>& identity) {
    for (;; folder = path::stringByDeletingLastPathComponent(folder)) {
        if (files.fileIdentityAtPath(folder) == identity) {
            return folder;
        }
        if (folder == "/" || folder.empty()) {
            return std::nullopt;
        }
    }
}

} // namespace

void MyInstaller::_addDataFromFiles(std::vector<std::string>& files) {
    bool match = false;
    ++recursionLevel;

    // Should the installation have gone during the run, nothing more goes in, and nothing makes it again.
    bool installationIsFolder = false;
    const bool installationThere = targetPath() &&
                                   fileManager().fileExistsAtPath(*targetPath(), &installationIsFolder) &&
                                   installationIsFolder;
    std::vector<std::string> kept;
    std::vector<std::string> folders;
    for (const std::string& item : files) {
        // An item the user dropped is taken where it leads; anything beneath one is taken as it is.
        const bool dropped = _isDroppedItem(item);
        const FileManager::EntryKind kind = fileManager().entryKindAtPath(item, dropped);
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
                path::stringByAppendingPathComponent(*targetPath(), path::lastPathComponent(item));
            if (fileManager().fileExistsAtPath(counterpart, &targetIsDirectory) && targetIsDirectory) {
                match = true;
            }
            kept.push_back(item);
            folders.push_back(item);
        } else if (path::pathExtension(item) == "zip") {
            _unzipFile(item);
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
            if (_walkFolder(folder)) {
                std::vector<std::string> contents = _directoryContentFullPathsAtPath(folder);
                _addDataFromFiles(contents);
            }
        }
    }

    --recursionLevel;
    if (recursionLevel == 0 && tempFolders().empty()) {
        _terminateAddDataFromFiles();
    }
}

bool MyInstaller::_copyDataFromFiles(const std::vector<std::string>& files, const std::string& subPath) {
    bool copied = false;
    for (const std::string& item : files) {
        const std::string relativePath = path::stringByAppendingPathComponent(subPath, path::lastPathComponent(item));
        const std::string destination = path::stringByAppendingPathComponent(targetPath().value_or(""), relativePath);
        // Beneath the items the user dropped, a link is never followed, compared or installed, and
        // neither is a pipe, socket or device.
        const bool dropped = _isDroppedItem(item);
        const FileManager::EntryKind kind = fileManager().entryKindAtPath(item, dropped);
        if (kind == FileManager::EntryKind::symbolicLink || kind == FileManager::EntryKind::special) {
            _noteFailure(item, _notInstalledReason(kind, 0));
            continue;
        }
        const std::string source = dropped ? fileManager().resolvedPathAtPath(item).value_or(item) : item;
        const FileManager::EntryState destinationState = fileManager().entryStateAtPath(destination);
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
                fileManager().createDirectoryAtPath(*backupPath);
            }
            if (kind != FileManager::EntryKind::folder) {
                // A file cannot take the place of a folder without losing the folder: it is left out.
                _noteFailure(item, _localized("A folder of that name is in the way."));
                continue;
            }
            const auto names = fileManager().directoryContentsAtPath(source);
            if (!names) {
                _noteFailure(item, _errorText(fileManager().lastError())); // an unreadable folder
                continue;
            }
            if (!_walkFolder(source)) {
                continue;
            }
            const std::vector<std::string> contents = fullPaths(source, *names);
            if (!contents.empty()) {
                copied = _copyDataFromFiles(contents, relativePath) || copied;
            }
            continue;
        }

        if (destinationTaken && fileManager().contentsEqualAtPath(source, destination)) {
            ++_numDuplicateFiles;
            continue;
        }
        copied =
            _installItem(source, relativePath, destination, destinationTaken ? backupPath : std::nullopt) ||
            copied;
    }
    return copied;
}

// Puts one file or folder in place. The new item is copied under a temporary name beside its destination
// first; only a complete copy takes the destination's name, so the destination always holds either the
// old or the new contents. An old file is kept in the backup folder before it is replaced; when it
// cannot be kept, it stays and the new copy is discarded.
bool MyInstaller::_installItem(const std::string& item, const std::string& relativePath,
                               const std::string& destination, const std::optional<std::string>& backupPath) {
    // The caller gives a backup path exactly when the destination is taken. Should something appear
    // there meanwhile, the final move refuses to overwrite it.
    const bool replacing = backupPath.has_value();
    const std::string partial = fileManager().temporaryPathBeside(destination);
    _recordForCleanup(partial);
    FileManager::CopyOutcome copy;
    if (!_takeExtractedItem(item, partial, &copy) && !fileManager().copyPath(item, partial, &copy)) {
        const int error = fileManager().lastError();
        _noteFailure(item, _errorText(error), _filesOfItem(item, fileManager().entryKindAtPath(item, false)));
        return false;
    }
    // The number of entries put in place: the file, or everything beneath the folder. Should it not be
    // put in place, every entry the copy met counts as not installed.
    const bool itemIsDirectory = copy.folder;
    const std::size_t count = itemIsDirectory ? copy.descendants : 1;
    const auto failed = static_cast<std::int32_t>(std::max<std::size_t>(1, count + copy.leftOut.size()));

    if (replacing) {
        if (!_keepInBackup(destination, *backupPath)) {
            const int error = fileManager().lastError();
            fileManager().removeFileAtPath(partial);
            _noteFailure(
                item,
                formatMessage(_localized("The old file could not be backed up: %@"), {_errorText(error)}),
                failed);
            return false;
        }
        bool placed = fileManager().replacePath(partial, destination);
        if (!placed && itemIsDirectory) {
            // A folder cannot be renamed over a file. Where the file system can, the two swap names in one
            // step, and the old file, safe in the backup, goes from under the temporary name; else the old
            // file makes room first, and comes back from the backup if the folder cannot take its place.
            if (fileManager().exchangePath(partial, destination)) {
                placed = true;
                fileManager().removeFileAtPath(partial);
            } else if (fileManager().removeFileAtPath(destination)) {
                placed = fileManager().movePath(partial, destination);
                if (!placed && !fileManager().linkPath(*backupPath, destination)) {
                    fileManager().copyPath(*backupPath, destination);
                }
            }
        }
        if (!placed) {
            const int error = fileManager().lastError();
            fileManager().removeFileAtPath(partial);
            if (fileManager().entryExistsAtPath(destination)) {
                fileManager().removeFileAtPath(*backupPath); // the old file stays where it was
            }
            _noteFailure(item, _errorText(error), failed);
            return false;
        }
        ++_numFilesReplaced;
    } else if (!fileManager().movePath(partial, destination)) {
        const int error = fileManager().lastError();
        fileManager().removeFileAtPath(partial);
        _noteFailure(item, _errorText(error), failed);
        return false;
    }
    for (const FileManager::CopyOutcome::LeftOut& entry : copy.leftOut) {
        _noteFailure(entry.path, _notInstalledReason(entry.kind, entry.error));
    }

    _numFilesInstalled += static_cast<std::int32_t>(count);
    _progressValue += static_cast<double>(count);
    _updateInstallStatus(_localized("Installing:"), relativePath);
    return true;
}

// An item that an extraction of this run put in its temporary folder is moved rather than copied: the
// folder is deleted once its contents are installed, and a rename within one file system is complete at
// once. Anything else, or a move across file systems, is copied.
bool MyInstaller::_takeExtractedItem(const std::string& item, const std::string& partial,
                                     FileManager::CopyOutcome* outcome) {
    const bool extracted = std::any_of(_finishedTempFolders.begin(), _finishedTempFolders.end(),
                                       [&](const std::string& folder) { return path::isInsideFolder(folder, item); });
    if (!extracted || fileManager().isSymbolicLinkAtPath(item) || !fileManager().movePath(item, partial)) {
        return false;
    }
    fileManager().fileExistsAtPath(partial, &outcome->folder);
    outcome->descendants = outcome->folder ? fileManager().countSubpathsAtPath(partial) : 0;
    return true;
}

// A second name in the backup folder for the old file (or, where the file system has no hard links, a
// copy), so that the old contents are safe before the destination is replaced.
bool MyInstaller::_keepInBackup(const std::string& destination, const std::string& backupPath) {
    // The backup's folders are made on the way down, so the link mostly succeeds at once.
    if (fileManager().linkPath(destination, backupPath)) {
        return true;
    }
    const std::string folder = path::stringByDeletingLastPathComponent(backupPath);
    // Make any parents of the backup entry that are missing, and try the link again; but only inside the
    // run's backup folder, which exists by now: above it lies the installation, never made again.
    if (_privateFiles && path::isInsideFolder(*_privateFiles, folder) &&
        !fileManager().fileExistsAtPath(folder)) {
        std::vector<std::string> missing;
        for (std::string parent = folder;
             path::isInsideFolder(*_privateFiles, parent) && !fileManager().entryExistsAtPath(parent);
             parent = path::stringByDeletingLastPathComponent(parent)) {
            missing.push_back(parent);
        }
        std::for_each(missing.rbegin(), missing.rend(),
                      [this](const std::string& parent) { fileManager().createDirectoryAtPath(parent); });
        if (fileManager().linkPath(destination, backupPath)) {
            return true;
        }
    }
    return fileManager().copyPath(destination, backupPath);
}

std::vector<std::string> MyInstaller::_directoryContentFullPathsAtPath(const std::string& path) const {
    const auto names = fileManager().directoryContentsAtPath(path);
    return names ? fullPaths(path, *names) : std::vector<std::string>();
}

bool MyInstaller::_walkFolder(const std::string& folder) {
    const auto identity = fileManager().fileIdentityAtPath(folder);
    if (!identity) {
        return true; // nothing to list there either
    }
    const auto [walked, first] = _walkedFolders.try_emplace(*identity, folder);
    // A folder walked before counts only while its path still leads to it: an extraction's folders go
    // during the run, and their numbers may come back for new folders.
    if (!first && fileManager().fileIdentityAtPath(walked->second) == identity) {
        return false;
    }
    walked->second = folder;
    return true;
}

bool MyInstaller::_isDroppedItem(const std::string& item) const {
    return _droppedItems.count(item) > 0;
}

// Compared by device and inode along the real paths, as names cannot tell: "/" is named "/", and links
// or a second mount may show one folder under many names.
std::optional<std::string> MyInstaller::_refusalOf(const std::string& item) const {
    const auto installation = targetPath() ? fileManager().resolvedPathAtPath(*targetPath()) : std::nullopt;
    const auto itemIdentity = fileManager().fileIdentityAtPath(item);
    const auto resolvedItem = fileManager().resolvedPathAtPath(item);
    if (!installation || !itemIdentity || !resolvedItem) {
        return std::nullopt;
    }
    if (const auto holder = findUpwards(fileManager(), *installation, *itemIdentity)) {
        return *holder == *installation ? _localized("It is the installation itself.")
                                        : _localized("It holds the installation.");
    }
    const auto backups =
        fileManager().fileIdentityAtPath(path::stringByAppendingPathComponent(*installation, "BackupFiles"));
    if (backups && findUpwards(fileManager(), *resolvedItem, *backups)) {
        return _localized("It is in the installation's backup folder.");
    }
    return std::nullopt;
}

std::string MyInstaller::_notInstalledReason(FileManager::EntryKind kind, int error) const {
    switch (kind) {
    case FileManager::EntryKind::symbolicLink:
        return _localized("It is a symbolic link.");
    case FileManager::EntryKind::special:
        return _localized("It is a pipe, socket or device.");
    default:
        return _errorText(error);
    }
}

std::int32_t MyInstaller::_filesOfItem(const std::string& item, FileManager::EntryKind kind) const {
    if (kind != FileManager::EntryKind::folder) {
        return 1;
    }
    return static_cast<std::int32_t>(std::clamp<std::size_t>(fileManager().countSubpathsAtPath(item), 1,
                                                             std::numeric_limits<std::int32_t>::max()));
}

} // namespace quorvane

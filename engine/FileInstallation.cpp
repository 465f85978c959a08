#include "controller/MyInstaller.h"
#include "platform/FileManager.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"

#include <cerrno>

#include <algorithm>

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

} // namespace

void MyInstaller::_addDataFromFiles(std::vector<std::string>& files) {
    bool match = false;
    ++recursionLevel;

    for (auto item = files.begin(); item != files.end();) {
        bool isDirectory = false;
        if (fileManager().fileExistsAtPath(*item, &isDirectory) && isDirectory) {
            bool targetIsDirectory = false;
            const std::string counterpart =
                path::stringByAppendingPathComponent(targetPath().value_or(""), path::lastPathComponent(*item));
            if (targetPath() && fileManager().fileExistsAtPath(counterpart, &targetIsDirectory) && targetIsDirectory) {
                match = true;
            }
            ++item;
        } else if (path::pathExtension(*item) == "zip") {
            const std::string archive = *item;
            item = files.erase(item);
            _unzipFile(archive);
        } else {
            ++item;
        }
    }

    if (match) {
        _copyDataFromFiles(files, "");
    } else {
        for (const std::string& item : files) {
            if (!_enterFolder(item)) {
                continue;
            }
            std::vector<std::string> contents = _directoryContentFullPathsAtPath(item);
            _addDataFromFiles(contents);
            _leaveFolder();
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
            bool itemIsDirectory = false;
            if (!fileManager().fileExistsAtPath(item, &itemIsDirectory) || !itemIsDirectory) {
                // A file cannot take the place of a folder without losing the folder: it is left out.
                _noteFailure(item, _localized("A folder of that name is in the way."));
                continue;
            }
            const auto names = fileManager().directoryContentsAtPath(item);
            if (!names) {
                _noteFailure(item, _errorText(errno)); // an unreadable folder
                continue;
            }
            if (!_enterFolder(item)) {
                continue;
            }
            const std::vector<std::string> contents = fullPaths(item, *names);
            if (!contents.empty()) {
                copied = _copyDataFromFiles(contents, relativePath) || copied;
            }
            _leaveFolder();
            continue;
        }

        if (destinationTaken && fileManager().contentsEqualAtPath(item, destination)) {
            ++_numDuplicateFiles;
            continue;
        }
        copied = _installItem(item, relativePath, destination, destinationTaken ? backupPath : std::nullopt) || copied;
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
        _noteFailure(item, _errorText(errno));
        return false;
    }
    // The number of entries put in place: the file, or everything beneath the folder.
    const bool itemIsDirectory = copy.folder;
    const std::size_t count = itemIsDirectory ? copy.descendants : 1;

    if (replacing) {
        if (!_keepInBackup(destination, *backupPath)) {
            const int error = errno;
            fileManager().removeFileAtPath(partial);
            _noteFailure(item, formatMessage(_localized("The old file could not be backed up: %@"), {_errorText(error)}));
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
            const int error = errno;
            fileManager().removeFileAtPath(partial);
            if (fileManager().entryExistsAtPath(destination)) {
                fileManager().removeFileAtPath(*backupPath); // the old file stays where it was
            }
            _noteFailure(item, _errorText(error));
            return false;
        }
        ++_numFilesReplaced;
    } else if (!fileManager().movePath(partial, destination)) {
        const int error = errno;
        fileManager().removeFileAtPath(partial);
        _noteFailure(item, _errorText(error));
        return false;
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
    bool isDirectory = false;
    if (!fileManager().fileExistsAtPath(folder, &isDirectory)) {
        // Make any parents of the backup entry that are missing, and try the link again.
        std::vector<std::string> missing;
        for (std::string parent = folder; !parent.empty() && parent != "/" && !fileManager().entryExistsAtPath(parent);
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

bool MyInstaller::_enterFolder(const std::string& folder) {
    const auto identity = fileManager().fileIdentityAtPath(folder);
    if (identity && std::find(_descentPath.begin(), _descentPath.end(), *identity) != _descentPath.end()) {
        return false;
    }
    _descentPath.push_back(identity.value_or(std::make_pair(std::uint64_t{0}, std::uint64_t{0})));
    return true;
}

void MyInstaller::_leaveFolder() { _descentPath.pop_back(); }

} // namespace quorvane

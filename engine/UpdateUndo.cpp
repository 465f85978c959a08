#include "engine/UpdateUndo.h"

#include "platform/FdCloser.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"
#include "platform/SystemError.h"

#include <fcntl.h>
#include <fstream>
#include <unistd.h>
#include <unordered_map>

namespace quorvane {

namespace {

// The items an earlier, stopped undo of the record dealt with: their index, and 'r' removed, 'p' put back
// or '-' nothing to do.
std::unordered_map<std::size_t, char> readProgress(const std::optional<std::string>& file) {
    std::unordered_map<std::size_t, char> done;
    std::ifstream in(file.value_or(""), std::ios::binary);
    std::size_t index = 0;
    char outcome = 0;
    while (in >> index >> outcome) {
        done[index] = outcome;
    }
    return done;
}

} // namespace

UpdateUndo::Result UpdateUndo::undo(const UpdateRecord& record, FileManager& fileManager,
                                    const Localizer& localizer,
                                    const std::optional<std::string>& progressFile) {
    const auto localized = [&](const char* key) { return localizer.text(key); };
    // Below the installation, its backup folder included, no link is followed: a link put there since the
    // update fails the items behind it instead of leading the undo elsewhere.
    const PathInFolder::KeepFoldersOpen keepFolders(record.installation());
    Result result;
    const auto& items = record.items();
    const std::unordered_map<std::size_t, char> doneBefore = readProgress(progressFile);
    const int progress = progressFile ? ::open(progressFile->c_str(),
                                               O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600)
                                      : -1;
    const FdCloser closer{progress};
    const auto note = [&](std::size_t index, char outcome) {
        if (progress >= 0) {
            posixio::writeAll(progress, std::to_string(index) + " " + outcome + "\n");
        }
        result.removed += outcome == 'r';
        result.restored += outcome == 'p';
    };
    // A record that names anything outside the installation and its backup folder is not acted on at all.
    const bool confined = record.confined();
    for (std::size_t index = items.size(); index-- > 0;) {
        const UpdateRecord::Item& item = items[index];
        const std::string path = path::join(record.installation(), item.relativePath);
        if (const auto done = doneBefore.find(index); done != doneBefore.end()) {
            note(index, done->second); // counted again, not written again: the file already says so
            continue;
        }
        if (!confined || (item.replaced && !record.backupFolder())) {
            result.leftAlone.push_back({path, localized("The record of the update does not allow it.")});
            continue;
        }
        if (item.intended) {
            if (const auto outcome = undoWrittenAhead(record, item, fileManager)) {
                note(index, *outcome);
            } else {
                result.leftAlone.push_back({path, systemErrorText(fileManager.lastError())});
            }
            continue;
        }
        std::uint64_t entries = 0;
        const auto now = UpdateRecord::currentStamp(fileManager, path, item.folder, &entries);
        if (!now && fileManager.entryKind(path, false) == FileManager::EntryKind::missing) {
            result.leftAlone.push_back({path, localized("It is no longer there.")});
            continue;
        }
        if (!now || !item.stamp || *now != *item.stamp || entries != item.entries) {
            result.leftAlone.push_back({path, localized("It has changed since the update.")});
            continue;
        }
        if (!item.replaced) {
            if (fileManager.removeItem(path)) {
                note(index, 'r');
            } else {
                result.leftAlone.push_back({path, systemErrorText(fileManager.lastError())});
            }
            continue;
        }
        const std::string backup = path::join(*record.backupFolder(), item.relativePath);
        if (fileManager.entryKind(backup, false) == FileManager::EntryKind::missing) {
            result.leftAlone.push_back({path, localized("Its backup copy is no longer there.")});
        } else if (restore(fileManager, backup, path, item.folder)) {
            note(index, 'p');
        } else {
            result.leftAlone.push_back({path, systemErrorText(fileManager.lastError())});
        }
    }
    if (confined && record.backupFolder()) {
        removeEmptyFolders(fileManager, *record.backupFolder());
        // "BackupFiles" goes too when the run made it and it is empty again.
        const std::string backups = path::parent(*record.backupFolder());
        const auto left = fileManager.folderContents(backups);
        if (record.madeBackupRoot() && path::fileName(backups) == "BackupFiles" && left && left->empty()) {
            fileManager.removeItem(backups);
        }
    }
    return result;
}

std::optional<char> UpdateUndo::undoWrittenAhead(const UpdateRecord& record, const UpdateRecord::Item& item,
                                                 FileManager& fileManager) {
    const std::string path = path::join(record.installation(), item.relativePath);
    if (!item.replaced) { // nothing stood there before the run: whatever stands there now is its own
        if (fileManager.entryKind(path, false) == FileManager::EntryKind::missing) {
            return '-';
        }
        return fileManager.removeItem(path) ? std::optional<char>('r') : std::nullopt;
    }
    const std::string backup = path::join(*record.backupFolder(), item.relativePath);
    if (fileManager.entryKind(backup, false) == FileManager::EntryKind::missing) {
        return '-'; // the old item was never moved aside
    }
    // Stopped between the backup's link and the new item's rename: both names are the old item.
    const auto old = fileManager.identity(backup);
    if (old && old == fileManager.identity(path)) {
        return fileManager.removeItem(backup) ? std::optional<char>('-') : std::nullopt;
    }
    const bool newIsFolder = fileManager.entryKind(path, false) == FileManager::EntryKind::folder &&
                             fileManager.entryKind(backup, false) != FileManager::EntryKind::folder;
    return restore(fileManager, backup, path, newIsFolder) ? std::optional<char>('p') : std::nullopt;
}

bool UpdateUndo::restore(FileManager& fileManager, const std::string& backup, const std::string& path,
                         bool newIsFolder) {
    if (!newIsFolder) {
        return fileManager.replacePath(backup, path); // in one step: the old file is never missing
    }
    // A folder took a file's place: the two swap names, and the folder then goes from the backup.
    return fileManager.exchangePath(backup, path) && fileManager.removeItem(backup);
}

void UpdateUndo::removeEmptyFolders(FileManager& fileManager, const std::string& folder) {
    if (fileManager.entryKind(folder, false) != FileManager::EntryKind::folder) {
        return;
    }
    for (const std::string& name : fileManager.folderContents(folder).value_or(std::vector<std::string>())) {
        removeEmptyFolders(fileManager, path::join(folder, name));
    }
    if (const auto left = fileManager.folderContents(folder); left && left->empty()) {
        fileManager.removeItem(folder);
    }
}

UpdateReport UpdateUndo::report(const Result& result, const Localizer& localizer) {
    const auto localized = [&](const char* key) { return localizer.text(key); };
    UpdateReport report;
    report.message = localizer.message(
        "%d added items removed\n%d replaced items put back.",
        {static_cast<std::int32_t>(result.removed), static_cast<std::int32_t>(result.restored)});
    if (result.leftAlone.empty()) {
        report.title = localized("The update was undone");
        return report;
    }
    report.title = localized("The update was partly undone");
    report.message += localizer.message("\n%d items were left as they are.",
                                        {static_cast<std::int32_t>(result.leftAlone.size())});
    for (const LeftAlone& item : result.leftAlone) {
        report.details += formatMessage("%@: %@", {item.item, item.reason}) + "\n";
    }
    return report;
}

} // namespace quorvane

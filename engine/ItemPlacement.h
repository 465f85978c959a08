#pragma once

#include "engine/UpdateServices.h"
#include "platform/FileManager.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class ArchiveExtraction;

// The backup folder of an update run, and the placing of each of its items with the backup of what it
// replaces. It puts one file or folder in place at a time. The new item is copied (or, out of a finished
// extraction folder, moved) under a temporary name beside its destination; an old file is kept in the
// run's backup folder first; only then does the new item take the destination's name, so the destination
// always holds either the old or the new contents. It counts nothing itself: the run counts the outcome.
class ItemPlacement {
public:
    // targetPath: the installation; stopRequested: once set, a folder being copied is given up whole.
    ItemPlacement(const UpdateServices& services, const ArchiveExtraction& extraction,
                  const std::string& targetPath, const std::atomic<bool>* stopRequested = nullptr);
    ItemPlacement(const ItemPlacement&) = delete;
    ItemPlacement& operator=(const ItemPlacement&) = delete;

    // The backup folder of the run, made on first use in "BackupFiles" of the installation; none without
    // an installation.
    const std::optional<std::string>& backupFolder();
    // The backup folder if it has been made, without making it.
    const std::optional<std::string>& madeBackupFolder() const { return _backupFolder; }
    // The run made the installation's "BackupFiles" folder.
    bool madeBackupRoot() const { return _madeBackupRoot; }
    // An old item that could not come back to its place after a failed replacement is kept only in the
    // backup folder, which must then stay.
    bool backupHoldsLostItem() const { return _backupHoldsLostItem; }
    // Forgets the backup folder (the next use makes a new one) or takes another.
    void setBackupFolder(std::optional<std::string> folder) { _backupFolder = std::move(folder); }

    // What became of one item.
    struct Outcome {
        // Why nothing of the item was put in place; none: it was.
        std::optional<std::string> failure;
        // The system's error number behind the failure (ENOSPC: the disk is full).
        int error = 0;
        // Nothing of it was put in place because the run was cancelled while it was being copied.
        bool stopped = false;
        // An old file went to the backup folder and the item took its place.
        bool replaced = false;
        bool folder = false;
        // 1 for a file; for a folder every entry beneath it, copied or left out.
        std::size_t entries = 1;
        // Entries beneath a folder put in place that were not copied (links, special or unreadable files).
        std::vector<FileManager::CopyOutcome::LeftOut> leftOut;
        // Entries beneath the folder named like the program's temporary copies, taken out of it, and the
        // number of entries that went with them.
        std::vector<std::string> reserved;
        std::size_t takenOut = 0;
    };
    // Places the item at the destination. backupPath is given exactly when the destination is taken: the
    // old item is kept there before it is replaced, and when it cannot be kept it stays and the new copy
    // is discarded.
    // kind: what the item is, as the caller has looked at it.
    Outcome installItem(const std::string& item, FileManager::EntryKind kind, const std::string& destination,
                        const std::optional<std::string>& backupPath);
    // Puts a file copied whole beforehand to a temporary name beside the destination (temporaryPathBeside)
    // in the installed file's place, once the old file is kept at backupPath; should that fail, the copy
    // goes and the old file stays.
    Outcome replaceWithCopy(const std::string& partial, const std::string& destination,
                            const std::string& backupPath);

private:
    // The copy at partial takes the destination's place, the old item kept at backupPath first.
    void _replace(const std::string& partial, bool folder, const std::string& destination,
                  const std::string& backupPath, Outcome& outcome);
    bool _takeExtractedItem(const std::string& item, const std::string& partial,
                            FileManager::CopyOutcome* outcome);
    // Takes the entries named like the program's temporary copies out of the copy of item at partial.
    void _takeOutReservedNames(const std::string& item, const std::string& partial, Outcome& outcome);
    bool _keepInBackup(const std::string& destination, const std::string& backupPath);

    const UpdateServices& _services;
    FileManager& _fileManager;
    const ArchiveExtraction& _extraction;
    const std::string& _targetPath;
    std::optional<std::string> _backupFolder;
    bool _madeBackupRoot = false;
    bool _backupHoldsLostItem = false;
    const std::atomic<bool>* _stopRequested;
};

} // namespace quorvane

#pragma once

#include "platform/FileManager.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// What one update run did to its installation, kept so that it can be undone: each item it put in
// place, whether that replaced an old item (kept at the same relative path in the run's backup folder),
// and how the item looked once the run was over, so that an item changed since is recognised.
class UpdateRecord {
public:
    struct Item {
        // Relative to the installation, and to the backup folder for the old item it replaced.
        std::string relativePath;
        bool replaced = false;
        bool folder = false;
        // Once the run is over: a file's size and modification time; for a folder, the total size, the
        // latest modification time and the number of entries beneath it. None: the item had gone by then.
        std::optional<FileManager::EntryStamp> stamp;
        std::uint64_t entries = 0;
        // Written ahead: the run was about to put it in place, and may have been stopped before or after.
        bool intended = false;
    };

    UpdateRecord() = default;
    UpdateRecord(std::string installation, std::time_t date)
        : _installation(std::move(installation)), _date(date) {}

    const std::string& installation() const { return _installation; }
    std::time_t date() const { return _date; }
    // The run's backup folder; none when the run replaced nothing.
    const std::optional<std::string>& backupFolder() const { return _backupFolder; }
    void setBackupFolder(std::optional<std::string> folder) { _backupFolder = std::move(folder); }
    // The run made the "BackupFiles" folder that holds its backup folder.
    bool madeBackupRoot() const { return _madeBackupRoot; }
    void setMadeBackupRoot(bool made) { _madeBackupRoot = made; }
    // The names of the items the user dropped (folders, archives, files), as the history shows them.
    const std::vector<std::string>& addOnNames() const { return _addOnNames; }
    // Names the add-ons by the dropped items' paths.
    void setAddOnsFrom(const std::vector<std::string>& droppedItems);
    // Its backups were removed to free space (or it had none when older ones were): it is no longer undone.
    bool backupRemoved() const { return _backupRemoved; }
    void setBackupRemoved() { _backupRemoved = true; }
    const std::vector<Item>& items() const { return _items; }
    std::size_t replacedCount() const;
    // The files the run put in place as its report counts them: a file, or every entry beneath a folder.
    std::size_t filesAdded() const;
    bool empty() const { return _items.empty(); }

    void addItem(std::string relativePath, bool replaced, bool folder);
    // Notes how every item looks now.
    void stampItems(const FileManager& fileManager);
    // How the item looks now, in the terms of its stamp.
    static std::optional<FileManager::EntryStamp> currentStamp(const FileManager& fileManager,
                                                               const std::string& path, bool folder,
                                                               std::uint64_t* entries);

    // It names only paths inside its installation (an absolute path without "." or ".." parts) and, for
    // the old items, its own folder in the installation's "BackupFiles": a record that names anything
    // else has been changed or damaged, and is never acted on.
    bool confined() const;

    // The record as bytes for a file, and back; none for bytes that are no record. Records of the first
    // format (without add-on names) still read.
    std::string serialized() const;
    // One item as the record's bytes hold it, for a record that grows as its run goes.
    static std::string serializedItem(const Item& item);
    static std::optional<UpdateRecord> parse(const std::string& bytes);
    // The installation and date a record's first bytes name, read even when the rest is damaged or cut off;
    // none when they are no record's beginning.
    struct Head {
        std::string installation;
        std::time_t date = 0;
    };
    static std::optional<Head> parseHead(std::string_view bytes);

private:
    std::string _installation;
    std::time_t _date = 0;
    std::optional<std::string> _backupFolder;
    bool _madeBackupRoot = false;
    bool _backupRemoved = false;
    std::vector<std::string> _addOnNames;
    std::vector<Item> _items;
};

} // namespace quorvane

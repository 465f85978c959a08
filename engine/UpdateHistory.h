#pragma once

#include "engine/UpdateRecordStore.h"
#include "engine/UpdateUndo.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class FileManager;
class Localizer;

// The recorded updates of one installation, newest first, as read from the record store: what each
// installed, what its backup holds, and whether it can still be undone. It works out which later updates
// stand in the way of undoing an older one, undoes updates newest first, and removes old backups. Reads
// and walks folders: use it off the window's thread.
class UpdateHistory {
public:
    struct Entry {
        std::string id; // the record's name in the store
        std::time_t date = 0;
        std::vector<std::string> addOnNames;
        std::size_t filesAdded = 0;    // as the update's report counted them
        std::size_t filesReplaced = 0; // the previous files it backed up
        std::uint64_t backupBytes = 0;
        bool damaged = false;
        bool undoable = false;
    };
    // Which updates an undo takes back, newest first; the one asked for is the last.
    struct Plan {
        std::vector<std::size_t> updates;
        // Among them, those that can no longer be undone (damaged, or their backup removed or gone): the
        // plan is then refused.
        std::vector<std::size_t> blocked;
        bool possible() const { return !updates.empty() && blocked.empty(); }
    };
    struct Removal {
        std::size_t updates = 0; // no longer undoable since
        std::uint64_t freedBytes = 0;
        std::vector<std::string> notRemoved; // backup folders that could not be removed
    };

    UpdateHistory(UpdateRecordStore& store, FileManager& fileManager, std::string installation);

    const std::string& installation() const { return _installation; }
    const std::vector<Entry>& entries() const { return _entries; }
    std::optional<std::size_t> indexOf(const std::string& id) const;

    // Undoing the update at index: first every later update that changed one of the files or folders it
    // touched (or a folder above or below one), and those in the way of these, newest first.
    Plan undoPlan(std::size_t index) const;
    // Every update from the newest down to the oldest, stopping above the first that can no longer be
    // undone: the installation goes back as far as its backups allow.
    Plan restorePlan() const;
    // Undoes the plan's updates newest first, each record forgotten once undone. A file changed since is
    // left alone and named, as a single undo does. The updates undone leave the history.
    UpdateUndo::Result undo(const Plan& plan, const Localizer& localizer);
    // The updates whose backups removeBackups(keep) would remove, with the bytes it would free.
    Removal backupsBeyond(std::size_t keep) const;
    // Removes the backup folders of every update but the newest keep and notes in their records that they
    // can no longer be undone. "BackupFiles" goes too once empty, when one of them made it.
    Removal removeBackups(std::size_t keep);

private:
    // Later's items touch a file or folder of earlier's, or one above or below it.
    static bool overlaps(const UpdateRecord& later, const UpdateRecord& earlier);
    // The undone update had made "BackupFiles", which still holds later backups: one of them takes it over.
    void passOnBackupRoot(std::size_t undone, const Plan& plan);
    // The backup folder lies where the record says, inside the installation, reached through no link.
    bool backupFolderInside(const UpdateRecord& record) const;

    UpdateRecordStore& _store;
    FileManager& _fileManager;
    std::string _installation;
    std::vector<UpdateRecordStore::Kept> _kept;
    std::vector<Entry> _entries;
};

} // namespace quorvane

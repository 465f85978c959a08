#include "engine/UpdateHistory.h"

#include "platform/FileManager.h"
#include "platform/PathUtilities.h"

#include <algorithm>
#include <set>

namespace quorvane {

UpdateHistory::UpdateHistory(UpdateRecordStore& store, FileManager& fileManager, std::string installation)
    : _store(store), _fileManager(fileManager), _installation(std::move(installation)),
      _kept(store.historyOf(_installation)) {
    for (const UpdateRecordStore::Kept& kept : _kept) {
        Entry entry{UpdateRecordStore::idOf(kept.file), kept.date, {}, 0, 0, 0, !kept.record, false};
        if (const auto& record = kept.record) {
            entry.addOnNames = record->addOnNames();
            entry.filesAdded = record->filesAdded();
            entry.filesReplaced = record->replacedCount();
            const bool backedUp =
                record->backupFolder() && !record->backupRemoved() && backupFolderInside(*record);
            std::uint64_t entries = 0;
            const auto backup =
                backedUp ? UpdateRecord::currentStamp(fileManager, *record->backupFolder(), true, &entries)
                         : std::nullopt;
            entry.backupBytes = backup ? backup->size : 0;
            // What it replaced comes back from its backup only while the backup is there.
            entry.undoable = !record->backupRemoved() && (entry.filesReplaced == 0 || backup);
        }
        _entries.push_back(std::move(entry));
    }
}

std::optional<std::size_t> UpdateHistory::indexOf(const std::string& id) const {
    const auto found =
        std::find_if(_entries.begin(), _entries.end(), [&](const Entry& entry) { return entry.id == id; });
    return found == _entries.end() ? std::nullopt : std::optional<std::size_t>(found - _entries.begin());
}

bool UpdateHistory::overlaps(const UpdateRecord& later, const UpdateRecord& earlier) {
    std::set<std::string_view> touched;
    for (const UpdateRecord::Item& item : later.items()) {
        touched.insert(item.relativePath);
    }
    for (const UpdateRecord::Item& item : earlier.items()) {
        const std::string_view path = item.relativePath;
        if (touched.count(path) > 0) {
            return true;
        }
        // One below it.
        const std::string below = std::string(path) + "/";
        if (const auto next = touched.lower_bound(below); next != touched.end() && next->starts_with(below)) {
            return true;
        }
        // A folder above it.
        for (std::size_t slash = path.find('/'); slash != std::string_view::npos;
             slash = path.find('/', slash + 1)) {
            if (touched.count(path.substr(0, slash)) > 0) {
                return true;
            }
        }
    }
    return false;
}

UpdateHistory::Plan UpdateHistory::undoPlan(std::size_t index) const {
    Plan plan;
    if (index >= _entries.size()) {
        return plan;
    }
    // From the next later update up to the newest: one in the way of any already in the plan joins it. A
    // damaged record tells nothing of what it touched, so it stands in the way of everything older.
    std::vector<std::size_t> chain{index};
    for (std::size_t later = index; later-- > 0;) {
        const auto& record = _kept[later].record;
        if (!record || std::any_of(chain.begin(), chain.end(), [&](std::size_t earlier) {
                return _kept[earlier].record && overlaps(*record, *_kept[earlier].record);
            })) {
            chain.push_back(later);
        }
    }
    std::sort(chain.begin(), chain.end());
    plan.updates = chain;
    std::copy_if(chain.begin(), chain.end(), std::back_inserter(plan.blocked),
                 [this](std::size_t i) { return !_entries[i].undoable; });
    return plan;
}

UpdateHistory::Plan UpdateHistory::restorePlan() const {
    Plan plan;
    for (std::size_t i = 0; i < _entries.size() && _entries[i].undoable; ++i) {
        plan.updates.push_back(i);
    }
    return plan;
}

UpdateUndo::Result UpdateHistory::undo(const Plan& plan, const Localizer& localizer) {
    UpdateUndo::Result all;
    if (!plan.possible()) {
        return all;
    }
    for (const std::size_t index : plan.updates) {
        const UpdateUndo::Result one = UpdateUndo::undo(*_kept[index].record, _fileManager, localizer);
        all.removed += one.removed;
        all.restored += one.restored;
        all.leftAlone.insert(all.leftAlone.end(), one.leftAlone.begin(), one.leftAlone.end());
        // The next undo goes one run further back.
        _store.forget(_kept[index].file);
        passOnBackupRoot(index, plan);
    }
    for (auto index = plan.updates.rbegin(); index != plan.updates.rend(); ++index) {
        _kept.erase(_kept.begin() + static_cast<std::ptrdiff_t>(*index));
        _entries.erase(_entries.begin() + static_cast<std::ptrdiff_t>(*index));
    }
    return all;
}

void UpdateHistory::passOnBackupRoot(std::size_t undone, const Plan& plan) {
    const UpdateRecord& record = *_kept[undone].record;
    if (!record.madeBackupRoot() || !_fileManager.entryExists(path::join(_installation, "BackupFiles"))) {
        return;
    }
    // Undone before the later updates whose backups are still in it: the oldest of them takes "BackupFiles"
    // over, so that the folder goes with the last of them.
    for (std::size_t i = _kept.size(); i-- > 0;) {
        auto& heir = _kept[i].record;
        if (heir && heir->backupFolder() && !heir->backupRemoved() && !heir->madeBackupRoot() &&
            std::find(plan.updates.begin(), plan.updates.end(), i) == plan.updates.end()) {
            heir->setMadeBackupRoot(true);
            _store.rewrite(_kept[i].file, *heir);
            return;
        }
    }
}

bool UpdateHistory::backupFolderInside(const UpdateRecord& record) const {
    const std::string& folder = *record.backupFolder();
    const auto installation = _fileManager.resolvedPath(_installation);
    const auto parent = _fileManager.resolvedPath(path::parent(folder));
    return installation && parent && *parent == path::join(*installation, "BackupFiles") &&
           _fileManager.entryKind(folder, false) == FileManager::EntryKind::folder;
}

UpdateHistory::Removal UpdateHistory::backupsBeyond(std::size_t keep) const {
    Removal removal;
    for (std::size_t i = keep; i < _entries.size(); ++i) {
        if (_kept[i].record && !_kept[i].record->backupRemoved()) {
            ++removal.updates;
            removal.freedBytes += _entries[i].backupBytes;
        }
    }
    return removal;
}

UpdateHistory::Removal UpdateHistory::removeBackups(std::size_t keep) {
    Removal removal;
    bool madeRoot = false;
    for (std::size_t i = keep; i < _entries.size(); ++i) {
        if (!_kept[i].record || _kept[i].record->backupRemoved()) {
            continue;
        }
        UpdateRecord& record = *_kept[i].record;
        if (record.backupFolder() && backupFolderInside(record)) {
            if (!_fileManager.removeItem(*record.backupFolder())) {
                removal.notRemoved.push_back(*record.backupFolder());
                continue;
            }
            removal.freedBytes += _entries[i].backupBytes;
            madeRoot = madeRoot || record.madeBackupRoot();
        }
        record.setBackupRemoved();
        if (!_store.rewrite(_kept[i].file, record)) {
            removal.notRemoved.push_back(_kept[i].file);
            continue;
        }
        ++removal.updates;
        _entries[i].undoable = false;
        _entries[i].backupBytes = 0;
    }
    const std::string root = path::join(_installation, "BackupFiles");
    const auto left = _fileManager.folderContents(root);
    if (madeRoot && left && left->empty() && !_fileManager.isSymbolicLink(root)) {
        _fileManager.removeItem(root);
    }
    return removal;
}

} // namespace quorvane

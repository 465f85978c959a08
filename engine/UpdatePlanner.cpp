#include "engine/UpdatePlanner.h"

#include "engine/ArchivePreview.h"
#include "engine/ComparisonQueue.h"
#include "engine/CompletionReport.h"
#include "engine/ExtractionCheck.h"
#include "engine/WalkGuard.h"
#include "engine/ZipCentralDirectory.h"
#include "platform/FileHandle.h"
#include "platform/FreeSpace.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sys/vfs.h>

namespace quorvane {
namespace {

// File systems without hard links, where a backup is a copy: FAT and exFAT.
constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;

bool hasHardLinks(const std::string& folder) {
    struct statfs info {};
    return folder.empty() || ::statfs(folder.c_str(), &info) != 0 ||
           (info.f_type != kMsdosMagic && info.f_type != kExfatMagic);
}

std::uint32_t clampedCount(std::uint64_t count) {
    return static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(count, 1, std::numeric_limits<std::int32_t>::max()));
}

// What a folder added whole holds: what goes in, and what the copy leaves out.
struct NewFolder {
    std::uint64_t entries = 0;   // every entry beneath it
    std::uint64_t installed = 0; // those put in place
    std::uint64_t bytes = 0;
    std::vector<UpdatePlan::Entry> leftOut;
};

void walkNewFolder(const FileManager& files, const UpdateServices& services, const std::string& folder,
                   const std::string& relative, NewFolder& found) {
    for (const std::string& name : files.folderContents(folder).value_or(std::vector<std::string>())) {
        const std::string path = path::join(folder, name);
        const FileManager::EntryKind kind = files.entryKind(path, false);
        ++found.entries;
        if (name.starts_with(FileManager::temporaryNamePrefix)) {
            found.entries += kind == FileManager::EntryKind::folder ? files.countSubpaths(path) : 0;
            found.leftOut.push_back({path,
                                     {},
                                     UpdatePlan::Fate::notInstalled,
                                     kind,
                                     1,
                                     0,
                                     CompletionReport::reservedNameText(name, services).value_or(""),
                                     true});
        } else if (kind == FileManager::EntryKind::symbolicLink || kind == FileManager::EntryKind::special) {
            found.leftOut.push_back({path,
                                     {},
                                     UpdatePlan::Fate::notInstalled,
                                     kind,
                                     1,
                                     0,
                                     CompletionReport::notInstalledReason(kind, 0, services),
                                     true});
        } else {
            ++found.installed;
            if (kind == FileManager::EntryKind::folder) {
                walkNewFolder(files, services, path, path::join(relative, name), found);
            } else {
                found.bytes += files.fileSize(path, false).value_or(0);
            }
        }
    }
}

} // namespace

UpdatePlanner::UpdatePlanner(const UpdateServices& services, WalkGuard& walkGuard,
                             const std::string& installation, const std::atomic<bool>& stopRequested)
    : _services(services), _fileManager(services.fileManager), _walkGuard(walkGuard),
      _installation(installation), _stopRequested(stopRequested),
      _backupsAreCopies(!hasHardLinks(installation)) {}

void UpdatePlanner::plan(const std::vector<std::string>& items, UpdatePlan& plan) {
    ComparisonQueue comparisons(_fileManager, _installation, _stopRequested);
    _comparisons = &comparisons;
    _lineUp(items, plan);
    for (const std::size_t index : comparisons.alikeTags()) {
        plan.settleIdentical(index);
    }
    _comparisons = nullptr;
    if (_stopRequested.load(std::memory_order_relaxed)) {
        plan.setIncomplete();
    }
}

std::string UpdatePlanner::_localized(const std::string& key) const {
    return _services.localizer.text(key);
}

std::uint64_t UpdatePlanner::_progressEntriesOf(const std::string& item, FileManager::EntryKind kind) const {
    return 1 + (kind == FileManager::EntryKind::folder ? _fileManager.countSubpaths(item) : 0);
}

std::vector<std::string> UpdatePlanner::_folderEntries(const std::string& folder) const {
    std::vector<std::string> paths;
    for (const std::string& name : _fileManager.folderContents(folder).value_or(std::vector<std::string>())) {
        paths.push_back(path::join(folder, name));
    }
    return paths;
}

// One level of the items: when a folder among them has a counterpart in the installation, this level is
// merged in; else each folder is descended into. Archives are planned wherever the walk meets them.
void UpdatePlanner::_lineUp(const std::vector<std::string>& items, UpdatePlan& plan) {
    using Fate = UpdatePlan::Fate;
    bool installationIsFolder = false;
    const bool installationThere = !_installation.empty() &&
                                   _fileManager.exists(_installation, &installationIsFolder) &&
                                   installationIsFolder;
    bool match = false;
    std::vector<std::string> kept;
    std::vector<std::string> folders;
    std::vector<std::string> plainItems;
    for (const std::string& item : items) {
        if (_stopRequested.load(std::memory_order_relaxed)) {
            return;
        }
        // An item the user dropped is taken where it leads; anything beneath one is taken as it is.
        const bool dropped = _walkGuard.isDroppedItem(item);
        const FileManager::EntryKind kind = _fileManager.entryKind(item, dropped);
        const WalkGuard::Refusal refusal = dropped ? _walkGuard.refusalOf(item) : WalkGuard::Refusal::none;
        if (refusal != WalkGuard::Refusal::none) { // never counted on the bar, never walked
            plan.add({item,
                      {},
                      Fate::notInstalled,
                      kind,
                      1,
                      0,
                      CompletionReport::refusalText(refusal, _services).value_or(""),
                      false});
        } else if (!installationThere) {
            const std::uint64_t entries = _progressEntriesOf(item, kind);
            plan.add({item,
                      {},
                      Fate::notInstalled,
                      kind,
                      clampedCount(entries - 1),
                      entries,
                      _localized("The installation is no longer there."),
                      false});
        } else if (kind == FileManager::EntryKind::folder) {
            bool targetIsDirectory = false;
            if (_fileManager.exists(path::join(_installation, path::fileName(item)), &targetIsDirectory) &&
                targetIsDirectory) {
                match = true;
            }
            kept.push_back(item);
            folders.push_back(item);
        } else if (kind != FileManager::EntryKind::symbolicLink && path::extension(item) == "zip") {
            _planArchive(item, plan);
        } else { // put in place only at a level that lines up, else passed over
            kept.push_back(item);
            plainItems.push_back(item);
        }
    }
    if (match) {
        plan.setLineUpFound();
        _merge(kept, "", plan);
        return;
    }
    for (std::size_t i = 0; i < plainItems.size(); ++i) { // never installed: no level of theirs lines up
        plan.add({{}, {}, Fate::passOver, FileManager::EntryKind::file, 0, 1, {}, false});
    }
    for (const std::string& folder : folders) {
        if (_stopRequested.load(std::memory_order_relaxed)) {
            return;
        }
        if (_walkGuard.walkFolder(folder)) {
            plan.add({{}, {}, Fate::passOver, FileManager::EntryKind::folder, 0, 1, {}, false});
            _lineUp(_folderEntries(folder), plan);
        } else { // walked already by another way, and counted for each way
            plan.add({{},
                      {},
                      Fate::passOver,
                      FileManager::EntryKind::folder,
                      0,
                      _progressEntriesOf(folder, FileManager::EntryKind::folder),
                      {},
                      false});
        }
    }
}

void UpdatePlanner::_merge(const std::vector<std::string>& items, const std::string& subPath,
                           UpdatePlan& plan) {
    using Fate = UpdatePlan::Fate;
    for (const std::string& item : items) {
        if (_stopRequested.load(std::memory_order_relaxed)) {
            return;
        }
        const std::string relativePath = path::join(subPath, path::fileName(item));
        const std::string destination = path::join(_installation, relativePath);
        // Beneath the items the user dropped, a link is never followed, compared or installed, and
        // neither is a pipe, socket or device.
        const bool dropped = _walkGuard.isDroppedItem(item);
        const FileManager::EntryKind kind = _fileManager.entryKind(item, dropped);
        if (kind == FileManager::EntryKind::symbolicLink || kind == FileManager::EntryKind::special) {
            plan.add({item, relativePath, Fate::notInstalled, kind, 1, 1,
                      CompletionReport::notInstalledReason(kind, 0, _services), false});
            continue;
        }
        const std::string source = dropped ? _fileManager.resolvedPath(item).value_or(item) : item;
        // The backups and the copies in progress are the program's own: no add-on writes there.
        if (const auto reserved = CompletionReport::reservedNameText(relativePath, _services)) {
            plan.add({item, relativePath, Fate::notInstalled, kind, 1, _progressEntriesOf(source, kind),
                      *reserved, false});
            continue;
        }
        const FileManager::EntryState state = _fileManager.entryState(destination);
        if (state.exists && state.isDirectory) {
            // The backup keeps the folder's place, should something beneath it be replaced.
            const bool merging = kind == FileManager::EntryKind::folder && _fileManager.exists(source) &&
                                 _walkGuard.walkFolder(source);
            plan.add({source, relativePath, Fate::mergeFolder, kind, 0, merging ? 1u : 0u, {}, false});
            if (kind != FileManager::EntryKind::folder) {
                // A file cannot take the place of a folder without losing the folder: it is left out.
                plan.add({item, relativePath, Fate::notInstalled, kind, 1, _progressEntriesOf(source, kind),
                          _localized("A folder of that name is in the way."), false});
                continue;
            }
            const auto names = _fileManager.folderContents(source);
            if (!names) { // an unreadable folder
                plan.add({item, relativePath, Fate::notInstalled, kind, 1, 1,
                          systemErrorText(_fileManager.lastError()), false});
                continue;
            }
            if (!merging) { // walked already by another way, and counted for each way
                plan.add({{}, {}, Fate::passOver, kind, 0, _progressEntriesOf(source, kind), {}, false});
                continue;
            }
            std::vector<std::string> contents;
            contents.reserve(names->size());
            for (const std::string& name : *names) {
                contents.push_back(path::join(source, name));
            }
            _merge(contents, relativePath, plan);
            continue;
        }
        // A file over an installed one may turn out identical: compared on the side as the walk goes on.
        if (state.entryExists && kind == FileManager::EntryKind::file) {
            _comparisons->add(plan.entries().size(), source, destination);
        }
        _planPlacement(source, kind, relativePath, state.entryExists, destination, plan);
    }
}

void UpdatePlanner::_planPlacement(const std::string& item, FileManager::EntryKind kind,
                                   const std::string& relativePath, bool replacing,
                                   const std::string& destination, UpdatePlan& plan) {
    const UpdatePlan::Fate fate = replacing ? UpdatePlan::Fate::replace : UpdatePlan::Fate::add;
    std::uint64_t backupBytes = 0;
    if (replacing && _backupsAreCopies) {
        backupBytes = _fileManager.fileSize(destination, false).value_or(0);
    }
    if (kind != FileManager::EntryKind::folder) {
        plan.add({item, relativePath, fate, kind, 1, 1, {}, false},
                 _fileManager.fileSize(item, false).value_or(0) + backupBytes);
        return;
    }
    NewFolder found;
    walkNewFolder(_fileManager, _services, item, relativePath, found);
    plan.add({item,
              relativePath,
              fate,
              kind,
              static_cast<std::uint32_t>(found.installed),
              1 + found.entries,
              {},
              false},
             found.bytes + backupBytes);
    for (UpdatePlan::Entry& leftOut : found.leftOut) { // on the bar with the folder
        plan.add(std::move(leftOut));
    }
}

void UpdatePlanner::_planArchive(const std::string& archive, UpdatePlan& plan) {
    using Fate = UpdatePlan::Fate;
    // Only a file that can be read goes to the tool: a pipe or a device named like an archive would keep
    // the tool, and so the update, waiting for good.
    if (!FileHandle::openForReading(archive)) {
        plan.add({archive,
                  {},
                  Fate::notInstalled,
                  FileManager::EntryKind::file,
                  1,
                  1,
                  systemErrorText(errno),
                  false});
        return;
    }
    const std::uint64_t size = _fileManager.fileSize(archive, true).value_or(0);
    const auto directory = ZipCentralDirectory::readFile(archive, size);
    if (!directory) {
        plan.add({archive,
                  {},
                  Fate::notInstalled,
                  FileManager::EntryKind::file,
                  1,
                  1,
                  _localized("The archive is damaged: its table of contents cannot be read."),
                  false});
        return;
    }
    const auto files = static_cast<std::uint32_t>(ExtractionCheck::fileCount(*directory));
    if (const auto refusal = ExtractionCheck::methodRefusal(*directory, _services.localizer)) {
        plan.add({archive, {}, Fate::notInstalled, FileManager::EntryKind::file, files, 1, *refusal, false});
        return;
    }
    // It is extracted beside itself first: it must fit there.
    const std::uint64_t needed = directory->totalSize();
    const std::optional<std::uint64_t> free = freeSpace(path::parent(archive));
    if (free && needed > *free) {
        plan.add({archive,
                  {},
                  Fate::notInstalled,
                  FileManager::EntryKind::file,
                  files,
                  1,
                  formatMessage(
                      _localized("It needs %@ bytes of free space to be extracted, and its disk has %@."),
                      {std::to_string(needed), std::to_string(*free)}),
                  false});
        return;
    }
    plan.add({archive, {}, Fate::archive, FileManager::EntryKind::file, files, 1, {}, false}, needed);
    if (ArchivePreview(_services, _installation).preview(archive, *directory, plan)) {
        plan.setArchiveLinesUp();
    }
}

} // namespace quorvane

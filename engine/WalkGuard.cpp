#include "engine/WalkGuard.h"

#include "platform/FileManager.h"
#include "platform/PathUtilities.h"

namespace quorvane {
namespace {

// The first of folder and the folders above it that is the folder with the given identity.
std::optional<std::string> findUpwards(const FileManager& files, std::string folder,
                                       const std::pair<std::uint64_t, std::uint64_t>& identity) {
    for (;; folder = path::parent(folder)) {
        if (files.identity(folder) == identity) {
            return folder;
        }
        if (folder == "/" || folder.empty()) {
            return std::nullopt;
        }
    }
}

} // namespace

WalkGuard::WalkGuard(const FileManager& fileManager, const std::vector<std::string>& droppedItems,
                     std::string installation)
    : _fileManager(fileManager), _droppedItems(droppedItems.begin(), droppedItems.end()),
      _installation(std::move(installation)) {}

// Compared by device and inode along the real paths, as names cannot tell: "/" is named "/", and links
// or a second mount may show one folder under many names.
WalkGuard::Refusal WalkGuard::refusalOf(const std::string& item) {
    if (const auto decided = _refusals.find(item); decided != _refusals.end()) {
        return decided->second;
    }
    return _refusals[item] = _decideRefusal(item);
}

WalkGuard::Refusal WalkGuard::_decideRefusal(const std::string& item) const {
    const auto installation = _installation.empty() ? std::nullopt : _fileManager.resolvedPath(_installation);
    const auto itemIdentity = _fileManager.identity(item);
    if (!installation || !itemIdentity) {
        return Refusal::none;
    }
    if (const auto holder = findUpwards(_fileManager, *installation, *itemIdentity)) {
        return *holder == *installation ? Refusal::isInstallation : Refusal::holdsInstallation;
    }
    if (_fileManager.identity(path::join(*installation, "BackupFiles")) == itemIdentity) {
        return Refusal::isBackups;
    }
    return Refusal::none;
}

bool WalkGuard::walkFolder(const std::string& folder) {
    const auto identity = _fileManager.identity(folder);
    if (!identity) {
        return true; // nothing to list there either
    }
    const auto [walked, first] = _walkedFolders.try_emplace(*identity, folder);
    // A folder walked before counts only while its path still leads to it: an extraction's folders go
    // during the run, and their numbers may come back for new folders.
    if (!first && _fileManager.identity(walked->second) == identity) {
        return false;
    }
    walked->second = folder;
    return true;
}

} // namespace quorvane

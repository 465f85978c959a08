#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {

class FileManager;

// Keeps an update run's walk through the dropped trees finite and away from the installation: it knows
// the items the user dropped, the only ones whose links are followed, refuses those that are the
// installation or its backups, and walks each folder once however many ways lead to it.
class WalkGuard {
public:
    WalkGuard(const FileManager& fileManager, const std::vector<std::string>& droppedItems,
              std::string installation);

    // An item the user dropped: the one place where a link is followed.
    bool isDroppedItem(const std::string& item) const { return _droppedItems.contains(item); }
    enum class Refusal { none, isInstallation, holdsInstallation, isBackups };
    // Why a dropped item must not be installed into the installation: it is the installation, holds it,
    // or is its "BackupFiles" folder (what lies inside a backup may be dropped: that is how old files
    // are put back by hand). Decided once for each item, on the first question.
    Refusal refusalOf(const std::string& item);
    // Notes the folder as walked; no when it was walked already (reached a second way).
    bool walkFolder(const std::string& folder);

private:
    Refusal _decideRefusal(const std::string& item) const;

    const FileManager& _fileManager;
    std::set<std::string> _droppedItems;
    const std::string _installation;
    std::map<std::string, Refusal> _refusals;
    // The folders walked, by device and inode, with the path they were walked by.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> _walkedFolders;
};

} // namespace quorvane

#pragma once

#include "engine/UpdatePlan.h"
#include "engine/UpdateServices.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

class ComparisonQueue;
class WalkGuard;

// Makes the plan of an update without writing anything: walks the items level by level for the one that
// lines up with the installation, then merges it in on paper, deciding each entry's fate as the update
// will carry it out. Archives are planned from their central directory; what they hold lines up once
// extracted. It reads only.
class UpdatePlanner {
public:
    UpdatePlanner(const UpdateServices& services, WalkGuard& walkGuard, const std::string& installation,
                  const std::atomic<bool>& stopRequested);

    // Plans the items, dropped ones or an extraction's contents, onto the end of the plan.
    void plan(const std::vector<std::string>& items, UpdatePlan& plan);

private:
    void _lineUp(const std::vector<std::string>& items, UpdatePlan& plan);
    void _merge(const std::vector<std::string>& items, const std::string& subPath, UpdatePlan& plan);
    // A file or folder put where nothing is, or in place of an installed item.
    void _planPlacement(const std::string& item, FileManager::EntryKind kind, const std::string& relativePath,
                        bool replacing, const std::string& destination, UpdatePlan& plan);
    // The archive's entry, from its central directory.
    void _planArchive(const std::string& archive, UpdatePlan& plan);
    std::uint64_t _progressEntriesOf(const std::string& item, FileManager::EntryKind kind) const;
    std::vector<std::string> _folderEntries(const std::string& folder) const;
    std::string _localized(const std::string& key) const;

    const UpdateServices& _services;
    FileManager& _fileManager;
    WalkGuard& _walkGuard;
    const std::string& _installation;
    const std::atomic<bool>& _stopRequested;
    // Replaced files are copied into the backup where the installation's disk has no hard links.
    bool _backupsAreCopies = false;
    // Compares the plan's replacements of files by files as the walk finds them.
    ComparisonQueue* _comparisons = nullptr;
};

} // namespace quorvane

#pragma once

#include "engine/ArchiveExtraction.h"
#include "engine/ItemPlacement.h"
#include "engine/UpdateServices.h"
#include "engine/WalkGuard.h"
#include "platform/FileManager.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class UpdateRunDelegate;

// One confirmed update: the dropped items installed into one installation, from the confirmation to the
// report. It finds the level of the dropped trees that lines up with the installation, merges it in
// with backups of what it replaces, has archives extracted on the way, counts what it did and what it
// could not do, and tells its delegate of its progress and its end. It knows the file system, not the
// window.
class UpdateRun {
public:
    // targetPath: the installation; updateFiles: the items the user dropped onto it.
    UpdateRun(UpdateServices services, UpdateRunDelegate& delegate, std::string targetPath,
              std::vector<std::string> updateFiles);
    // A run still going stops: its tools are killed and its extraction folders deleted; its backup
    // folder stays.
    ~UpdateRun();
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;

    // Sizes the progress maximum and installs the dropped items. Without archives the run has ended
    // when this returns; else it ends with the last extraction.
    void start();
    // From start() to the report, extractions included.
    bool inProgress() const;

    const std::string& targetPath() const { return _targetPath; }
    // The backup folder of the run, created on first use; none without a target path.
    const std::optional<std::string>& privateFiles() { return _placement.privateFiles(); }
    ArchiveExtraction& extraction() { return _extraction; }

    // The run's figures; they keep their values after the report.
    double progressValue() const { return _progressValue; }
    double progressMaxValue() const { return _progressMaxValue; }
    std::int32_t numFilesInstalled() const { return _numFilesInstalled; }
    std::int32_t numDuplicateFiles() const { return _numDuplicateFiles; }
    std::int32_t numFilesReplaced() const { return _numFilesReplaced; }
    std::int32_t numFilesFailed() const { return _numFilesFailed; }
    // Some level of the run's items lined up with the installation.
    bool lineUpFound() const { return _lineUpFound; }
    // What could not be installed, and why.
    struct NotInstalled {
        std::string item;
        std::string reason;
    };
    const std::vector<NotInstalled>& notInstalled() const { return _notInstalled; }
    // The text of a system error number, as the system words it.
    static std::string _errorText(int error);
    // The number of _addDataFromFiles calls in progress: 0 whenever the run is not inside one.
    std::int32_t activeAddDataCalls() const { return recursionLevel; }

private:
    // The extractions feed their trees, figures and failures into the run.
    friend class ArchiveExtraction;

    void _addDataFromFiles(std::vector<std::string>& files);
    bool _copyDataFromFiles(const std::vector<std::string>& files, const std::string& subPath);
    std::vector<std::string> _directoryContentFullPathsAtPath(const std::string& path) const;
    // Counts what became of an item handed to _placement; yes when it was installed.
    bool _countPlacement(const std::string& item, const std::string& relativePath,
                         const ItemPlacement::Outcome& outcome);
    // The entries an item stands for on the progress bar: itself, and every entry beneath a folder. The
    // maximum counts each entry of the dropped items once (and each archive's contents once opened); each
    // is advanced once when handled, whatever becomes of it, so that the bar is full when the run ends.
    std::size_t _progressEntriesOf(const std::string& item, FileManager::EntryKind kind) const;
    // Moves the bar on by entries handled and shows the item with the status ("Installing:" if none).
    void _advanceProgress(std::size_t entries, const std::string& file, const std::string& status = "");
    // Notes a temporary item right after its creation, for removal at the next start should the program
    // be killed before it goes.
    void _recordForCleanup(const std::string& path);
    void _terminateAddDataFromFiles();
    void _updateInstallStatus(const std::string& status, const std::string& file);
    // Counts files that could not be installed (the item, or every file under a folder) and keeps the
    // item's name with the reason for the report.
    void _noteFailure(const std::string& item, const std::string& reason, std::int32_t files = 1);
    std::string _localized(const std::string& key) const;

    UpdateServices _services;
    FileManager& _fileManager;
    UpdateRunDelegate& _delegate;
    const std::string _targetPath;
    std::vector<std::string> _updateFiles;
    double _progressValue = 0.0;
    double _progressMaxValue = 0.0;
    std::int32_t _numFilesInstalled = 0;
    std::int32_t _numDuplicateFiles = 0;
    std::int32_t _numFilesReplaced = 0;
    // Items that could not be installed (copy, backup or source failed).
    std::int32_t _numFilesFailed = 0;
    std::vector<NotInstalled> _notInstalled;
    // The number of _addDataFromFiles calls in progress.
    std::int32_t recursionLevel = 0;
    // Some level of the run's items lined up with the installation.
    bool _lineUpFound = false;
    WalkGuard _walkGuard;
    // The backup folder, and each item put in place with the backup of what it replaces.
    ItemPlacement _placement;
    // Declared last, so that its tools stop before the rest of the run goes.
    ArchiveExtraction _extraction;
};

} // namespace quorvane

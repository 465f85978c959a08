#pragma once

#include "controller/InstallerOutlets.h"
#include "controller/InstallerServices.h"
#include "engine/ExtractionQueue.h"
#include "platform/FileManager.h"
#include "platform/Image.h"
#include "platform/TableDataSource.h"
#include "registry/AppRecord.h"
#include "registry/InstallationList.h"
#include "registry/InstallationListDelegate.h"
#include "registry/InstallationStatus.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {

class CleanupJournal;
class MyProcess;
class ZipCentralDirectory;

// The one controller of the program. It holds the installation list the table shows, takes the drops on
// the table and runs the update of an installation: it installs the dropped items with backups, extracts
// archives with the jar tool, shows the progress and reports the outcome.
//
// The installation list is an object of its own (registry/InstallationList); the controller shows it in
// the table. Its methods are split by subsystem: the table in InstallationTable.cpp, drop handling in
// drop/, installation, extraction and the report in engine/; fields, accessors and start-up here.
class MyInstaller : public TableDataSource, public InstallationListDelegate {
public:
    explicit MyInstaller(InstallerServices services);
    ~MyInstaller() override;
    MyInstaller(const MyInstaller&) = delete;
    MyInstaller& operator=(const MyInstaller&) = delete;

    // The window connects its controls, then sends awakeFromNib once.
    void connectOutlets(const InstallerOutlets& outlets);
    void awakeFromNib();

    FileManager& fileManager() const { return _fileManager; }
    const std::optional<std::string>& targetPath() const { return _targetPath; }
    void setTargetPath(std::optional<std::string> targetPath) { _targetPath = std::move(targetPath); }
    // The backup folder of the current update, created on first use; none without a target path.
    const std::optional<std::string>& privateFiles();
    void setPrivateFiles(std::optional<std::string> privateFiles) { _privateFiles = std::move(privateFiles); }
    // The installations the table shows.
    InstallationList& installationList() { return _installationList; }
    const std::optional<std::vector<std::string>>& updateFiles() const { return _updateFiles; }
    void setUpdateFiles(std::optional<std::vector<std::string>> updateFiles) { _updateFiles = std::move(updateFiles); }
    std::vector<std::string>& tempFolders();
    // Deletes from disk every folder of the list held until now, then holds the new list.
    void setTempFolders(std::optional<std::vector<std::string>> tempFolders);
    const ImagePtr& goodFolderIcon() override;
    void setGoodFolderIcon(ImagePtr icon) { _goodFolderIcon = std::move(icon); }
    const ImagePtr& badFolderIcon() override;
    void setBadFolderIcon(ImagePtr icon) { _badFolderIcon = std::move(icon); }

    // Read-only views of the update run's figures.
    double progressValue() const { return _progressValue; }
    double progressMaxValue() const { return _progressMaxValue; }
    std::int32_t numFilesInstalled() const { return _numFilesInstalled; }
    std::int32_t numDuplicateFiles() const { return _numDuplicateFiles; }
    std::int32_t numFilesReplaced() const { return _numFilesReplaced; }
    std::int32_t numFilesFailed() const { return _numFilesFailed; }
    // What could not be installed in the current update, and why.
    struct NotInstalled {
        std::string item;
        std::string reason;
    };
    const std::vector<NotInstalled>& notInstalled() const { return _notInstalled; }
    // From the confirmation of a drop to the completion report, extractions included.
    bool updateInProgress() const;

    // The table's data source and drop target.
    int numberOfRowsInTableView(TableView& tableView) override;
    ObjectValue objectValueForTableColumn(TableView& tableView, const std::string& columnIdentifier,
                                          int row) override;
    DragOperation validateDrop(TableView& tableView, const DraggingInfo& info, int proposedRow,
                               TableViewDropOperation operation) override;
    bool acceptDrop(TableView& tableView, const DraggingInfo& info, int row,
                    TableViewDropOperation operation) override;

    // The Cancel button's action. An update cannot be stopped half-way: it does nothing.
    void cancelInstall();

private:
    friend class MyInstallerTestPeer;

    // controller/
    void _initVariables();
    // Progress, counters and the run's bookkeeping back to their start, as at the start of every update.
    void _resetUpdateFigures();
    std::string _dateTimeComponent() const;
    static std::string _dateTimeComponentAt(std::time_t time);
    std::string _localized(const std::string& key) const;
    // The first timestamp name in folder, from the clock's second on, that names nothing yet.
    std::string _freeTimestampPathIn(const std::string& folder) const;

    // controller/InstallationTable.cpp: the table and the window show the installation list.
    void _growWindowForPaths(std::size_t pathCount);
    void installationListWeighed(std::size_t listedPaths) override;
    void installationListChanged() override;
    // The list could not be saved: said in a sheet.
    void installationListNotSaved(int error) override;

    // drop/
    InstallationStatus _validApplicationInList(const std::vector<std::string>& paths);
    // _validApplicationInList, kept for the drag of these paths.
    InstallationStatus _validApplicationInDrag(const std::vector<std::string>& paths);
    void _dragConfirmed(int returnCode);
    void _openRefusalSheet();
    // Says why the confirmed installation is not updated: its new status, or another folder at its path.
    void _openTargetChangedSheet(const std::string& path, InstallationStatus status);

    // engine/
    void _addDataFromFiles(std::vector<std::string>& files);
    bool _copyDataFromFiles(const std::vector<std::string>& files, const std::string& subPath);
    std::vector<std::string> _directoryContentFullPathsAtPath(const std::string& path) const;
    bool _installItem(const std::string& item, const std::string& relativePath, const std::string& destination,
                      const std::optional<std::string>& backupPath);
    bool _takeExtractedItem(const std::string& item, const std::string& partial, FileManager::CopyOutcome* outcome);
    bool _keepInBackup(const std::string& destination, const std::string& backupPath);
    // Notes the folder as walked in this run; no when it was walked already (reached a second way).
    bool _walkFolder(const std::string& folder);
    // An item the user dropped: the one place where a link is followed.
    bool _isDroppedItem(const std::string& item) const;
    // Why a dropped item must not be installed: it is the installation, holds it, or lies in its backups.
    std::optional<std::string> _refusalOf(const std::string& item) const;
    // Why an entry was not installed: a link or special file is never installed; else the system's error.
    std::string _notInstalledReason(FileManager::EntryKind kind, int error) const;
    // The files an item would have added: 1 for a file, every entry beneath a folder (at least 1).
    std::int32_t _filesOfItem(const std::string& item, FileManager::EntryKind kind) const;
    // The installation's top folders as the report names them: sorted, joined, hidden ones left out.
    std::string _topFolderNames() const;
    void _unzipFile(const std::string& path);
    void _unzipDataAvailable(MyProcess& process);
    // directory: the archive's central directory, read before the tool started.
    void _unzipProcessCompleted(MyProcess& process, const ZipCentralDirectory& directory);
    void _removeFinishedTempFolders();
    // Notes a temporary item right after its creation, for removal at the next start should the program
    // be killed before it goes.
    void _recordForCleanup(const std::string& path);
    std::optional<std::string> _createTemporaryDirectoryForFile(const std::string& path);
    void _terminateAddDataFromFiles();
    void _updateInstallStatus(const std::string& status, const std::string& file);
    // Counts files that could not be installed (the item, or every file under a folder) and keeps the
    // item's name with the reason for the report.
    void _noteFailure(const std::string& item, const std::string& reason, std::int32_t files = 1);
    // The text of a system error number, as the system words it.
    static std::string _errorText(int error);
    // One line per item not installed, at most kMaxDetailLines of them and then how many more.
    std::string _failureDetails() const;
    void _redrawStatus();

    // Outlets.
    TableView* _appPathSelector = nullptr;
    TextField* _file = nullptr;
    Window* _window = nullptr;
    ProgressIndicator* _progress = nullptr;
    TextField* _fileLabel = nullptr;
    Button* _cancelButton = nullptr;

    std::optional<std::string> _targetPath;
    std::optional<std::string> _privateFiles;
    std::optional<std::vector<std::string>> _updateFiles;
    InstallationList _installationList;
    std::optional<std::vector<std::string>> _tempFolders;
    // Extraction folders whose contents are installed, kept until no extraction inside them runs.
    std::vector<std::string> _finishedTempFolders;
    ImagePtr _goodFolderIcon;
    ImagePtr _badFolderIcon;
    FileManager& _fileManager;
    UserDefaults& _userDefaults;
    double _progressValue = 0.0;
    double _progressMaxValue = 0.0;
    std::int32_t _numFilesInstalled = 0;
    std::int32_t _numDuplicateFiles = 0;
    std::int32_t _numFilesReplaced = 0;
    // Items that could not be installed (copy, backup or source failed) in the current update.
    std::int32_t _numFilesFailed = 0;
    std::vector<NotInstalled> _notInstalled;

    // The number of _addDataFromFiles calls in progress.
    std::int32_t recursionLevel = 0;
    // Folders walked in this run (by device and inode, with the path they were walked by): each once.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> _walkedFolders;
    // The items the user dropped for this run.
    std::set<std::string> _droppedItems;
    // Some level of this run's items lined up with the installation.
    bool _lineUpFound = false;
    // A confirmation sheet is open: no second drop may replace its target.
    bool _awaitingConfirmation = false;
    // The dragged paths of the drag in progress and their list status, until it is dropped.
    std::optional<std::pair<std::vector<std::string>, InstallationStatus>> _dragVerdict;
    std::optional<std::chrono::steady_clock::time_point> _lastStatusRedraw;

    Localizer& _localizer;
    Log& _log;
    Clock& _clock;
    Bundle& _bundle;
    ImageLoader& _imageLoader;
    std::string _locatePath;
    std::string _jarPath;
    CleanupJournal* _cleanupJournal = nullptr;
    // The extraction tools running and waiting for a core.
    ExtractionQueue _extractionQueue;
};

} // namespace quorvane

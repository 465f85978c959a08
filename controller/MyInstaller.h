#pragma once

#include "controller/InstallerOutlets.h"
#include "controller/InstallerServices.h"
#include "engine/UndoJob.h"
#include "engine/UpdateRecordStore.h"
#include "engine/UpdateRun.h"
#include "engine/UpdateRunDelegate.h"
#include "platform/ActionTarget.h"
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
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {

class CleanupJournal;
class ToolProcess;

// The one controller of the program. It holds the installation list the table shows, takes the drops on
// the table and starts the update of an installation as an UpdateRun, whose progress and report it
// shows.
//
// The installation list is an object of its own (registry/InstallationList) and one update an UpdateRun
// (engine/); the controller shows both. Its methods: the table in InstallationTable.cpp, drop handling in
// drop/, the progress display and the report sheet in ProgressDisplay.cpp, the menu actions in
// InstallerActions.cpp; fields, accessors and start-up here.
class MyInstaller : public TableDataSource,
                    public InstallationListDelegate,
                    public UpdateRunDelegate,
                    public ActionTarget {
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
    // The installations the table shows.
    InstallationList& installationList() { return _installationList; }
    const std::optional<std::vector<std::string>>& updateFiles() const { return _updateFiles; }
    void setUpdateFiles(std::optional<std::vector<std::string>> updateFiles) { _updateFiles = std::move(updateFiles); }
    const ImagePtr& goodFolderIcon() override;
    void setGoodFolderIcon(ImagePtr icon) { _goodFolderIcon = std::move(icon); }
    const ImagePtr& badFolderIcon() override;
    void setBadFolderIcon(ImagePtr icon) { _badFolderIcon = std::move(icon); }

    // The update running, or the last one until the next starts; none before the first.
    const UpdateRun* updateRun() const { return _updateRun.get(); }
    // From the confirmation of a drop to the completion report, extractions included; and while put back.
    bool updateInProgress() const;

    // The table's data source and drop target.
    int numberOfRowsInTableView(TableView& tableView) override;
    ObjectValue objectValueForTableColumn(TableView& tableView, const std::string& columnIdentifier,
                                          int row) override;
    DragOperation validateDrop(TableView& tableView, const DraggingInfo& info, int proposedRow,
                               TableViewDropOperation operation) override;
    bool acceptDrop(TableView& tableView, const DraggingInfo& info, int row,
                    TableViewDropOperation operation) override;

    // The Cancel button's action: the update stops between two items and reports what it did so far.
    void cancelInstall();
    // Asked when the user closes the window: during an update, a sheet asks first; yes cancels the update
    // and closes the window once it has ended.
    bool windowShouldClose();

    // The update run's progress, shown in the labels and the bar, and its end, shown in a sheet.
    void updateRunProgressed(const std::string& status, const std::string& file, double value,
                             double maxValue) override;
    void updateRunEnded(const UpdateReport& report) override;

private:
    friend class MyInstallerTestPeer;

    // controller/
    void _initVariables();
    std::string _dateTimeComponent() const;
    std::string _localized(const std::string& key) const;

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
    // Opens the confirmation of an update of the row with updateFiles(); no when the row takes no items.
    bool _confirmUpdateOfRow(int row);
    // No drop nor action takes items now: a run, an undo or a sheet is under way.
    bool _takesNoItems() const { return updateInProgress() || _awaitingConfirmation || _undoing; }
    // Says why the confirmed installation is not updated: its new status, or another folder at its path.
    void _openTargetChangedSheet(const std::string& path, InstallationStatus status);

    // controller/ (the progress display)
    void _redrawStatus();
    // Undoes the cancelled run that has ended, and reports how it went.
    void _putBack();

    // Outlets.
    TableView* _appPathSelector = nullptr;
    TextField* _file = nullptr;
    Window* _window = nullptr;
    ProgressIndicator* _progress = nullptr;
    TextField* _fileLabel = nullptr;
    Button* _cancelButton = nullptr;

    std::optional<std::string> _targetPath;
    std::optional<std::vector<std::string>> _updateFiles;
    InstallationList _installationList;
    ImagePtr _goodFolderIcon;
    ImagePtr _badFolderIcon;
    FileManager& _fileManager;
    Preferences& _preferences;
    // A confirmation sheet is open: no second drop may replace its target.
    bool _awaitingConfirmation = false;
    // The dragged paths of the drag in progress and their list status, until it is dropped.
    std::optional<std::pair<std::vector<std::string>, InstallationStatus>> _dragVerdict;
    std::optional<std::chrono::steady_clock::time_point> _lastStatusRedraw;
    // The user chose to quit during an update: the window closes once it has ended.
    bool _closeWhenEnded = false;

    Localizer& _localizer;
    Log& _log;
    Clock& _clock;
    Bundle& _bundle;
    ImageLoader& _imageLoader;
    std::string _locatePath;
    std::string _jarPath;
    CleanupJournal* _cleanupJournal = nullptr;
    UpdateRecordStore* _recordStore = nullptr;
    // At most one run at a time. A run that has ended stays until the next one starts: it calls the
    // controller from inside its own operations, so it is never destroyed during such a call.
    std::unique_ptr<UpdateRun> _updateRun;

    // controller/InstallerActions.cpp: the window's menu actions, each on the selected row, refused where
    // a drop would be.
public:
    bool actionEnabled(UserAction action) override;
    bool installItems(const std::vector<std::string>& paths) override;
    bool addInstallation(const std::string& path) override;
    void removeSelectedInstallation() override;
    void showSelectedInFileManager() override;
    void undoLastUpdate() override;
    bool activateSelectedRow() override;
    // Items the program was started with: with one valid installation its confirmation opens at once;
    // otherwise the waiting line says they wait for a row to be chosen.
    void offerWaitingItems(std::vector<std::string> items);
    const std::vector<std::string>& waitingItems() const { return _waitingItems; }
    // Where the waiting items are told; none: they are not.
    void setWaitingLine(TextField* line) { _waitingLine = line; }

private:
    // The selected row's path, when the selected row is an installation (valid or not).
    std::optional<std::string> _selectedPath() const;
    // The selected row is a valid installation.
    bool _selectedRowTakesItems() const;
    void _waitingItemsConfirmed(int returnCode);
    void _selectRowNear(int row);
    void _showWaitingLine();
    void _undoConfirmed(const UpdateRecordStore::Kept& kept);
    // The run's backup folder, shown in the file manager from its report.
    void _showBackupFolder();

    Workspace& _workspace;
    TextField* _waitingLine = nullptr;
    std::vector<std::string> _waitingItems;
    // An undo of the menu runs.
    bool _undoing = false;
    // The ended run is being put back: it counts as the update in progress.
    bool _puttingBack = false;
    // Declared last: it goes first, after the undo under way.
    UndoJob _undoJob;
};

} // namespace quorvane

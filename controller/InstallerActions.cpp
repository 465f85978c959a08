// MyInstaller's menu actions: what a drag does, and what no drag can do, done to the selected row.
// Each is refused exactly where a drop onto that row would be: a row that is no valid installation, a
// run or an undo under way, a sheet waiting for an answer.
#include "controller/MyInstaller.h"
#include "platform/AlertSheet.h"
#include "platform/FileManager.h"
#include "platform/MessageFormat.h"
#include "platform/TableView.h"
#include "platform/TextField.h"
#include "platform/Window.h"
#include "platform/Workspace.h"

#include <QMetaObject>
#include <algorithm>

namespace quorvane {
namespace {

// The date of a run as its undo sheet names it.
std::string runDate(std::time_t date) {
    std::tm local{};
    localtime_r(&date, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

} // namespace

std::optional<std::string> MyInstaller::_selectedPath() const {
    const int row = _appPathSelector ? _appPathSelector->selectedRow() : -1;
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    if (row < 0 || static_cast<std::size_t>(row) >= list.size()) {
        return std::nullopt;
    }
    return list[static_cast<std::size_t>(row)].path;
}

bool MyInstaller::_selectedRowTakesItems() const {
    const int row = _appPathSelector ? _appPathSelector->selectedRow() : -1;
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    return row >= 0 && static_cast<std::size_t>(row) < list.size() &&
           list[static_cast<std::size_t>(row)].status == InstallationStatusValid &&
           list[static_cast<std::size_t>(row)].path;
}

bool MyInstaller::actionEnabled(UserAction action) {
    switch (action) {
    case UserAction::installItems:
    case UserAction::undoLastUpdate:
        return !_takesNoItems() && _selectedRowTakesItems() &&
               (action == UserAction::installItems || _recordStore != nullptr);
    case UserAction::addInstallation:
        return !_takesNoItems();
    case UserAction::removeFromList:
        return !_takesNoItems() && _selectedPath().has_value();
    case UserAction::showInFileManager: {
        bool isDirectory = false;
        const auto path = _selectedPath();
        return path && _fileManager.exists(*path, &isDirectory) && isDirectory;
    }
    }
    return false;
}

bool MyInstaller::installItems(const std::vector<std::string>& paths) {
    if (_takesNoItems() || paths.empty() || !_appPathSelector) {
        return false;
    }
    setUpdateFiles(paths);
    return _confirmUpdateOfRow(_appPathSelector->selectedRow());
}

bool MyInstaller::addInstallation(const std::string& path) {
    if (_takesNoItems()) {
        return false;
    }
    const bool added = _installationList._addApplications(std::vector<std::string>{path}, true);
    // Its row is selected, listed now or before, so that the keys act on it next.
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    for (std::size_t row = 0; row < list.size() && _appPathSelector; ++row) {
        if (list[row].path == path) {
            _appPathSelector->selectRow(static_cast<int>(row), false);
        }
    }
    return added;
}

void MyInstaller::removeSelectedInstallation() {
    const auto path = _selectedPath();
    if (!actionEnabled(UserAction::removeFromList) || !path || !_window) {
        return;
    }
    _awaitingConfirmation = true;
    _window->beginAlertSheet(AlertSheet{formatMessage(_localized("Remove %@ from the list?"), {*path}),
                                        _localized("Remove"), _localized("Cancel"),
                                        _localized("The folder itself is not touched."),
                                        [this, path = *path, row = _appPathSelector->selectedRow()](int returnCode) {
                                            _awaitingConfirmation = false;
                                            if (returnCode == NSAlertDefaultReturn) {
                                                _installationList._removeApplication(path);
                                                _selectRowNear(row);
                                            }
                                        },
                                        {}});
}

void MyInstaller::_selectRowNear(int row) {
    // The row that took the removed one's place, or the last: Delete and the arrows go on from there.
    const auto count = static_cast<int>(_installationList.targetPathArray().size());
    if (_appPathSelector && count > 0) {
        _appPathSelector->selectRow(std::min(row, count - 1), false);
    }
}

void MyInstaller::showSelectedInFileManager() {
    if (actionEnabled(UserAction::showInFileManager)) {
        _workspace.openFolder(*_selectedPath());
    }
}

void MyInstaller::_showBackupFolder() {
    if (_updateRun && _updateRun->record().backupFolder()) {
        _workspace.openFolder(*_updateRun->record().backupFolder());
    }
}

void MyInstaller::undoLastUpdate() {
    if (!actionEnabled(UserAction::undoLastUpdate) || !_window) {
        return;
    }
    const std::string path = *_selectedPath();
    std::optional<UpdateRecordStore::Kept> kept = _recordStore->latestFor(path);
    if (!kept) {
        _window->beginAlertSheet(AlertSheet{_localized("There is no update to undo"), _localized("OK"),
                                            std::nullopt,
                                            formatMessage(_localized("No update of %@ is left to undo."), {path}),
                                            nullptr, {}});
        return;
    }
    const UpdateRecord& record = kept->record;
    const auto replaced = static_cast<std::int32_t>(record.replacedCount());
    const auto added = static_cast<std::int32_t>(record.items().size()) - replaced;
    const std::string message = formatMessage(
        _localized("The update of %@ added %d items and replaced %d. The added items are removed and the "
                   "replaced ones put back from the backup; an item changed since is left alone."),
        {runDate(record.date()), added, replaced});
    _awaitingConfirmation = true;
    _window->beginAlertSheet(AlertSheet{formatMessage(_localized("Undo the update of %@?"), {path}),
                                        _localized("OK"), _localized("Cancel"), message,
                                        [this, kept = std::move(*kept)](int returnCode) {
                                            _awaitingConfirmation = false;
                                            if (returnCode == NSAlertDefaultReturn) {
                                                _undoConfirmed(kept);
                                            }
                                        },
                                        {}});
}

void MyInstaller::_undoConfirmed(const UpdateRecordStore::Kept& kept) {
    if (_takesNoItems() || !_recordStore) {
        return;
    }
    _undoing = true;
    // The files are moved on the job's thread; the window stays live, and the report comes back here.
    _undoJob.start(kept.record, kept.file, [this](const UpdateReport& report) {
        _undoing = false;
        if (_window) {
            _window->beginAlertSheet(AlertSheet{report.title, _localized("OK"), std::nullopt, report.message,
                                                nullptr, report.details});
        }
    });
}

void MyInstaller::offerWaitingItems(std::vector<std::string> items) {
    _waitingItems = std::move(items);
    if (_waitingItems.empty()) {
        _showWaitingLine();
        return;
    }
    std::optional<int> only;
    int valid = 0;
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    for (std::size_t row = 0; row < list.size(); ++row) {
        if (list[row].status == InstallationStatusValid && list[row].path) {
            only = static_cast<int>(row);
            ++valid;
        }
    }
    _showWaitingLine();
    if (valid == 1 && _appPathSelector) {
        _appPathSelector->selectRow(*only, false);
        installItems(_waitingItems);
    }
}

bool MyInstaller::activateSelectedRow() {
    if (_waitingItems.empty()) {
        return false;
    }
    installItems(_waitingItems);
    return true;
}

void MyInstaller::_waitingItemsConfirmed(int returnCode) {
    // Once an update with them is confirmed, the items no longer wait.
    if (returnCode == NSAlertDefaultReturn && !_waitingItems.empty() && updateFiles() == _waitingItems) {
        _waitingItems.clear();
        _showWaitingLine();
    }
}

void MyInstaller::_showWaitingLine() {
    if (!_waitingLine) {
        return;
    }
    _waitingLine->setStringValue(
        _waitingItems.empty()
            ? std::string()
            : formatMessage(_localized("%d items are waiting: choose an installation and press Return."),
                            {static_cast<std::int32_t>(_waitingItems.size())}));
}

} // namespace quorvane

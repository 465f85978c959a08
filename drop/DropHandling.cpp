#include "controller/MyInstaller.h"
#include "platform/Button.h"
#include "platform/DraggingInfo.h"
#include "platform/FileManager.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/ProgressIndicator.h"
#include "platform/TableView.h"
#include "platform/Window.h"

#include <algorithm>

namespace quorvane {
namespace {

// The confirmation names at most this many dropped items, then how many more: thousands of names would
// push its buttons off the screen.
constexpr std::size_t kMaxConfirmedNames = 15;

bool carriesFileNames(const DraggingInfo& info) {
    const std::vector<std::string> types = info.pasteboardTypes();
    return std::find(types.begin(), types.end(), NSFilenamesPboardType) != types.end();
}

} // namespace

InstallationStatus MyInstaller::_validApplicationInList(const std::vector<std::string>& paths) {
    InstallationStatus status = InstallationStatusNotFound;
    for (const std::string& path : paths) {
        status = _installationList._isValidApplication(path);
        if (status == InstallationStatusValid) {
            return status;
        }
    }
    return status;
}

InstallationStatus MyInstaller::_validApplicationInDrag(const std::vector<std::string>& paths) {
    // Validation is asked again at every move of the pointer: the dragged folders are judged once a drag.
    if (!_dragVerdict || _dragVerdict->first != paths) {
        // A new drag is the moment to look again for installations that were not found: one whose drive
        // is back takes this drag already.
        _installationList._judgeAbsentApplicationsAgain();
        _dragVerdict.emplace(paths, _validApplicationInList(paths));
    }
    return _dragVerdict->second;
}

DragOperation MyInstaller::validateDrop(TableView& tableView, const DraggingInfo& info, int proposedRow,
                                        TableViewDropOperation) {
    if (!carriesFileNames(info)) {
        return DragOperation::NSDragOperationNone;
    }
    // One update at a time: nothing is taken while a run or its confirmation is under way.
    if (_takesNoItems()) {
        return DragOperation::NSDragOperationNone;
    }
    const InstallationStatus status = _validApplicationInDrag(
        info.propertyListForType(NSFilenamesPboardType).value_or(std::vector<std::string>()));
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    const auto count = static_cast<int>(list.size());

    if (status == InstallationStatusNotFound) {
        int row = proposedRow >= count ? count - 1 : proposedRow;
        if (row >= 0 && row < count && list[static_cast<std::size_t>(row)].status == InstallationStatusNotFound &&
            list[static_cast<std::size_t>(row)].path) {
            // Pointed at an installation that was not found: it may be back, and its row may move when
            // it is. The drop follows it.
            const std::string path = *list[static_cast<std::size_t>(row)].path;
            _installationList._judgeAbsentApplicationsAgain();
            row = static_cast<int>(std::find_if(list.begin(), list.end(),
                                                [&](const AppRecord& r) { return r.path == path; }) -
                                   list.begin());
        }
        // The searching placeholder has no status: it is no installation to drop onto.
        if (list.empty() || row < 0 || list[static_cast<std::size_t>(row)].status.value_or(-1) != 0) {
            return DragOperation::NSDragOperationNone;
        }
        tableView.setDropRow(row, TableViewDropOperation::NSTableViewDropOn);
        tableView.selectRow(row, false);
        return DragOperation::NSDragOperationCopy;
    }
    if (status == InstallationStatusValid) {
        tableView.setDropRow(_installationList.firstBadEntry(), TableViewDropOperation::NSTableViewDropAbove);
        return DragOperation::NSDragOperationCopy;
    }
    tableView.setDropRow(count, TableViewDropOperation::NSTableViewDropAbove);
    return DragOperation::NSDragOperationCopy;
}

bool MyInstaller::acceptDrop(TableView&, const DraggingInfo& info, int row, TableViewDropOperation operation) {
    _dragVerdict.reset(); // the drag ends here
    if (!carriesFileNames(info)) {
        _openRefusalSheet();
        return false;
    }
    if (_takesNoItems()) {
        return false;
    }
    setUpdateFiles(info.propertyListForType(NSFilenamesPboardType));
    if (!updateFiles()) {
        return false;
    }

    if (operation == TableViewDropOperation::NSTableViewDropOn) {
        return _confirmUpdateOfRow(row);
    }
    if (operation == TableViewDropOperation::NSTableViewDropAbove) {
        return _installationList._addApplications(updateFiles(), true);
    }
    return false;
}

bool MyInstaller::_confirmUpdateOfRow(int row) {
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    if (!updateFiles() || row < 0 || static_cast<std::size_t>(row) >= list.size()) {
        return false;
    }
    const AppRecord& record = list[static_cast<std::size_t>(row)];
    if (record.status.value_or(-1) != 0 || !record.path || updateFiles()->empty()) {
        return false;
    }
    setTargetPath(*record.path);

    const std::vector<std::string>& files = *updateFiles();
    std::string message = formatMessage(_localized("Click OK to update %@ using:\n\n%@"),
                                        {*targetPath(), path::fileName(files.front())});
    const std::size_t shown = std::min(files.size(), kMaxConfirmedNames);
    for (std::size_t i = 1; i < shown; ++i) {
        message = formatMessage("%@\n%@", {message, path::fileName(files[i])});
    }
    if (files.size() > shown) {
        const std::string more = formatMessage(_localized("… and %d more."),
                                               {static_cast<std::int32_t>(files.size() - shown)});
        message = formatMessage("%@\n%@", {message, more});
    }
    const std::string title = formatMessage(_localized("Are you sure you want to update %@?"), {"Quorvane"});
    if (_window) {
        _awaitingConfirmation = true;
        _window->beginAlertSheet(AlertSheet{title, _localized("OK"), _localized("Cancel"), message,
                                            [this](int returnCode) {
                                                _waitingItemsConfirmed(returnCode);
                                                _dragConfirmed(returnCode);
                                            },
                                            {}});
    }
    return true;
}

void MyInstaller::_openRefusalSheet() {
    if (_window) {
        _window->beginAlertSheet(AlertSheet{_localized("Can't handle this item"), _localized("OK"), std::nullopt,
                                            _localized(""), nullptr, {}});
    }
}

void MyInstaller::_openTargetChangedSheet(const std::string& path, InstallationStatus status) {
    if (!_window) {
        return;
    }
    AlertSheet sheet{_localized("This installation can no longer be updated"), _localized("OK"), std::nullopt,
                     formatMessage(_localized("%@ is no longer a valid installation. %@"),
                                   {path, _installationList._listedStatusText(status)}),
                     nullptr, {}};
    if (status == InstallationStatusValid) {
        sheet.title = _localized("This installation has changed since it was listed");
        sheet.message = formatMessage(_localized("Another folder now stands at %@. Drop the items onto its "
                                                 "row again to update it."),
                                      {path});
    }
    _window->beginAlertSheet(std::move(sheet));
}

void MyInstaller::_dragConfirmed(int returnCode) {
    _awaitingConfirmation = false;
    if (returnCode != NSAlertDefaultReturn || !targetPath() || !updateFiles() || updateInProgress()) {
        return;
    }
    // The installation may have gone, changed or been replaced by another folder since it was listed.
    bool replaced = false;
    const InstallationStatus status =
        _installationList._judgeListedApplicationAgain(*targetPath(), &replaced);
    if (status != InstallationStatusValid || replaced) {
        _openTargetChangedSheet(*targetPath(), status);
        return;
    }
    if (_cancelButton) {
        _cancelButton->setEnabled(true);
    }
    // The last run has ended: none of its operations is under way, so it may go.
    _updateRun = std::make_unique<UpdateRun>(
        UpdateServices{_fileManager, _localizer, _log, _clock, _jarPath, _cleanupJournal, _recordStore}, *this, *targetPath(),
        *updateFiles());
    if (_progress) {
        _progress->displayIfNeeded();
    }
    _updateRun->start();
}

} // namespace quorvane

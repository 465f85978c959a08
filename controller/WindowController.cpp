#include "controller/WindowController.h"

#include "platform/Desktop.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/Preferences.h"
#include "platform/SystemError.h"
#include "platform/WindowView.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

// The waiting line names this many items at most.
constexpr std::size_t kMaxWaitingNames = 3;

} // namespace

WindowController::WindowController(WindowServices services, WindowView& view)
    : _services(std::move(services)), _view(view),
      _list(_services.update.fileManager, _services.preferences, _services.update.localizer),
      _absentWatch(_list, _services.update.fileManager), _model(_list, _services.update.localizer),
      _search(_services.locatePath, _services.update.log),
      _coordinator(_services.update, _list, view, _services.desktop),
      _dropTarget(_list, _coordinator, _services.update.localizer),
      _history(_services.update, _coordinator, view.historyView()) {
    connect(&_list, &InstallationList::changed, this, &WindowController::selectFirstInstallation);
    connect(&_list, &InstallationList::weighed, this, &WindowController::growFor);
    connect(&_list, &InstallationList::notSaved, this, &WindowController::tellNotSaved);
    connect(&_coordinator, &UpdateCoordinator::updateConfirmed, this,
            [this](const std::vector<std::string>& items) {
                // Once an update with them is confirmed, the items no longer wait.
                if (!_waitingItems.empty() && items == _waitingItems) {
                    _waitingItems.clear();
                    showWaitingLine();
                }
            });
}

void WindowController::start() {
    if (const auto saved = _services.preferences.stringList("Target_Path_Array")) {
        _list.restoreSaved(*saved);
    } else {
        _search.start(_list);
    }
    _view.show();
}

const Installation* WindowController::selectedInstallation() const {
    return _list.at(_view.selectedRow());
}

void WindowController::selectFirstInstallation() {
    if (_view.selectedRow() < 0 && !_list.installations().empty()) {
        _view.selectRow(0);
    }
}

void WindowController::growFor(std::size_t rows) {
    if (rows <= 2) {
        return;
    }
    Rect frame = _view.frame();
    const auto tableHeight = static_cast<int>(std::trunc(_view.tableHeight()));
    const float needed =
        static_cast<float>(rows) * (_view.rowHeight() + 2.0f) - static_cast<float>(tableHeight);
    const auto extraHeightNeeded = static_cast<int>(std::trunc(needed));
    if (extraHeightNeeded > 0) {
        // The bottom edge stays; the top edge moves up.
        frame.height += static_cast<float>(extraHeightNeeded);
        _view.setFrame(frame);
    }
}

void WindowController::tellNotSaved(int error) {
    const Localizer& localizer = _services.update.localizer;
    const std::string message = formatMessage(
        localizer.text("The preferences file %@ could not be written: %@. The installations stay in the list "
                       "until the program ends but will not be remembered."),
        {_services.preferences.filePath(), systemErrorText(error)});
    _coordinator.inform(localizer.text("Your list of installations could not be saved"), message);
}

bool WindowController::actionEnabled(UserAction action) {
    const Installation* selected = selectedInstallation();
    switch (action) {
    case UserAction::installItems:
        return !_coordinator.busy() && selected && selected->takesItems();
    case UserAction::undoLastUpdate:
    case UserAction::showHistory:
        return !_coordinator.busy() && selected && selected->takesItems() && _services.update.recordStore;
    case UserAction::addInstallation:
        return !_coordinator.busy();
    case UserAction::removeFromList:
        return !_coordinator.busy() && selected;
    case UserAction::showInFileManager: {
        bool isFolder = false;
        return selected && _services.update.fileManager.exists(selected->path, &isFolder) && isFolder;
    }
    }
    return false;
}

bool WindowController::installItems(const std::vector<std::string>& paths) {
    const Installation* selected = selectedInstallation();
    return selected && selected->takesItems() && _coordinator.confirmUpdate(selected->path, paths);
}

bool WindowController::addInstallation(const std::string& path) {
    if (_coordinator.busy()) {
        return false;
    }
    const bool added = _list.addFolders({path});
    // Its row is selected, listed now or before, so that the keys act on it next.
    if (const std::optional<int> row = _list.rowOf(path)) {
        _view.selectRow(*row);
    } else {
        tellNotInstallation(path);
    }
    return added;
}

void WindowController::tellNotInstallation(const std::string& folder) {
    const Localizer& localizer = _services.update.localizer;
    // The common mistake: the folder that holds the installations was chosen instead of one of them.
    std::vector<std::string> contents =
        _services.update.fileManager.folderContents(folder).value_or(std::vector<std::string>());
    std::sort(contents.begin(), contents.end());
    std::vector<std::string> below;
    std::string names;
    for (const std::string& name : contents) {
        const std::string path = path::join(folder, name);
        if (_list.check().judge(path) != InstallationStatus::notFound) {
            below.push_back(path);
            names = names.empty() ? name : formatMessage("%@, %@", {names, name});
        }
    }
    Sheet sheet{localizer.text("This folder is not an installation"),
                _list.check().notInstallationText(folder),
                localizer.text("OK"),
                std::nullopt,
                std::nullopt,
                {},
                nullptr};
    if (!below.empty()) {
        sheet.message =
            formatMessage(localizer.text("%@\n\nIt holds installations: %@. Add them to the list?"),
                          {sheet.message, names});
        sheet.okButton = localizer.text("Add");
        sheet.cancelButton = localizer.text("Cancel");
        sheet.answered = [this, below](SheetAnswer answer) {
            if (answer == SheetAnswer::ok) {
                _list.addFolders(below);
            }
        };
        _coordinator.ask(std::move(sheet));
        return;
    }
    _coordinator.tell(std::move(sheet));
}

void WindowController::removeSelectedInstallation() {
    if (!actionEnabled(UserAction::removeFromList)) {
        return;
    }
    const Localizer& localizer = _services.update.localizer;
    const std::string path = selectedInstallation()->path;
    _coordinator.ask(Sheet{formatMessage(localizer.text("Remove %@ from the list?"), {path}),
                           localizer.text("The folder itself is not touched."),
                           localizer.text("Remove"),
                           localizer.text("Cancel"),
                           std::nullopt,
                           {},
                           [this, path, row = _view.selectedRow()](SheetAnswer answer) {
                               if (answer == SheetAnswer::ok && _list.remove(path)) {
                                   selectRowNear(row);
                               }
                           }});
}

void WindowController::selectRowNear(int row) {
    // The row that took the removed one's place, or the last: Delete and the arrows go on from there.
    const auto count = static_cast<int>(_list.installations().size());
    if (count > 0) {
        _view.selectRow(std::min(row, count - 1));
    }
}

void WindowController::showSelectedInFileManager() {
    if (actionEnabled(UserAction::showInFileManager)) {
        _services.desktop.openFolder(selectedInstallation()->path);
    }
}

void WindowController::undoLastUpdate() {
    if (actionEnabled(UserAction::undoLastUpdate)) {
        _coordinator.undoLatest(selectedInstallation()->path);
    }
}

void WindowController::showUpdateHistory() {
    if (actionEnabled(UserAction::showHistory)) {
        _history.open(selectedInstallation()->path);
    }
}

void WindowController::offerWaitingItems(std::vector<std::string> items) {
    _waitingItems = std::move(items);
    showWaitingLine();
    // With one valid installation there is nothing to choose.
    if (!_waitingItems.empty() && _list.validCount() == 1) {
        _view.selectRow(0);
        installItems(_waitingItems);
    }
}

bool WindowController::activateSelectedRow() {
    const Installation* selected = selectedInstallation();
    if (selected && selected->status == InstallationStatus::notFound) {
        // Its drive may be back: judged again, it keeps the selection wherever its row moves.
        const std::string path = selected->path;
        _list.judgeAgain(path);
        _view.selectRow(_list.rowOf(path).value_or(-1));
        selected = selectedInstallation();
    }
    if (selected && !selected->takesItems()) {
        const Localizer& localizer = _services.update.localizer;
        _coordinator.inform(formatMessage(localizer.text("Nothing can be installed in %@"), {selected->path}),
                            _list.check().statusText(selected->status));
        return true;
    }
    if (_waitingItems.empty()) {
        return false;
    }
    installItems(_waitingItems);
    return true;
}

void WindowController::showWaitingLine() {
    if (_waitingItems.empty()) {
        _view.setWaitingLine("");
        return;
    }
    // Named, a few at most: the line is one of the window's, not a list.
    const Localizer& localizer = _services.update.localizer;
    const std::size_t named = std::min(_waitingItems.size(), kMaxWaitingNames);
    std::string names = path::fileName(_waitingItems.front());
    for (std::size_t i = 1; i < named; ++i) {
        names = formatMessage("%@, %@", {names, path::fileName(_waitingItems[i])});
    }
    if (_waitingItems.size() > named) {
        const auto more = static_cast<std::int32_t>(_waitingItems.size() - named);
        names = formatMessage("%@ %@", {names, formatMessage(localizer.text("… and %d more."), {more})});
    }
    _view.setWaitingLine(
        localizer.message("%d items are waiting (%@): choose an installation and press Return.",
                          {static_cast<std::int32_t>(_waitingItems.size()), names}));
}

} // namespace quorvane

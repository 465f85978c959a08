#include "controller/MyInstaller.h"
#include "platform/MessageFormat.h"
#include "platform/TableView.h"
#include "platform/Preferences.h"
#include "platform/SystemError.h"
#include "platform/Window.h"

#include <cmath>

namespace quorvane {

int MyInstaller::numberOfRowsInTableView(TableView&) {
    const auto count = static_cast<int>(_installationList.targetPathArray().size());
    return count == 0 ? 1 : count;
}

ObjectValue MyInstaller::objectValueForTableColumn(TableView&, const std::string& columnIdentifier, int row) {
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    if (list.empty()) {
        if (row == 0 && columnIdentifier == "pathDescription") {
            // Below the apology, how to add an installation.
            return formatMessage("%@\n%@",
                                 {formatMessage(_localized("Sorry. Cannot find %@ version %@."), {"Quorvane", "1.29"}),
                                  _localized("Drag an installation's folder here, or use File ▸ Add Installation…")});
        }
        return std::monostate{};
    }
    if (row < 0 || static_cast<std::size_t>(row) >= list.size()) {
        return std::monostate{};
    }
    return list[static_cast<std::size_t>(row)].valueForKey(columnIdentifier);
}

void MyInstaller::installationListWeighed(std::size_t listedPaths) { _growWindowForPaths(listedPaths); }

void MyInstaller::installationListChanged() {
    if (!_appPathSelector) {
        return;
    }
    _appPathSelector->reloadData();
    // With no row selected, the first installation is, so that the keys act at once; never the line that
    // says none was found.
    const std::vector<AppRecord>& list = _installationList.targetPathArray();
    for (std::size_t row = 0; row < list.size() && _appPathSelector->selectedRow() < 0; ++row) {
        if (list[row].path) {
            _appPathSelector->selectRow(static_cast<int>(row), false);
        }
    }
}

void MyInstaller::installationListNotSaved(int error) {
    if (!_window) {
        return;
    }
    const std::string message =
        formatMessage(_localized("The preferences file %@ could not be written: %@. The installations stay "
                                 "in the list until the program ends but will not be remembered."),
                      {_preferences.filePath(), systemErrorText(error)});
    _window->beginAlertSheet(AlertSheet{_localized("Your list of installations could not be saved"),
                                        _localized("OK"), std::nullopt, message, nullptr, {}});
}

void MyInstaller::_growWindowForPaths(std::size_t pathCount) {
    if (pathCount <= 2 || !_window || !_appPathSelector) {
        return;
    }
    Rect frame = _window->frame();
    const auto tableHeight = static_cast<int>(std::trunc(_appPathSelector->frame().height));
    const float needed = static_cast<float>(pathCount) * (_appPathSelector->rowHeight() + 2.0f) -
                         static_cast<float>(tableHeight);
    const auto extraHeightNeeded = static_cast<int>(std::trunc(needed));
    if (extraHeightNeeded > 0) {
        // The bottom edge stays; the top edge moves up. The window keeps within the screen.
        frame.height += static_cast<float>(extraHeightNeeded);
        _window->setFrame(frame, true);
    }
}

} // namespace quorvane

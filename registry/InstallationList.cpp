#include "controller/MyInstaller.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/TableView.h"
#include "platform/UserDefaults.h"
#include "platform/Window.h"
#include "process/MyProcess.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

const TextStyle kStatusLineStyle{10.0, TextColor::Red};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

} // namespace

int MyInstaller::numberOfRowsInTableView(TableView&) {
    const auto count = static_cast<int>(targetPathArray().size());
    return count == 0 ? 1 : count;
}

ObjectValue MyInstaller::objectValueForTableColumn(TableView&, const std::string& columnIdentifier, int row) {
    const std::vector<AppRecord>& list = targetPathArray();
    if (list.empty()) {
        if (row == 0 && columnIdentifier == "pathDescription") {
            return formatMessage(_localized("Sorry. Cannot find %@ version %@."), {"Quorvane", "1.29"});
        }
        return std::monostate{};
    }
    if (row < 0 || static_cast<std::size_t>(row) >= list.size()) {
        return std::monostate{};
    }
    return list[static_cast<std::size_t>(row)].valueForKey(columnIdentifier);
}

void MyInstaller::_fillApplicationList(MyProcess& process) {
    _fillApplicationListWithOutput(process.outputString());
}

void MyInstaller::_fillApplicationListWithOutput(const std::string& output) {
    targetPathArray().clear();
    _firstBadEntry = 0;
    if (!output.empty()) {
        _addApplications(splitLines(output), false);
    }
    if (_appPathSelector) {
        _appPathSelector->reloadData();
    }
}

bool MyInstaller::_addApplications(const std::optional<std::vector<std::string>>& apps, bool folders) {
    bool appsAdded = false;
    if (!apps || apps->empty()) {
        return false;
    }
    std::vector<AppRecord>& list = targetPathArray();
    std::vector<std::string> pathList;
    for (const AppRecord& record : list) {
        if (record.path) {
            pathList.push_back(*record.path);
        }
    }

    for (std::string app : *apps) {
        if (app.empty()) {
            continue;
        }
        if (!folders) {
            app = path::stringByDeletingLastPathComponent(app);
        }
        if (std::find(pathList.begin(), pathList.end(), app) != pathList.end()) {
            continue;
        }
        const InstallationStatus status = _isValidApplication(app);
        if (status == InstallationStatusNotFound) {
            continue;
        }
        pathList.push_back(app);
        appsAdded = true;

        AppRecord record = _makeAppRecord(app, status);
        if (status == InstallationStatusValid) {
            const auto at = std::min<std::size_t>(static_cast<std::size_t>(std::max(_firstBadEntry, 0)), list.size());
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(record));
            ++_firstBadEntry;
        } else {
            list.push_back(std::move(record));
        }
    }

    _growWindowForPaths(pathList.size());

    if (appsAdded) {
        if (_appPathSelector) {
            _appPathSelector->reloadData();
        }
        _savePathList(pathList);
    }
    return appsAdded;
}

void MyInstaller::_savePathList(const std::vector<std::string>& pathList) {
    _userDefaults.setObject(pathList, "Target_Path_Array");
    // Written at once: a list that cannot be saved is said once a run, and the window keeps showing it.
    const int error = _userDefaults.synchronize();
    if (error == 0 || _pathListFailureReported || !_window) {
        return;
    }
    _pathListFailureReported = true;
    const std::string message =
        formatMessage(_localized("The preferences file %@ could not be written: %@. The installations stay "
                                 "in the list until the program ends but will not be remembered."),
                      {_userDefaults.filePath(), _errorText(error)});
    _window->beginAlertSheet(AlertSheet{_localized("Your list of installations could not be saved"),
                                        _localized("OK"), std::nullopt, message, nullptr, {}});
}

std::string MyInstaller::_listedStatusText(InstallationStatus status) const {
    // A listed installation found gone later is no installation at all: say where to look for it.
    return status == InstallationStatusNotFound ? _localized("Not found. Is its drive connected?")
                                                : _statusDescription(status);
}

AppRecord MyInstaller::_makeAppRecord(const std::string& path, InstallationStatus status) {
    AttributedString description(formatMessage("%@\n%@", {path, _listedStatusText(status)}));
    description.setAttributes(kStatusLineStyle, path.size() + 1,
                              description.string().size() - path.size() - 1);

    AppRecord record;
    record.path = path;
    record.pathDescription = std::move(description);
    record.status = status;
    record.icon = status == InstallationStatusValid ? goodFolderIcon() : badFolderIcon();
    record.identity = fileManager().fileIdentityAtPath(path);
    return record;
}

InstallationStatus MyInstaller::_judgeListedApplicationAgain(const std::string& path, bool* replaced) {
    const InstallationStatus status = _isValidApplication(path);
    std::vector<AppRecord>& list = targetPathArray();
    const auto listed =
        std::find_if(list.begin(), list.end(), [&](const AppRecord& r) { return r.path == path; });
    if (listed == list.end()) {
        *replaced = false;
        return status;
    }
    *replaced = listed->identity != fileManager().fileIdentityAtPath(path);
    if (!*replaced && listed->status == status) {
        return status;
    }
    // The row is rebuilt in its place, or moved across the border when it turned valid or invalid: the
    // valid installations stay above the others.
    AppRecord record = _makeAppRecord(path, status);
    const bool wasValid = listed->status == InstallationStatusValid;
    if (wasValid == (status == InstallationStatusValid)) {
        *listed = std::move(record);
    } else {
        list.erase(listed);
        _firstBadEntry += wasValid ? -1 : 0;
        const auto border =
            std::clamp<std::int32_t>(_firstBadEntry, 0, static_cast<std::int32_t>(list.size()));
        list.insert(list.begin() + border, std::move(record));
        _firstBadEntry += wasValid ? 0 : 1;
    }
    if (_appPathSelector) {
        _appPathSelector->reloadData();
    }
    return status;
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

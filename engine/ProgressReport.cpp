#include "controller/MyInstaller.h"
#include "platform/AlertSheet.h"
#include "platform/Button.h"
#include "platform/Clock.h"
#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/ProgressIndicator.h"
#include "platform/TextField.h"
#include "platform/Window.h"

#include <algorithm>
#include <cstring>

namespace quorvane {
namespace {

// Redraws within a run come at most this often: thousands of small files would otherwise spend their
// time drawing. The last status is always drawn.
constexpr auto kRedrawInterval = std::chrono::milliseconds(16);
// The report names at most this many items that were not installed; the log gets the same lines.
constexpr std::size_t kMaxDetailLines = 200;

} // namespace

void MyInstaller::_updateInstallStatus(const std::string& status, const std::string& file) {
    if (_fileLabel) {
        _fileLabel->setStringValue(status);
    }
    if (_file) {
        _file->setStringValue(file);
    }
    if (_progress) {
        _progress->setMaxValue(_progressMaxValue);
        _progress->setDoubleValue(_progressValue);
    }
    const auto now = _clock.monotonicNow();
    if (!_lastStatusRedraw || now - *_lastStatusRedraw >= kRedrawInterval || now < *_lastStatusRedraw) {
        _lastStatusRedraw = now;
        _redrawStatus();
    }
}

void MyInstaller::_redrawStatus() {
    if (_fileLabel) {
        _fileLabel->displayIfNeeded();
    }
    if (_file) {
        _file->displayIfNeeded();
    }
    if (_progress) {
        _progress->displayIfNeeded();
    }
}

void MyInstaller::_noteFailure(const std::string& item, const std::string& reason, std::int32_t files) {
    _numFilesFailed += files;
    _notInstalled.push_back(NotInstalled{item, reason});
}

std::string MyInstaller::_errorText(int error) {
    return error == 0 ? std::string("Unknown error") : std::string(std::strerror(error));
}

std::string MyInstaller::_failureDetails() const {
    std::string details;
    const std::size_t shown = std::min(_notInstalled.size(), kMaxDetailLines);
    for (std::size_t i = 0; i < shown; ++i) {
        const std::string line = formatMessage("%@: %@", {_notInstalled[i].item, _notInstalled[i].reason});
        _log.log(line);
        details += line + "\n";
    }
    if (_notInstalled.size() > shown) {
        const std::string more = formatMessage(_localized("… and %d more."),
                                               {static_cast<std::int32_t>(_notInstalled.size() - shown)});
        _log.log(more);
        details += more + "\n";
    }
    return details;
}

std::string MyInstaller::_topFolderNames() const {
    std::vector<std::string> names;
    if (targetPath()) {
        for (const std::string& name :
             fileManager().directoryContentsAtPath(*targetPath()).value_or(std::vector<std::string>())) {
            bool isDirectory = false;
            if (name[0] != '.' && name != "BackupFiles" &&
                fileManager().fileExistsAtPath(path::stringByAppendingPathComponent(*targetPath(), name),
                                               &isDirectory) &&
                isDirectory) {
                names.push_back(name);
            }
        }
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

void MyInstaller::_terminateAddDataFromFiles() {
    _progressValue = 0.0;
    _updateInstallStatus(_localized("Installing:"), _localized("Complete"));
    _redrawStatus();
    if (_cancelButton) {
        _cancelButton->setEnabled(false);
    }
    if (_numFilesReplaced == 0 && _privateFiles) {
        fileManager().removeFileAtPath(*_privateFiles);
    }
    setPrivateFiles(std::nullopt);
    setUpdateFiles(std::nullopt);
    setTempFolders(std::nullopt);
    _removeFinishedTempFolders();

    std::string title;
    std::string report;
    std::string details;
    if (_numFilesFailed > 0) {
        details = _failureDetails();
        title = _localized("Application files update incomplete");
        report = formatMessage(_localized("%d files added\n%d previous files backed up\n%d duplicate files ignored."),
                               {_numFilesInstalled, _numFilesReplaced, _numDuplicateFiles}) +
                 formatMessage(_localized("\n%d files could not be installed."), {_numFilesFailed});
    } else if (!_lineUpFound) {
        title = _localized("Nothing was installed");
        report = formatMessage(
            _localized("None of the items you selected has a folder that matches this installation (%@)."),
            {_topFolderNames()});
    } else {
        title = _localized("Application files updated successfully");
        if (_numFilesInstalled == 0) {
            report = formatMessage(_localized("Your %@ already appears to contain all the files you selected."),
                                   {"Quorvane"});
        } else {
            report =
                formatMessage(_localized("%d files added\n%d previous files backed up\n%d duplicate files ignored."),
                              {_numFilesInstalled, _numFilesReplaced, _numDuplicateFiles});
        }
    }
    if (_window) {
        _window->beginAlertSheet(AlertSheet{title, _localized("OK"), std::nullopt, report, nullptr, details});
    }
}

void MyInstaller::cancelInstall() {}

} // namespace quorvane

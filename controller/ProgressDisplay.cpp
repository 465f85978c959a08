// MyInstaller's progress display: the labels and the bar follow what the update run reports, and its
// report opens in a sheet.
#include "controller/MyInstaller.h"
#include "platform/AlertSheet.h"
#include "platform/Button.h"
#include "platform/Clock.h"
#include "platform/ProgressIndicator.h"
#include "platform/TextField.h"
#include "platform/Window.h"

namespace quorvane {
namespace {

// Redraws within a run come at most this often: thousands of small files would otherwise spend their
// time drawing. The last status is always drawn.
constexpr auto kRedrawInterval = std::chrono::milliseconds(16);

} // namespace

void MyInstaller::updateRunProgressed(const std::string& status, const std::string& file, double value,
                                      double maxValue) {
    if (_fileLabel) {
        _fileLabel->setStringValue(status);
    }
    if (_file) {
        _file->setStringValue(file);
    }
    if (_progress) {
        _progress->setMaxValue(maxValue);
        _progress->setDoubleValue(value);
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

void MyInstaller::updateRunEnded(const UpdateReport& report) {
    _redrawStatus(); // the run's last status, "Complete", is always drawn
    if (_cancelButton) {
        _cancelButton->setEnabled(false);
    }
    setUpdateFiles(std::nullopt);
    if (_closeWhenEnded) {
        if (_window) {
            _window->performClose();
        }
        return;
    }
    if (!_window) {
        return;
    }
    // A cancelled run that changed the installation can be put back at once.
    const bool changed = _updateRun && _updateRun->numFilesInstalled() + _updateRun->numFilesReplaced() > 0;
    std::optional<std::string> putBack;
    // A finished run that backed something up shows where the old items went.
    const bool backedUp =
        _updateRun && _updateRun->record().backupFolder() && _updateRun->record().replacedCount() > 0;
    if (report.cancelled && changed) {
        putBack = _localized("Put Back");
    } else if (!report.cancelled && backedUp) {
        putBack = _localized("Show Backup Folder");
    }
    const bool cancelled = report.cancelled;
    _window->beginAlertSheet(AlertSheet{report.title, _localized("OK"), putBack, report.message,
                                        [this, cancelled](int returnCode) {
                                            if (returnCode != NSAlertAlternateReturn) {
                                                return;
                                            }
                                            if (cancelled) {
                                                _putBack();
                                            } else {
                                                _showBackupFolder();
                                            }
                                        },
                                        report.details});
}

void MyInstaller::_putBack() {
    if (!_updateRun || updateInProgress()) {
        return;
    }
    _puttingBack = true;
    _updateRun->putBack(_undoJob, [this](const UpdateReport& report) {
        _puttingBack = false;
        if (_closeWhenEnded && _window) {
            _window->performClose();
        } else if (_window) {
            _window->beginAlertSheet(
                AlertSheet{report.title, _localized("OK"), std::nullopt, report.message, nullptr, report.details});
        }
    });
}

void MyInstaller::cancelInstall() {
    if (_updateRun && _updateRun->inProgress()) {
        _updateRun->cancel();
        if (_cancelButton) {
            _cancelButton->setEnabled(false);
        }
    }
}

bool MyInstaller::windowShouldClose() {
    if (!updateInProgress()) {
        return true;
    }
    if (_closeWhenEnded) { // asked already: the window closes when the update has ended
        return false;
    }
    if (_updateRun->cancelled()) { // cancelled already, or being put back: the window closes when it is done
        _closeWhenEnded = true;
        return false;
    }
    if (_window) {
        _window->beginAlertSheet(AlertSheet{_localized("An update is running. Stop it and quit?"),
                                            _localized("Stop and Quit"), _localized("Continue"),
                                            _localized("What it has installed so far stays, with its backups."),
                                            [this](int returnCode) {
                                                if (returnCode == NSAlertDefaultReturn && updateInProgress()) {
                                                    _closeWhenEnded = true;
                                                    cancelInstall();
                                                } else if (returnCode == NSAlertDefaultReturn && _window) {
                                                    _window->performClose();
                                                }
                                            },
                                            {}});
    }
    return false;
}

} // namespace quorvane

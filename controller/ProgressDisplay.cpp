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
    if (_window) {
        _window->beginAlertSheet(AlertSheet{report.title, _localized("OK"), std::nullopt, report.message,
                                            nullptr, report.details});
    }
}

void MyInstaller::cancelInstall() {}

} // namespace quorvane

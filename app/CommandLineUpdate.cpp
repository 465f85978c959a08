#include "app/CommandLineUpdate.h"

#include "app/ConsoleText.h"
#include "app/PlatformServices.h"
#include "engine/PlanReport.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"

#include <QCoreApplication>
#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvane {
namespace {

// The progress line is rewritten at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

// The first bytes of text that fill at most columns places on a terminal: a UTF-8 sequence counts once
// and is never cut.
std::string fitColumns(const std::string& text, std::size_t columns) {
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && used++ == columns) {
            return text.substr(0, i);
        }
    }
    return text;
}

} // namespace

void CommandLineUpdate::HeldLog::log(const std::string& message) {
    const std::lock_guard lock(_mutex);
    _lines.push_back(message);
}

std::vector<std::string> CommandLineUpdate::HeldLog::take() {
    const std::lock_guard lock(_mutex);
    return std::exchange(_lines, {});
}

CommandLineUpdate::CommandLineUpdate(PlatformServices& services, std::string jarPath,
                                     std::string installation, std::vector<std::string> items)
    : _services(services), _showProgress(isTerminal(stderr)) {
    _run = std::make_unique<UpdateRun>(_services.updateServices(_heldLog, std::move(jarPath)), *this,
                                       std::move(installation), std::move(items));
}

CommandLineUpdate::~CommandLineUpdate() = default;

int CommandLineUpdate::exec() {
    _run->start();
    // The run ends later, in the event loop, when it works elsewhere or waits for an extraction.
    if (!_report) {
        QCoreApplication::exec();
    }
    _clearProgressLine();
    // A run stopped before its end kills its tools and removes its extraction folders.
    if (!_report) {
        _run.reset();
    }
    std::vector<std::string> logLines = _heldLog.take();
    if (_report) {
        // Lines naming items not installed come with the details below.
        std::erase_if(logLines, [&](const std::string& line) {
            return _report->details.find(line + "\n") != std::string::npos;
        });
    }
    for (const std::string& line : logLines) {
        _services.log.log(line);
    }
    if (_report) {
        // The whole report on standard output, a script reads it apart from the log on standard error.
        const std::string report =
            formatMessage("%@\n%@\n%@", {_report->title, _report->message, _report->details});
        writeConsoleText(stdout, report);
        std::fflush(stdout);
    }
    // As shells expect of a program a signal stopped.
    if (_stoppedBy != 0) {
        return 128 + _stoppedBy;
    }
    return _report && _complete ? 0 : 1;
}

int CommandLineUpdate::dryRun() {
    _run->makePlan();
    QCoreApplication::exec();
    if (!_planned) {
        return 1;
    }
    const UpdatePlan& plan = _run->plan();
    const Localizer& localizer = _services.localizer;
    const auto tooLarge = PlanReport::spaceRefusal(plan, _run->targetPath(), localizer);
    writeConsoleText(stdout, formatMessage("%@\n%@%@", {PlanReport::summary(plan, localizer),
                                                        tooLarge ? *tooLarge + "\n" : std::string(),
                                                        PlanReport::changes(plan, localizer)}));
    std::fflush(stdout);
    return plan.installsEverything() && !tooLarge ? 0 : 1;
}

void CommandLineUpdate::updateRunPlanned(const UpdatePlan& /*plan*/) {
    _planned = true;
    QCoreApplication::exit(0);
}

void CommandLineUpdate::stop(int signal) {
    if (_report) {
        return;
    }
    if (std::exchange(_stoppedBy, signal) != 0) {
        QCoreApplication::exit(1);
        return;
    }
    _run->cancel();
}

void CommandLineUpdate::updateRunProgressed(const std::string& status, const std::string& file, double value,
                                            double maxValue) {
    if (!_showProgress) {
        return;
    }
    const auto now = _services.clock.monotonicNow();
    if (_lastProgress && now - *_lastProgress < kProgressInterval) {
        return;
    }
    _lastProgress = now;
    const int percent = maxValue > 0 ? static_cast<int>(std::clamp(value / maxValue, 0.0, 1.0) * 100) : 0;
    const std::string line = formatMessage("%d%% %@ %@", {percent, status, path::fileName(file)});
    // Rewritten in place: back to the start of the line, then cleared to its end.
    std::fputs("\r", stderr);
    writeConsoleText(stderr, fitColumns(line, _terminalColumns() - 1));
    std::fputs("\x1b[K", stderr);
    std::fflush(stderr);
    _progressShown = true;
}

void CommandLineUpdate::updateRunEnded(const UpdateReport& report) {
    _report = report;
    _complete = _run->numFilesFailed() == 0 && _run->lineUpFound();
    // Ends the event loop, if the run ended inside it.
    QCoreApplication::exit(0);
}

void CommandLineUpdate::_clearProgressLine() {
    if (_progressShown) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        _progressShown = false;
    }
}

std::size_t CommandLineUpdate::_terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
        return size.ws_col;
    }
    return 80;
}

} // namespace quorvane

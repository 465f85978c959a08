#pragma once

#include "engine/UpdateReport.h"
#include "engine/UpdateRun.h"
#include "engine/UpdateRunDelegate.h"
#include "platform/Log.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

struct PlatformServices;

// One update from the command line, without a window: the same run a confirmed drop starts. A progress
// line on the terminal follows it; the report (its title, its message and every item not installed, with
// the reason) goes to standard output, the log's lines to standard error.
class CommandLineUpdate : public UpdateRunDelegate {
public:
    // installation: a valid installation; items: what goes into it. Both absolute paths.
    CommandLineUpdate(PlatformServices& services, std::string jarPath, std::string installation,
                      std::vector<std::string> items);
    ~CommandLineUpdate() override;
    CommandLineUpdate(const CommandLineUpdate&) = delete;
    CommandLineUpdate& operator=(const CommandLineUpdate&) = delete;

    // Runs the update in the event loop until it has ended; then writes the report. 0 when everything
    // went in, 1 when it did not, 128 + the signal's number when a signal stopped it.
    int exec();
    // Plans the update and writes the plan (its counts, then a line for each file to be replaced or not
    // installed); changes nothing. 0 when carrying it out would install everything, else 1.
    int dryRun();
    // A signal arrived: the run stops between two items and reports what it did, as Cancel does. A second
    // one ends the event loop at once.
    void stop(int signal);

    void updateRunProgressed(const std::string& status, const std::string& file, double value,
                             double maxValue) override;
    void updateRunEnded(const UpdateReport& report) override;
    void updateRunPlanned(const UpdatePlan& plan) override;

private:
    // Keeps the run's log lines until the run is over: they would break into the progress line, and
    // those about items not installed are the report's details, written once.
    class HeldLog : public Log {
    public:
        void log(const std::string& message) override;
        std::vector<std::string> take();

    private:
        std::mutex _mutex;
        std::vector<std::string> _lines;
    };

    void _clearProgressLine();
    // The terminal's width in columns; 80 when it says none.
    static std::size_t _terminalColumns();

    PlatformServices& _services;
    HeldLog _heldLog;
    std::unique_ptr<UpdateRun> _run;
    std::optional<UpdateReport> _report;
    bool _complete = false;
    bool _planned = false;
    // The signal that stopped the run; 0: none did.
    int _stoppedBy = 0;
    // The progress line is drawn only on a terminal, and at most every kProgressInterval.
    const bool _showProgress;
    bool _progressShown = false;
    std::optional<std::chrono::steady_clock::time_point> _lastProgress;
};

} // namespace quorvane

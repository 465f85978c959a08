#pragma once

#include "engine/UpdateRecordStore.h"
#include "engine/UpdateRun.h"
#include "engine/UpdateRunDelegate.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "support/EventLoopWait.h"
#include "support/FakeClock.h"
#include "support/RecordingLog.h"
#include "support/TemporaryFolder.h"

#include <memory>
#include <ostream>

namespace quorvane::test {

// Update runs on real file services in a temporary folder, with a clock that stands at 2 January 2007,
// 09:05:03 until told. The harness is the runs' delegate: it records what they tell the window.
class RunHarness : public UpdateRunDelegate {
public:
    struct Progress {
        std::string status;
        std::string file;
        double value;
        double maxValue;
    };

    // fileManager: a stand-in with failures; none: the real one.
    explicit RunHarness(FileManager* fileManager = nullptr, std::string jarPath = "/usr/bin/jar")
        : clock(localTime(2007, 1, 2, 9, 5, 3)), _fileManager(fileManager ? *fileManager : _realFileManager),
          _jarPath(std::move(jarPath)) {}

    // A new run of the items into the installation, not started yet; the last run goes first.
    UpdateRun& makeRun(const std::string& installation, const std::vector<std::string>& items) {
        _run.reset();
        _run = std::make_unique<UpdateRun>(UpdateServices{_fileManager, _localizer, log, clock, _jarPath, &journal, &records},
                                           *this, installation, items);
        return *_run;
    }
    // Confirms an update of the installation with the items, as "OK" on the confirmation sheet does, and
    // waits for its report.
    UpdateRun& runUpdate(const std::string& installation, const std::vector<std::string>& items) {
        const std::size_t before = reports.size();
        makeRun(installation, items).start();
        waitUntil([&] { return reports.size() > before; }, std::chrono::minutes(2));
        records.waitUntilKept(); // its record is complete then
        return run();
    }
    UpdateRun& run() { return *_run; }
    FileManager& fileManager() { return _fileManager; }
    // The run goes as it goes when the program ends.
    void endRun() { _run.reset(); }
    bool reported() const { return !reports.empty(); }
    std::string reportTitle() const { return reported() ? reports.back().title : ""; }
    std::string reportMessage() const { return reported() ? reports.back().message : ""; }

    void updateRunProgressed(const std::string& status, const std::string& file, double value,
                             double maxValue) override {
        progress.push_back({status, file, value, maxValue});
    }
    void updateRunEnded(const UpdateReport& report) override { reports.push_back(report); }

    TemporaryFolder folder;
    CleanupJournal journal{folder / "state"};
    UpdateRecordStore records{_realFileManager, folder / "state/records"};
    RecordingLog log;
    FakeClock clock;
    std::vector<Progress> progress;
    std::vector<UpdateReport> reports;

private:
    FileManager _realFileManager;
    FileManager& _fileManager;
    Localizer _localizer;
    std::string _jarPath;
    std::unique_ptr<UpdateRun> _run;
};

struct Counts {
    int installed;
    int replaced;
    int duplicates;
    int failed;
    bool operator==(const Counts&) const = default;
};

inline Counts countsOf(const UpdateRun& run) {
    return {run.numFilesInstalled(), run.numFilesReplaced(), run.numDuplicateFiles(), run.numFilesFailed()};
}

inline std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << "{installed " << c.installed << ", replaced " << c.replaced << ", duplicates " << c.duplicates
               << ", failed " << c.failed << "}";
}

// The backup folder of an update confirmed at the harness clock's start time.
inline std::string backupFolder(const std::string& installation) {
    return installation + "/BackupFiles/20070102_090503";
}

} // namespace quorvane::test

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

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <ostream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::test {

// Update runs on real file services in a temporary folder, with a clock that stands at 2 January 2007,
// 09:05:03 until told. The harness is the runs' delegate: it records what they tell the window.
class RunHarness : public UpdateRunDelegate {
public:
    struct Progress {
        std::string status, file;
        double value, maxValue;
    };

    // fileManager: a stand-in with failures; none: the real one.
    explicit RunHarness(FileManager* fileManager = nullptr, std::string jarPath = "/usr/bin/jar")
        : clock(localTime(2007, 1, 2, 9, 5, 3)), jarPath(std::move(jarPath)),
          files(fileManager ? *fileManager : _realFileManager) {}

    // A new run of the items into the installation, not started yet; the last run goes first.
    UpdateRun& makeRun(const std::string& installation, const std::vector<std::string>& items) {
        _run.reset();
        const UpdateServices services{files, _localizer, log, clock, jarPath, &journal, &records};
        _run = std::make_unique<UpdateRun>(services, *this, installation, items);
        return *_run;
    }
    // Confirms an update of the installation with the items, as "OK" on the confirmation sheet does, and
    // waits for its report and its kept record.
    UpdateRun& runUpdate(const std::string& installation, const std::vector<std::string>& items) {
        const std::size_t before = reports.size();
        makeRun(installation, items).start();
        EXPECT_TRUE(waitUntil([&] { return reports.size() > before; }, std::chrono::minutes(2)));
        records.waitUntilKept();
        return *_run;
    }
    // The run goes as it goes when the program ends.
    void endRun() { _run.reset(); }

    void updateRunProgressed(const std::string& status, const std::string& file, double v,
                             double max) override {
        progress.push_back({status, file, v, max});
    }
    void updateRunEnded(const UpdateReport& report) override { reports.push_back(report); }
    void updateRunPlanned(const UpdatePlan& plan) override { planned = plan; }
    std::optional<UpdatePlan> planned;

    TemporaryFolder folder;
    CleanupJournal journal{folder / "state"};
    UpdateRecordStore records{_realFileManager, folder / "state/records"};
    RecordingLog log;
    FakeClock clock;
    const std::string jarPath;
    std::vector<Progress> progress;
    std::vector<UpdateReport> reports;
    FileManager& files; // the run's

private:
    FileManager _realFileManager;
    Localizer _localizer;
    std::unique_ptr<UpdateRun> _run;
};

// What a run counted: files added, old files replaced, identical files left alone, files not installed.
struct Counts {
    int added = 0, replaced = 0, identical = 0, failed = 0;
    bool operator==(const Counts&) const = default;
};

inline Counts countsOf(const UpdateRun& run) {
    return {run.numFilesInstalled(), run.numFilesReplaced(), run.numDuplicateFiles(), run.numFilesFailed()};
}

// The backup folder of a run that started at the harness clock's start, in its installation.
inline const std::string kBackup = "BackupFiles/20070102_090503/";

using Paths = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// The real file services; an operation on a target path fails where fail says so.
class FaultyFileManager : public FileManager {
    using S = const std::string&;

public:
    std::function<bool(std::string_view op, S path)> fail = [](auto, auto&) { return false; };
    // Some operation was made to fail: the disk changed under the plan.
    bool failed(std::string_view op, S path) {
        const bool fails = fail(op, path);
        return injected = injected || fails, fails;
    }
    std::atomic<bool> injected = false;

    bool copyPath(S a, S b, CopyOutcome* o) override {
        return !failed("copy", b) && FileManager::copyPath(a, b, o);
    }
    bool linkPath(S a, S b) override { return !failed("link", b) && FileManager::linkPath(a, b); }
    bool createFolder(S a) override { return !failed("create", a) && FileManager::createFolder(a); }
    bool replacePath(S a, S b) override { return !failed("replace", b) && FileManager::replacePath(a, b); }
    bool movePath(S a, S b) override { return !failed("replace", b) && FileManager::movePath(a, b); }
    bool exchangePath(S a, S b) override { return !failed("exchange", b) && FileManager::exchangePath(a, b); }
};

// One update run on real folders and what it must leave behind.
struct RunCase {
    const char* name;
    // Prepares the installation (home/game) and the dropped items in the test folder, and answers the items.
    std::function<Paths(TemporaryFolder&, FaultyFileManager&)> prepare;
    Counts counts;
    Pairs installed = {};          // path in the installation, contents ("<missing>": none)
    std::string backup = "<none>"; // the backup folder's listing, "<none>" when it must be gone
    Pairs notInstalled = {};       // items relative to the test folder, each with the start of its reason;
                                   // all of them, when there are as many as files not installed
    std::string report = {};       // "title|message"; by default the one that the counts call for
    std::string jar = {};          // a stand-in for the tool: a script
    std::function<void(RunHarness&, const std::string& installation)> check = {};
};

inline void PrintTo(const RunCase& c, std::ostream* out) {
    *out << c.name;
}

inline std::string expectedReport(const RunCase& c) {
    const auto [installed, replaced, duplicates, failed] = c.counts;
    const std::string counts = std::to_string(installed) + " files added\n" + std::to_string(replaced) +
                               " previous files backed up\n" + std::to_string(duplicates) +
                               " duplicate files ignored.";
    const std::string all = "Your Quorvane already appears to contain all the files you selected.";
    return !c.report.empty() ? c.report
           : failed > 0 ? "Application files update incomplete|" + counts + "\n" + std::to_string(failed) +
                              " files could not be installed."
                        : "Application files updated successfully|" + (installed == 0 ? all : counts);
}

// What lies outside the installation and the program's state, with any links in the installation.
inline std::string untouchedPart(TemporaryFolder& folder, const std::string& installation) {
    std::string listing = treeListing(folder.path(), {"home/", "state/"});
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(installation, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        listing += it->is_symlink() ? "link " + it->path().string() + "\n" : "";
    }
    return listing;
}

inline std::string relativeTo(const TemporaryFolder& folder, std::string item) {
    for (const std::string& base : {folder.path(), std::filesystem::canonical(folder.path()).string()}) {
        item = item.starts_with(base + "/") ? item.substr(base.size() + 1) : item;
    }
    return item;
}

inline void expectRun(const RunCase& c) {
    SCOPED_TRACE(c.name);
    TemporaryFolder tools;
    const std::string jar = c.jar.empty() ? "/usr/bin/jar" : tools.writeFile("jar", c.jar);
    ::chmod((tools / "jar").c_str(), 0755); // fails, harmlessly, without a stand-in
    FaultyFileManager files;
    RunHarness harness(&files, jar);
    const std::string installation = harness.folder.makeInstallation("home/game");
    const Paths items = c.prepare(harness.folder, files);
    const std::string untouched = untouchedPart(harness.folder, installation);
    // Every file closed after writing in the installation's folders, by the folders' watch.
    const int writes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::map<int, std::string> watched;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(harness.folder / "home")) {
        if (entry.is_directory() && !entry.is_symlink()) {
            watched[::inotify_add_watch(writes, entry.path().c_str(), IN_CLOSE_WRITE)] = entry.path();
        }
    }
    harness.makeRun(installation, items).makePlan(); // as the confirmation shows it
    ASSERT_TRUE(waitUntil([&] { return harness.planned.has_value(); }));
    const UpdateRun& run = harness.runUpdate(installation, items);
    EXPECT_FALSE(run.inProgress());
    // A file is named only once whole: none is ever written under a name it still has.
    alignas(inotify_event) char buffer[65536];
    for (ssize_t n, at = 0; (n = ::read(writes, buffer, sizeof buffer)) > 0; at = 0) {
        for (const inotify_event* e; at < n; at += static_cast<ssize_t>(sizeof(inotify_event) + e->len)) {
            e = reinterpret_cast<const inotify_event*>(buffer + at);
            EXPECT_FALSE(e->mask & IN_CLOSE_WRITE && exists(watched[e->wd] + "/" + e->name)) << e->name;
        }
    }
    ::close(writes);
    EXPECT_EQ(countsOf(run), c.counts);
    // Unless the disk failed it, applying did what the plan said: the same counts, the same items. An
    // archive's part is told from its table of contents, in name order, where it was extracted and holds
    // no archive (told only once extracted).
    const UpdatePlan& plan = *harness.planned;
    const bool archiveInArchive = std::ranges::any_of(plan.entries(), [](const UpdatePlan::Entry& entry) {
        return entry.insideArchive && entry.fate == UpdatePlan::Fate::archive;
    });
    const bool archiveFailed =
        std::ranges::any_of(run.notInstalled(), [](const UpdateRun::NotInstalled& entry) {
            return entry.item.ends_with(".zip");
        });
    if (!files.injected && (plan.archives() == 0 || (!archiveFailed && !archiveInArchive))) {
        EXPECT_EQ((Counts{int(plan.filesAdded()), int(plan.filesReplaced()), int(plan.identicalFiles()),
                          int(plan.filesNotInstalled())}),
                  c.counts);
        Paths planned, done;
        for (const UpdatePlan::Entry& entry : plan.entries()) {
            if (entry.fate == UpdatePlan::Fate::add || entry.fate == UpdatePlan::Fate::replace) {
                planned.push_back(entry.relativePath);
            }
        }
        for (const UpdateRecord::Item& item : run.record().items()) {
            done.push_back(item.relativePath);
        }
        if (plan.archives() > 0) {
            std::ranges::sort(planned), std::ranges::sort(done);
        }
        EXPECT_EQ(planned, done);
    }
    ASSERT_EQ(harness.reports.size(), 1u);
    const UpdateReport& report = harness.reports.back();
    EXPECT_EQ(report.title + "|" + report.message, expectedReport(c));
    // Each item not installed is named with its reason, in the report's details and in the log.
    std::string named = "\n"; // "item: reason" lines, the items relative to the test folder
    for (const auto& [item, reason] : run.notInstalled()) {
        named += relativeTo(harness.folder, item) + ": " + reason + "\n";
        EXPECT_NE(report.details.find(item + ": " + reason + "\n"), std::string::npos);
        EXPECT_TRUE(harness.log.contains(item + ": " + reason));
    }
    for (const auto& [item, reason] : c.notInstalled) {
        EXPECT_NE(named.find("\n" + item + ": " + reason), std::string::npos) << named;
    }
    if (c.notInstalled.size() == static_cast<std::size_t>(c.counts.failed)) {
        EXPECT_EQ(run.notInstalled().size(), c.notInstalled.size());
    }
    // The dropped items and all else outside the installation stay as they were, temporary folders
    // included; no link is put into the installation; an installation that went is not made again.
    EXPECT_EQ(untouchedPart(harness.folder, installation), untouched);
    EXPECT_EQ(exists(installation), exists(installation + "/Quorvane"));
    EXPECT_EQ(treeListing(harness.folder.path(), {"drop/"}).find(FileManager::temporaryNamePrefix),
              std::string::npos);
    for (const auto& [relative, contents] : c.installed) {
        EXPECT_EQ(readFile(installation + "/" + relative), contents) << relative;
    }
    const std::string backup = installation + "/" + kBackup;
    EXPECT_EQ(exists(backup) ? treeListing(backup) : "<none>", c.backup);
    // The bar only grows, never past its maximum, is full when the run ends, and only then is emptied.
    const std::vector<RunHarness::Progress>& shown = harness.progress;
    ASSERT_GE(shown.size(), 1u);
    for (std::size_t i = 0; i + 1 < shown.size(); ++i) {
        EXPECT_LE(shown[i].value, shown[i].maxValue) << shown[i].file;
        EXPECT_GE(shown[i].value, i > 0 ? shown[i - 1].value : 0) << shown[i].file;
    }
    const RunHarness::Progress full =
        shown.size() >= 2 ? shown[shown.size() - 2] : RunHarness::Progress{"", "", 1, 1};
    EXPECT_TRUE(full.value == full.maxValue && full.maxValue > 0) << full.value << "/" << full.maxValue;
    EXPECT_EQ(std::make_pair(shown.back().status + " " + shown.back().file, shown.back().value),
              std::make_pair(std::string("Installing: Complete"), 0.0));
    if (c.check) {
        c.check(harness, installation);
    }
}

} // namespace quorvane::test

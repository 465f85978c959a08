// Runs one update as the program does after "OK" on the confirmation sheet, in a process of its own, so
// that the reliability scripts can kill it at any moment or watch it for hangs:
//
//   quorvane-update-driver --target INSTALLATION --preferences FILE [--state-folder FOLDER] [--jar PATH]
//                          [--timeout SECONDS] ITEM...
//   quorvane-update-driver --clean-up --state-folder FOLDER    (what a start does first: removes what killed
//                                                               runs left)
//
// The update coordinator is the real one, on the real file services, the system clock and real child
// processes; only the window is a recording stand-in. It prints "confirming" when the update starts, then
// the completion report as "title: ..." and "message: ..." lines and the counts, and exits 0. Without a
// report within the time limit it prints "no report" and exits 3.
#include "controller/UpdateCoordinator.h"
#include "platform/CleanupJournal.h"
#include "platform/Desktop.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Preferences.h"
#include "platform/SystemClock.h"
#include "platform/SystemLog.h"
#include "registry/InstallationList.h"
#include "support/EventLoopWait.h"
#include "support/FakeWindowView.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

using namespace quorvane;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::map<std::string, std::string> option{{"--jar", "/usr/bin/jar"}, {"--timeout", "600"}};
    std::vector<std::string> items;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.starts_with("--")) {
            option[argument] = argument == "--clean-up" || i + 1 == argc ? "yes" : argv[++i];
        } else {
            items.push_back(argument);
        }
    }
    FileManager fileManager;
    std::optional<CleanupJournal> journal;
    if (option.contains("--state-folder")) {
        journal.emplace(option["--state-folder"]);
    }
    if (option.contains("--clean-up")) {
        journal->cleanUp(fileManager);
        return 0;
    }
    SystemLog log("quorvane-update-driver");
    Preferences preferences(option["--preferences"]);
    Localizer localizer;
    SystemClock clock;
    Desktop desktop;
    test::FakeWindowView window;
    InstallationList list(fileManager, preferences, localizer);
    UpdateCoordinator coordinator(UpdateServices{fileManager, localizer, log, clock, option["--jar"],
                                                 journal ? &*journal : nullptr, nullptr},
                                  list, window, desktop);
    coordinator.confirmUpdate(option["--target"], items);
    std::printf("confirming\n");
    std::fflush(stdout);
    window.answer(SheetAnswer::ok);

    const std::chrono::seconds timeout(std::stoi(option["--timeout"]));
    if (!test::waitUntil([&] { return !window.sheets.empty(); }, timeout)) {
        std::printf("no report\n");
        return 3;
    }
    const UpdateRun& run = *coordinator.lastRun();
    std::string message = window.sheets.back().message;
    std::replace(message.begin(), message.end(), '\n', '|');
    std::printf("title: %s\nmessage: %s\n", window.sheets.back().title.c_str(), message.c_str());
    std::printf("counts: installed %d replaced %d duplicates %d failed %d sheets %zu\n",
                run.numFilesInstalled(), run.numFilesReplaced(), run.numDuplicateFiles(),
                run.numFilesFailed(), window.sheets.size());
    return 0;
}

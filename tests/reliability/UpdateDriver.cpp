// Runs one update as the program does after "OK" on the confirmation sheet, in a process of its own, so
// that the reliability scripts can kill it at any moment or watch it for hangs:
//
//   quorvane-update-driver --target INSTALLATION --preferences FILE [--state-folder FOLDER] [--jar PATH]
//                          [--timeout SECONDS] ITEM...
//   quorvane-update-driver --clean-up --state-folder FOLDER    (what a start does first: removes what killed
//                                                               runs left)
//
// The controller is the real one, on the real file services, the system clock and real child processes;
// only the window's controls are recording stand-ins. It prints "confirming" when the update starts, then
// the completion report as "title: ..." and "message: ..." lines and the counts, and exits 0. Without a
// report within the time limit it prints "no report" and exits 3.
#include "controller/MyInstaller.h"
#include "platform/Bundle.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/SystemClock.h"
#include "platform/SystemLog.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "support/EventLoopWait.h"
#include "support/FakeControls.h"
#include "support/MyInstallerTestPeer.h"

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
    Workspace workspace(fileManager);
    Preferences preferences(option["--preferences"]);
    Localizer localizer;
    SystemClock clock;
    Bundle bundle("/nonexistent");
    test::FakeImageLoader imageLoader;
    test::FakeWindow window;
    test::FakeTableView table;
    test::FakeTextField file, fileLabel;
    test::FakeProgressIndicator progress;
    test::FakeButton cancelButton;
    MyInstaller installer(InstallerServices{fileManager, workspace, preferences, localizer, log, clock, bundle,
                                            imageLoader, "/bin/false", option["--jar"], journal ? &*journal : nullptr});
    installer.connectOutlets(InstallerOutlets{&table, &file, &window, &progress, &fileLabel, &cancelButton});
    installer.setTargetPath(option["--target"]);
    installer.setUpdateFiles(items);
    std::printf("confirming\n");
    std::fflush(stdout);
    MyInstallerTestPeer(installer).dragConfirmed(NSAlertDefaultReturn);

    if (!test::waitUntil([&] { return !window.sheets.empty(); }, std::chrono::seconds(std::stoi(option["--timeout"])))) {
        std::printf("no report\n");
        return 3;
    }
    const UpdateRun& run = *installer.updateRun();
    std::string message = window.sheets.back().message;
    std::replace(message.begin(), message.end(), '\n', '|');
    std::printf("title: %s\nmessage: %s\n", window.sheets.back().title.c_str(), message.c_str());
    std::printf("counts: installed %d replaced %d duplicates %d failed %d sheets %zu\n", run.numFilesInstalled(),
                run.numFilesReplaced(), run.numDuplicateFiles(), run.numFilesFailed(), window.sheets.size());
    return 0;
}

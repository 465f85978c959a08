// Runs one update as the program does after "OK" on the confirmation sheet, in a process of its own, so
// that the reliability scripts can kill it at any moment or watch it for hangs:
//
//   quorvane-update-driver --target INSTALLATION [--jar PATH] [--timeout SECONDS] ITEM...
//
// The controller is the real one, on the real file services, the system clock and real child processes;
// only the window's controls are recording stand-ins. It prints "confirming" when the update starts, then
// the completion report as "title: ..." and "message: ..." lines and the counts, and exits 0. Without a
// report within the time limit it prints "no report" and exits 3.
#include "controller/MyInstaller.h"
#include "platform/AlertSheet.h"
#include "platform/Bundle.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/SystemClock.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "support/EventLoopWait.h"
#include "support/FakeControls.h"
#include "support/MyInstallerTestPeer.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace quorvane;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::map<std::string, std::string> option{{"--jar", "/usr/bin/jar"}, {"--timeout", "600"}};
    std::vector<std::string> items;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--clean-up") {
            option[argument] = "yes";
        } else if (argument.starts_with("--") && i + 1 < argc) {
            option[argument] = argv[++i];
        } else {
            items.push_back(argument);
        }
    }
    const std::string target = option["--target"], stateFolder = option["--state-folder"];
    std::string preferences = option["--preferences"];
    if (!option["--clean-up"].empty() && !stateFolder.empty()) {
        // What a start of the program does first: removes what killed runs left.
        FileManager fileManager;
        CleanupJournal(stateFolder).cleanUp(fileManager);
        return 0;
    }
    if (target.empty() || items.empty()) {
        std::fprintf(stderr, "usage: quorvane-update-driver --target INSTALLATION [--jar PATH] [--timeout SECONDS] "
                             "[--preferences FILE] [--state-folder FOLDER] ITEM...\n"
                             "       quorvane-update-driver --clean-up --state-folder FOLDER\n");
        return 2;
    }
    std::optional<CleanupJournal> journal;
    if (!stateFolder.empty()) {
        journal.emplace(stateFolder);
    }
    if (preferences.empty()) {
        preferences = target + ".driver-preferences.ini";
    }

    SystemLog log("quorvane-update-driver");
    FileManager fileManager;
    Workspace workspace(fileManager);
    UserDefaults userDefaults(preferences);
    Localizer localizer;
    SystemClock clock;
    Bundle bundle("/nonexistent");
    test::FakeImageLoader imageLoader;
    test::FakeWindow window;
    test::FakeTableView table;
    test::FakeTextField file;
    test::FakeTextField fileLabel;
    test::FakeProgressIndicator progress;
    test::FakeButton cancelButton;

    MyInstaller installer(InstallerServices{fileManager, workspace, userDefaults, localizer, log, clock,
                                            bundle, imageLoader, "/bin/false", option["--jar"],
                                            journal ? &*journal : nullptr});
    installer.connectOutlets(InstallerOutlets{&table, &file, &window, &progress, &fileLabel, &cancelButton});

    installer.setTargetPath(target);
    installer.setUpdateFiles(items);
    std::printf("confirming\n");
    std::fflush(stdout);
    MyInstallerTestPeer(installer).dragConfirmed(NSAlertDefaultReturn);

    const bool reported =
        test::waitUntil([&] { return !window.sheets.empty(); }, std::chrono::seconds(std::atoi(option["--timeout"].c_str())));
    if (!reported) {
        std::printf("no report\n");
        return 3;
    }
    const UpdateRun& run = *installer.updateRun();
    std::printf("title: %s\n", window.sheets.back().title.c_str());
    std::string message = window.sheets.back().message;
    std::replace(message.begin(), message.end(), '\n', '|');
    std::printf("message: %s\n", message.c_str());
    std::printf("counts: installed %d replaced %d duplicates %d failed %d sheets %zu\n",
                run.numFilesInstalled(), run.numFilesReplaced(), run.numDuplicateFiles(), run.numFilesFailed(),
                window.sheets.size());
    std::fflush(stdout);
    return 0;
}

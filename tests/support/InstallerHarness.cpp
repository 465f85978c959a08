#include "support/InstallerHarness.h"

#include "support/EventLoopWait.h"

#include <unistd.h>

namespace quorvane::test {

InstallerHarness::InstallerHarness() : InstallerHarness(Options{}) {}

InstallerHarness::InstallerHarness(Options options)
    : clock(localTime(2007, 1, 2, 9, 5, 3)), _options(std::move(options)) {
    folder.makeFolder("home");
    folder.makeFolder("resources");
    if (_options.withIcons) {
        folder.writeFile("resources/Zell.icns", "good icon");
        folder.writeFile("resources/Zell_bad.icns", "bad icon");
    }
    build();
}

InstallerHarness::~InstallerHarness() {
    _installer.reset();
    // Validation leaves the working directory in an examined folder; step out before it is removed.
    [[maybe_unused]] const int ignored = ::chdir("/");
}

void InstallerHarness::build() {
    _installer.reset();
    _userDefaults.reset();
    FileManager& fileManager = _options.fileManager ? *_options.fileManager : _realFileManager;
    _workspace = std::make_unique<RecordingWorkspace>(fileManager);
    _userDefaults = std::make_unique<UserDefaults>(folder / _options.preferencesFile);
    _bundle = std::make_unique<Bundle>(folder / "resources");
    _installer = std::make_unique<MyInstaller>(InstallerServices{fileManager, *_workspace, *_userDefaults, _localizer,
                                                                 log, clock, *_bundle, imageLoader,
                                                                 _options.locatePath, "/usr/bin/jar", &journal, &recordStore});
    if (_options.connectOutlets) {
        _installer->connectOutlets(
            InstallerOutlets{&table, &file, &window, &progress, &fileLabel, &cancelButton});
    }
}

void InstallerHarness::restart() {
    _installer.reset();
    _userDefaults->synchronize();
    build();
}

std::string InstallerHarness::home(const std::string& relative) const {
    return relative.empty() ? folder / "home" : folder / ("home/" + relative);
}

std::vector<std::string> InstallerHarness::rowPaths() {
    std::vector<std::string> paths;
    for (const AppRecord& record : list().targetPathArray()) {
        paths.push_back(record.path.value_or("<placeholder>"));
    }
    return paths;
}

void InstallerHarness::confirm() {
    window.dismissSheet(NSAlertDefaultReturn);
    waitUntil([this] { return !_installer->updateInProgress(); }, std::chrono::minutes(2));
}

std::string InstallerHarness::sheetMessage() const { return window.sheets.empty() ? "" : window.sheets.back().message; }

std::string InstallerHarness::sheetTitle() const { return window.sheets.empty() ? "" : window.sheets.back().title; }

} // namespace quorvane::test

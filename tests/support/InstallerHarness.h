#pragma once

#include "controller/MyInstaller.h"
#include "engine/UpdateRecordStore.h"
#include "platform/Bundle.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "support/EventLoopWait.h"
#include "support/FakeClock.h"
#include "support/FakeControls.h"
#include "support/RecordingLog.h"
#include "support/TemporaryFolder.h"

#include <memory>
#include <unistd.h>

namespace quorvane::test {

// A workspace that notes the folders it is asked to show instead of starting a file manager.
struct RecordingWorkspace : Workspace {
    using Workspace::Workspace;
    bool openFolder(const std::string& path) override { return openedFolders.push_back(path), true; }
    std::vector<std::string> openedFolders;
};

// A controller wired to real file services and preferences in a temporary folder, and to recording
// stand-ins for the window's controls. The folder holds "home/" (installations and drops),
// "preferences.ini", "state/" and "records/".
class InstallerHarness {
public:
    struct Options {
        std::string locatePath = "/usr/bin/locate";
        FileManager* fileManager = nullptr; // a stand-in with failures, or the real one
    };

    InstallerHarness() : InstallerHarness(Options{}) {}
    explicit InstallerHarness(Options options)
        : clock(localTime(2007, 1, 2, 9, 5, 3)), _options(std::move(options)),
          _fileManager(_options.fileManager ? *_options.fileManager : _realFileManager), _workspace(_fileManager) {
        restart();
    }
    ~InstallerHarness() {
        _installer.reset();
        // Validation leaves the working directory in an examined folder; step out before it is removed.
        [[maybe_unused]] const int ignored = ::chdir("/");
    }

    MyInstaller& installer() { return *_installer; }
    // The folders the controller showed in the file manager.
    const std::vector<std::string>& openedFolders() const { return _workspace.openedFolders; }
    InstallationList& list() { return _installer->installationList(); }
    // Builds a new controller on the same folder and preferences, as a second start of the program would.
    void restart() {
        _installer.reset();
        _preferences->sync();
        _preferences.reset(); // gone before the new one reads the file
        _preferences = std::make_unique<Preferences>(folder / "preferences.ini");
        _installer = std::make_unique<MyInstaller>(InstallerServices{
            _fileManager, _workspace, *_preferences, _localizer, log, clock, _bundle, _imageLoader,
            _options.locatePath, "/usr/bin/jar", &_journal, &_records});
        _installer->connectOutlets(InstallerOutlets{&table, &file, &window, &progress, &fileLabel, &cancelButton});
    }
    // The rows' paths in table order; the placeholder shows as "<placeholder>".
    std::vector<std::string> rowPaths() {
        std::vector<std::string> paths;
        for (const AppRecord& record : list().targetPathArray()) {
            paths.push_back(record.path.value_or("<placeholder>"));
        }
        return paths;
    }
    // Presses OK on the confirmation sheet and waits until the update it starts, if any, has ended.
    void confirm() {
        window.dismissSheet(NSAlertDefaultReturn);
        waitUntil([this] { return !_installer->updateInProgress(); }, std::chrono::minutes(2));
    }
    // The text of the newest open sheet, or "" when none is open.
    std::string sheetMessage() const { return window.sheets.empty() ? "" : window.sheets.back().message; }
    std::string sheetTitle() const { return window.sheets.empty() ? "" : window.sheets.back().title; }

    TemporaryFolder folder;
    RecordingLog log;
    FakeClock clock;
    FakeWindow window;
    FakeTableView table;
    FakeTextField file, fileLabel;
    FakeProgressIndicator progress;
    FakeButton cancelButton;

private:
    Options _options;
    FileManager _realFileManager;
    FileManager& _fileManager;
    CleanupJournal _journal{folder / "state"};
    UpdateRecordStore _records{_realFileManager, folder / "records"};
    RecordingWorkspace _workspace;
    std::unique_ptr<Preferences> _preferences = std::make_unique<Preferences>(folder / "preferences.ini");
    Localizer _localizer;
    Bundle _bundle{"/nonexistent"};
    FakeImageLoader _imageLoader;
    std::unique_ptr<MyInstaller> _installer;
};

} // namespace quorvane::test

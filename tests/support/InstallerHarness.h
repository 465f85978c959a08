#pragma once

#include "controller/MyInstaller.h"
#include "platform/Bundle.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/UserDefaults.h"
#include "engine/UpdateRecordStore.h"
#include "support/RecordingWorkspace.h"
#include "support/FakeButton.h"
#include "support/FakeClock.h"
#include "support/FakeImageLoader.h"
#include "support/FakeProgressIndicator.h"
#include "support/FakeTableView.h"
#include "support/FakeTextField.h"
#include "support/FakeWindow.h"
#include "support/MyInstallerTestPeer.h"
#include "support/RecordingLog.h"
#include "support/TemporaryFolder.h"

#include <memory>

namespace quorvane::test {

// A controller wired to real file services and preferences in a temporary folder, and to recording
// stand-ins for the window's controls. The folder holds "home/" (installations and drops),
// "preferences.ini" and "resources/" (the icon files).
class InstallerHarness {
public:
    struct Options {
        bool withIcons = true;
        bool connectOutlets = true;
        std::string locatePath = "/usr/bin/locate";
        FileManager* fileManager = nullptr; // a stand-in with failures, or the real one
        std::string preferencesFile = "preferences.ini"; // in the folder
    };

    InstallerHarness();
    explicit InstallerHarness(Options options);
    ~InstallerHarness();

    MyInstaller& installer() { return *_installer; }
    // The folders the controller showed in the file manager.
    const std::vector<std::string>& openedFolders() const { return _workspace->openedFolders; }
    MyInstallerTestPeer peer() { return MyInstallerTestPeer(*_installer); }
    InstallationList& list() { return _installer->installationList(); }
    // Builds a new controller on the same folder and preferences, as a second start of the program would.
    void restart();
    std::string home(const std::string& relative = "") const;
    // The rows' paths in table order; the placeholder shows as "<placeholder>".
    std::vector<std::string> rowPaths();
    // Presses OK on the confirmation sheet and waits until the update it starts, if any, has ended.
    void confirm();
    // The text of the newest open sheet, or "" when none is open.
    std::string sheetMessage() const;
    std::string sheetTitle() const;

    TemporaryFolder folder;

private:
    FileManager _realFileManager;

public:
    // The journal of temporary items, in "state/" of the folder.
    CleanupJournal journal{folder / "state"};
    // The records of the runs, in "records/" of the folder.
    UpdateRecordStore recordStore{_realFileManager, folder / "records"};
    RecordingLog log;
    FakeClock clock;
    FakeImageLoader imageLoader;
    FakeWindow window;
    FakeTableView table;
    FakeTextField file;
    FakeTextField fileLabel;
    FakeProgressIndicator progress;
    FakeButton cancelButton;

private:
    void build();

    Options _options;
    std::unique_ptr<RecordingWorkspace> _workspace;
    std::unique_ptr<UserDefaults> _userDefaults;
    Localizer _localizer;
    std::unique_ptr<Bundle> _bundle;
    std::unique_ptr<MyInstaller> _installer;
};

} // namespace quorvane::test

#pragma once

#include "controller/MyInstaller.h"
#include "platform/Bundle.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/SystemClock.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtImageLoader.h"

#include <memory>
#include <string>

namespace quorvane {

// Where the program keeps and finds its things.
struct UpdaterConfiguration {
    std::string preferencesPath;
    std::string resourceFolder = ":/resources";
    std::string locatePath = "/usr/bin/locate";
    std::string jarPath = "/usr/bin/jar";
    // Where the journal of temporary items lives (CleanupJournal::defaultFolder() for the program);
    // empty: none is kept.
    std::string stateFolder;
};

// The program put together: its services, the controller and the window it drives, connected as the
// window description connects them. start() sends the controller awakeFromNib, which shows the window.
class UpdaterApplication {
public:
    static constexpr const char* programName = "quorvane-updater";

    explicit UpdaterApplication(const UpdaterConfiguration& configuration);
    UpdaterApplication(const UpdaterApplication&) = delete;
    UpdaterApplication& operator=(const UpdaterApplication&) = delete;

    // Removes what a killed run left behind, then sends the controller awakeFromNib.
    void start();

    MyInstaller& installer() { return _installer; }
    MainWindow& mainWindow() { return _mainWindow; }
    UserDefaults& userDefaults() { return _userDefaults; }

private:
    SystemLog _log;
    FileManager _fileManager;
    Workspace _workspace;
    UserDefaults _userDefaults;
    Localizer _localizer;
    SystemClock _clock;
    Bundle _bundle;
    QtImageLoader _imageLoader;
    std::unique_ptr<CleanupJournal> _cleanupJournal;
    MyInstaller _installer;
    // Declared last, so it goes first: the table never asks a controller that is gone.
    MainWindow _mainWindow;
};

} // namespace quorvane

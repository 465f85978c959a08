#pragma once

#include "app/PlatformServices.h"
#include "app/UpdaterConfiguration.h"
#include "controller/MyInstaller.h"
#include "platform/Bundle.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtImageLoader.h"
#include "platform/qt/QtWorkspace.h"

#include <string>
#include <vector>

namespace quorvane {

// The program put together: its services, the controller and the window it drives, connected as the
// window description connects them. start() sends the controller awakeFromNib, which shows the window.
class UpdaterApplication {
public:
    static constexpr const char* programName = "quorvane-updater";

    explicit UpdaterApplication(const UpdaterConfiguration& configuration);
    UpdaterApplication(const UpdaterApplication&) = delete;
    UpdaterApplication& operator=(const UpdaterApplication&) = delete;

    // Removes what a killed run left behind, then sends the controller awakeFromNib and offers it the
    // waiting items.
    void start();

    MyInstaller& installer() { return _installer; }
    MainWindow& mainWindow() { return _mainWindow; }
    Preferences& preferences() { return _services.preferences; }
    // The items the program was started with, waiting for an installation.
    const std::vector<std::string>& waitingItems() const { return _waitingItems; }

private:
    PlatformServices _services;
    Bundle _bundle;
    QtImageLoader _imageLoader;
    // The window's workspace: it also opens folders in the file manager.
    QtWorkspace _workspace;
    std::vector<std::string> _waitingItems;
    MyInstaller _installer;
    // Declared last, so it goes first: the table never asks a controller that is gone.
    MainWindow _mainWindow;
};

} // namespace quorvane

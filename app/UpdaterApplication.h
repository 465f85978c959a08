#pragma once

#include "app/PlatformServices.h"
#include "app/UpdaterConfiguration.h"
#include "controller/WindowController.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtDesktop.h"

#include <string>
#include <vector>

namespace quorvane {

// The program put together: its services, the window and its controller, connected. start() lists the
// installations and shows the window.
class UpdaterApplication {
public:
    static constexpr const char* programName = "quorvane-updater";

    explicit UpdaterApplication(const UpdaterConfiguration& configuration);
    UpdaterApplication(const UpdaterApplication&) = delete;
    UpdaterApplication& operator=(const UpdaterApplication&) = delete;

    // Removes what a killed run left behind, lists the installations, shows the window and offers the
    // controller the waiting items.
    void start();
    // Items a later start of the program handed over wait for an installation as those it started with;
    // with none or some, the window comes to the front.
    void takeHandedOverItems(const std::vector<std::string>& items);

    WindowController& controller() { return _controller; }
    MainWindow& mainWindow() { return _mainWindow; }
    Preferences& preferences() { return _services.preferences; }

private:
    PlatformServices _services;
    QtDesktop _desktop;
    std::vector<std::string> _waitingItems;
    MainWindow _mainWindow;
    // Declared last, so it goes first: its jobs end before the window they show in.
    WindowController _controller;
};

} // namespace quorvane

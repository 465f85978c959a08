#pragma once

#include "controller/MyInstaller.h"
#include "process/MyProcess.h"

namespace quorvane {

// Reaches the controller's private operations from tests, one call each.
class MyInstallerTestPeer {
public:
    explicit MyInstallerTestPeer(MyInstaller& installer) : _installer(installer) {}

    std::string dateTimeComponent() const { return _installer._dateTimeComponent(); }
    InstallationStatus validApplicationInList(const std::vector<std::string>& paths) {
        return _installer._validApplicationInList(paths);
    }
    void dragConfirmed(int returnCode) { _installer._dragConfirmed(returnCode); }

private:
    MyInstaller& _installer;
};

} // namespace quorvane

#pragma once

#include "controller/MyInstaller.h"
#include "process/MyProcess.h"

namespace quorvane {

// Reaches the controller's private operations from tests, one call each.
class MyInstallerTestPeer {
public:
    explicit MyInstallerTestPeer(MyInstaller& installer) : _installer(installer) {}

    std::string dateTimeComponent() const { return _installer._dateTimeComponent(); }
    InstallationStatus isValidApplication(const std::string& path) { return _installer._isValidApplication(path); }
    std::string statusDescription(InstallationStatus status) const { return _installer._statusDescription(status); }
    bool addApplications(const std::optional<std::vector<std::string>>& apps, bool folders) {
        return _installer._addApplications(apps, folders);
    }
    void fillApplicationList(const std::string& locateOutput) {
        _installer._fillApplicationListWithOutput(locateOutput);
    }
    InstallationStatus validApplicationInList(const std::vector<std::string>& paths) {
        return _installer._validApplicationInList(paths);
    }
    void dragConfirmed(int returnCode) { _installer._dragConfirmed(returnCode); }

private:
    MyInstaller& _installer;
};

} // namespace quorvane

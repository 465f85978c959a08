#pragma once

#include "controller/MyInstaller.h"
#include "process/MyProcess.h"

namespace quorvane {

// Reaches the controller's private operations from tests, one call each.
class MyInstallerTestPeer {
public:
    explicit MyInstallerTestPeer(MyInstaller& installer) : _installer(installer) {}

    std::string dateTimeComponent() const { return _installer._dateTimeComponent(); }
    InstallationStatus isValidApplication(const std::string& path) {
        return _installer._installationList._isValidApplication(path);
    }
    std::string statusDescription(InstallationStatus status) const {
        return _installer._installationList._statusDescription(status);
    }
    bool addApplications(const std::optional<std::vector<std::string>>& apps, bool folders) {
        return _installer._installationList._addApplications(apps, folders);
    }
    void fillApplicationList(const std::string& locateOutput) {
        _installer._installationList._fillApplicationList(locateOutput);
    }
    InstallationStatus validApplicationInList(const std::vector<std::string>& paths) {
        return _installer._validApplicationInList(paths);
    }
    void dragConfirmed(int returnCode) { _installer._dragConfirmed(returnCode); }
    void addDataFromFiles(std::vector<std::string>& files) { _installer._addDataFromFiles(files); }
    std::vector<std::string> directoryContentFullPathsAtPath(const std::string& path) const {
        return _installer._directoryContentFullPathsAtPath(path);
    }
    std::optional<std::string> createTemporaryDirectoryForFile(const std::string& path) {
        return _installer._createTemporaryDirectoryForFile(path);
    }
    void updateInstallStatus(const std::string& status, const std::string& file) {
        _installer._updateInstallStatus(status, file);
    }
    std::int32_t recursionLevel() const { return _installer.recursionLevel; }

private:
    MyInstaller& _installer;
};

} // namespace quorvane

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

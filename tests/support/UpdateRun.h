#pragma once

#include "support/InstallerHarness.h"

namespace quorvane::test {

// Confirms an update of the installation with the given items, as "OK" on the confirmation sheet does.
inline void runUpdate(InstallerHarness& harness, const std::string& installation,
                      const std::vector<std::string>& items) {
    harness.installer().setTargetPath(installation);
    harness.installer().setUpdateFiles(items);
    harness.peer().dragConfirmed(NSAlertDefaultReturn);
}

struct Counts {
    int installed;
    int replaced;
    int duplicates;
    int failed;
    bool operator==(const Counts&) const = default;
};

inline Counts countsOf(MyInstaller& installer) {
    return {installer.numFilesInstalled(), installer.numFilesReplaced(), installer.numDuplicateFiles(),
            installer.numFilesFailed()};
}

inline std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << "{installed " << c.installed << ", replaced " << c.replaced << ", duplicates " << c.duplicates
               << ", failed " << c.failed << "}";
}

// The backup folder of an update confirmed at the harness clock's start time.
inline std::string backupFolder(const std::string& installation) {
    return installation + "/BackupFiles/20070102_090503";
}

} // namespace quorvane::test

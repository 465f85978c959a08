#pragma once

#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "registry/InstallationList.h"
#include "support/TemporaryFolder.h"

#include <unistd.h>

namespace quorvane::test {

// An installation list on the real file system: installations go in "home/" of a temporary folder, and
// the list is saved in its "preferences.ini".
struct ListOnDisk {
    explicit ListOnDisk(InstallationListDelegate* delegate = nullptr)
        : list(files, workspace, preferences, localizer, delegate) {}
    ~ListOnDisk() {
        // Validation leaves the working directory in an examined folder; step out before it is removed.
        [[maybe_unused]] const int ignored = ::chdir("/");
    }

    std::string home(const std::string& relative) const { return folder / ("home/" + relative); }
    // The saved list as the next start of the program reads it.
    std::optional<std::vector<std::string>> saved() const {
        return UserDefaults(folder / "preferences.ini").stringArrayForKey("Target_Path_Array");
    }
    std::vector<std::string> rowPaths() const {
        std::vector<std::string> paths;
        for (const AppRecord& record : list.targetPathArray()) {
            paths.push_back(record.path.value_or("<placeholder>"));
        }
        return paths;
    }

    TemporaryFolder folder;
    FileManager files;
    Workspace workspace{files};
    UserDefaults preferences{folder / "preferences.ini"};
    Localizer localizer;
    InstallationList list;
};

} // namespace quorvane::test

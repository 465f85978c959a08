#pragma once

#include <string>
#include <vector>

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
    // Items the program was started with (a file manager's "Open With"), as absolute paths: they wait
    // for an installation to go into.
    std::vector<std::string> waitingItems;
};

} // namespace quorvane

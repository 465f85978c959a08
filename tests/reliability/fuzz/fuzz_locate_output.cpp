// Locate output, any bytes, turned into list entries on the real file system: it ends, lists each folder
// at most once, valid installations first, and nothing that is no installation.
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Preferences.h"
#include "registry/InstallationList.h"
#include "support/TemporaryFolder.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

struct Setup {
    Setup() {
        // A few installations for the output to name: a valid one, a damaged one and one with odd bytes.
        folder.makeInstallation("home/A");
        folder.makeInstallation("home/B", "1.10");
        folder.makeInstallation(std::string("home/C\xff\x01"));
    }
    quorvane::test::TemporaryFolder folder;
    quorvane::FileManager files;
    quorvane::Preferences preferences{folder / "preferences.ini"};
    quorvane::Localizer localizer;
    quorvane::InstallationList list{files, preferences, localizer};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Setup setup;
    // "@" stands for the temporary folder, so that short inputs reach real installations.
    std::string output;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '@') {
            output += setup.folder.path();
        } else {
            output.push_back(static_cast<char>(data[i]));
        }
    }
    setup.list.fillFromSearch(output);

    const std::vector<quorvane::Installation>& list = setup.list.installations();
    std::set<std::string> seen;
    bool invalidSeen = false;
    for (const quorvane::Installation& installation : list) {
        if (installation.path.empty() || !seen.insert(installation.path).second) {
            std::abort(); // an entry without a path, or a folder listed twice
        }
        const bool valid = installation.takesItems();
        if (valid && invalidSeen) {
            std::abort(); // valid installations come first
        }
        invalidSeen = invalidSeen || !valid;
    }
    if (setup.list.validCount() > list.size()) {
        std::abort();
    }
    return 0;
}

// Locate output, any bytes, turned into list entries by the controller on the real file system: it ends,
// lists each folder at most once, valid installations first, and nothing that is no installation.
#include "support/InstallerHarness.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

struct Setup {
    Setup() {
        static int argc = 1;
        static char name[] = "fuzz_locate_output";
        static char* argv[] = {name, nullptr};
        application = new QCoreApplication(argc, argv);
        harness = new quorvane::test::InstallerHarness();
        // A few installations for the output to name: a valid one, a damaged one and one with odd bytes.
        harness->folder.makeInstallation("home/A");
        harness->folder.makeInstallation("home/B", "1.10");
        harness->folder.makeInstallation(std::string("home/C\xff\x01"));
    }
    QCoreApplication* application;
    quorvane::test::InstallerHarness* harness;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Setup setup;
    quorvane::test::InstallerHarness& harness = *setup.harness;
    // "@" stands for the harness's folder, so that short inputs reach real installations.
    std::string output;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '@') {
            output += harness.folder.path();
        } else {
            output.push_back(static_cast<char>(data[i]));
        }
    }
    harness.peer().fillApplicationList(output);

    const std::vector<quorvane::AppRecord>& list = harness.installer().installationList().targetPathArray();
    std::set<std::string> seen;
    bool invalidSeen = false;
    for (const quorvane::AppRecord& record : list) {
        if (!record.path || !seen.insert(*record.path).second) {
            std::abort(); // an entry without a path, or a folder listed twice
        }
        const bool valid = record.status && *record.status == quorvane::InstallationStatusValid;
        if (valid && invalidSeen) {
            std::abort(); // valid installations come first
        }
        invalidSeen = invalidSeen || !valid;
    }
    if (harness.installer().installationList().firstBadEntry() < 0 ||
        static_cast<std::size_t>(harness.installer().installationList().firstBadEntry()) > list.size()) {
        std::abort();
    }
    return 0;
}

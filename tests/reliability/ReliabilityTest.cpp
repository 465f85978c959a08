#include "support/EventLoopWait.h"
#include "support/InstallerHarness.h"
#include "support/LocateStandIn.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

std::string binaryNoise() {
    std::string bytes;
    unsigned state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 16));
    }
    return bytes;
}

// Whatever is in the preferences file, the program starts, searches with locate and lists what it finds.
TEST(Reliability, DamagedPreferencesStillStartAndRunTheSearch) {
    const struct {
        const char* what;
        std::string contents;
    } damages[] = {
        {"binary noise", binaryNoise()},
        {"cut off in a section header", "[Target_Path_Arr"},
        {"size that is no number", "[Target_Path_Array]\nsize=many\n1\\value=/x\n"},
        {"negative size", "[Target_Path_Array]\nsize=-3\n"},
        {"more entries announced than held", "[Target_Path_Array]\nsize=2147483647\n1\\value=/nowhere\n"},
        {"a byte-array value of the wrong kind",
         "[Target_Path_Array]\nsize=1\n1\\value=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1QPoint\\0\\0\\0)\n"},
        {"NUL bytes and no line ends", std::string("\0\0\0[\0=\0", 8)},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        TemporaryFolder tools;
        InstallerHarness::Options options;
        options.locatePath = tools / "tools/locate";
        InstallerHarness harness(options);
        const std::string installation = harness.folder.makeInstallation("home/game");
        writeLocateStandIn(tools, "tools/locate", installation + "/Quorvane\n");
        harness.folder.writeFile("preferences.ini", damage.contents);
        harness.restart(); // reads the damaged file afresh
        ASSERT_EQ(readFile(harness.folder / "preferences.ini"), damage.contents) << "the damage is still there";

        harness.installer().awakeFromNib();
        ASSERT_TRUE(waitUntil([&] { return harness.rowPaths() != Paths{"<placeholder>"}; }));
        EXPECT_TRUE(exists(tools / "tools/locate.ran"));
        EXPECT_EQ(harness.rowPaths(), Paths{installation});
    }
}

// An installation whose version file is a pipe, or a link to an endless device, is examined without
// waiting and listed as damaged.
TEST(Reliability, AVersionFileThatIsAPipeOrADeviceDoesNotHoldTheStart) {
    InstallerHarness harness;
    const std::string piped = harness.folder.makeInstallation("home/piped");
    const std::string endless = harness.folder.makeInstallation("home/endless");
    const std::string valid = harness.folder.makeInstallation("home/valid");
    ::unlink((piped + "/Text/version.txt").c_str());
    ASSERT_EQ(::mkfifo((piped + "/Text/version.txt").c_str(), 0644), 0);
    ::unlink((endless + "/Text/version.txt").c_str());
    ASSERT_EQ(::symlink("/dev/zero", (endless + "/Text/version.txt").c_str()), 0);
    UserDefaults(harness.folder / "preferences.ini").setObject(Paths{piped, endless, valid}, "Target_Path_Array");
    harness.restart();
    harness.installer().awakeFromNib();
    EXPECT_EQ(harness.rowPaths(), (Paths{valid, piped, endless}));
    EXPECT_EQ(harness.list().firstBadEntry(), 1);
}

} // namespace
} // namespace quorvane::test

#include "support/EventLoopWait.h"
#include "support/InstallerHarness.h"
#include "support/LocateStandIn.h"

#include <cctype>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

struct DamagedPreferences {
    const char* what;
    std::string contents;
};

void PrintTo(const DamagedPreferences& damage, std::ostream* out) {
    *out << damage.what;
}

class DamagedPreferencesTest : public testing::TestWithParam<DamagedPreferences> {};

// Whatever is in the preferences file, the program starts, searches with locate and lists what it finds.
TEST_P(DamagedPreferencesTest, StartsAndRunsTheSearch) {
    TemporaryFolder tools;
    InstallerHarness::Options options;
    options.locatePath = tools / "tools/locate";
    InstallerHarness harness(options);
    const std::string installation = harness.folder.makeInstallation("home/game");
    writeLocateStandIn(tools, "tools/locate", installation + "/Quorvane\n");
    harness.folder.writeFile("preferences.ini", GetParam().contents);
    harness.restart(); // reads the damaged file afresh
    ASSERT_EQ(readFile(harness.folder / "preferences.ini"), GetParam().contents)
        << "the damage is still there";

    harness.installer().awakeFromNib();
    ASSERT_TRUE(waitUntil([&] { return harness.rowPaths() != Paths{"<placeholder>"}; })) << GetParam().what;
    EXPECT_TRUE(exists(tools / "tools/locate.ran")) << GetParam().what;
    EXPECT_EQ(harness.rowPaths(), Paths{installation}) << GetParam().what;
}

std::string binaryNoise() {
    std::string bytes;
    unsigned state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 16));
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Reliability, DamagedPreferencesTest,
    testing::Values(
        DamagedPreferences{"binary noise", binaryNoise()},
        DamagedPreferences{"cut off in a section header", "[Target_Path_Arr"},
        DamagedPreferences{"size that is no number", "[Target_Path_Array]\nsize=many\n1\\value=/x\n"},
        DamagedPreferences{"negative size", "[Target_Path_Array]\nsize=-3\n"},
        DamagedPreferences{"more entries announced than held",
                           "[Target_Path_Array]\nsize=2147483647\n1\\value=/nowhere\n"},
        DamagedPreferences{"a byte-array value of the wrong kind",
                           "[Target_Path_Array]\nsize=1\n1\\value=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1"
                           "QPoint\\0\\0\\0)\n"},
        DamagedPreferences{"NUL bytes and no line ends", std::string("\0\0\0[\0=\0", 8)}),
    [](const testing::TestParamInfo<DamagedPreferences>& info) {
        std::string name;
        bool upper = true;
        for (const char* c = info.param.what; *c; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c))) {
                name.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c);
            }
            upper = *c == ' ' || *c == '-';
        }
        return name;
    });

// An installation whose version file is a pipe, or a link to an endless device, is examined without
// waiting and listed as damaged.
TEST(SpecialFiles, AVersionFileThatIsAPipeOrADeviceDoesNotHoldTheStart) {
    InstallerHarness harness;
    const std::string piped = harness.folder.makeInstallation("home/piped");
    const std::string endless = harness.folder.makeInstallation("home/endless");
    const std::string valid = harness.folder.makeInstallation("home/valid");
    ::unlink((piped + "/Text/version.txt").c_str());
    ASSERT_EQ(::mkfifo((piped + "/Text/version.txt").c_str(), 0644), 0);
    ::unlink((endless + "/Text/version.txt").c_str());
    ASSERT_EQ(::symlink("/dev/zero", (endless + "/Text/version.txt").c_str()), 0);
    {
        UserDefaults defaults(harness.folder / "preferences.ini");
        defaults.setObject(Paths{piped, endless, valid}, "Target_Path_Array");
    }
    harness.restart();
    harness.installer().awakeFromNib();
    EXPECT_EQ(harness.rowPaths(), (Paths{valid, piped, endless}));
    EXPECT_EQ(harness.list().firstBadEntry(), 1);
}

// Links that lead back up the dropped tree end the descent and the merge; the run reports.
TEST(SymbolicLinkLoops, InDroppedTreesEnd) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("drop/wrap/deeper/Art/new.png", "new");
    harness.folder.makeFolder("drop/loops");
    ASSERT_EQ(::symlink("..", (harness.folder / "drop/wrap/up").c_str()), 0);
    ASSERT_EQ(::symlink("../..", (harness.folder / "drop/wrap/deeper/Art/upup").c_str()), 0);
    ASSERT_EQ(::symlink("b", (harness.folder / "drop/loops/a").c_str()), 0);
    ASSERT_EQ(::symlink("a", (harness.folder / "drop/loops/b").c_str()), 0);
    ASSERT_EQ(::symlink(".", (harness.folder / "drop/loops/self").c_str()), 0);

    harness.installer().setTargetPath(installation);
    harness.installer().setUpdateFiles(Paths{harness.folder / "drop/wrap", harness.folder / "drop/loops"});
    harness.peer().dragConfirmed(NSAlertDefaultReturn);
    ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); })) << "no completion report";
    EXPECT_EQ(harness.window.sheets.size(), 1u);
    EXPECT_EQ(readFile(installation + "/Art/new.png"), "new");
    EXPECT_EQ(harness.installer().updateRun()->activeAddDataCalls(), 0);
}

} // namespace
} // namespace quorvane::test

#include "support/EventLoopWait.h"
#include "support/InstallerHarness.h"
#include "support/LocateStandIn.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// Whatever is in the preferences file, the program starts, searches with locate and lists what it finds
// (the installation is known to locate only).
TEST(Reliability, DamagedPreferencesStillStartAndRunTheSearch) {
    const std::pair<const char*, std::string> damages[] = {
        {"binary noise", std::string("\x89PNG\r\n\x1a\n\0\xff\xfe[\x01=\\\x7f\x80", 17)},
        {"cut off in a section header", "[Target_Path_Arr"},
        {"size that is no number", "[Target_Path_Array]\nsize=many\n1\\value=/x\n"},
        {"negative size", "[Target_Path_Array]\nsize=-3\n"},
        {"more entries announced than held", "[Target_Path_Array]\nsize=2147483647\n1\\value=/nowhere\n"},
        {"a byte-array value of the wrong kind",
         "[Target_Path_Array]\nsize=1\n1\\value=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1QPoint\\0\\0\\0)\n"},
        {"NUL bytes and no line ends", std::string("\0\0\0[\0=\0", 8)},
    };
    for (const auto& [what, contents] : damages) {
        SCOPED_TRACE(what);
        TemporaryFolder tools;
        InstallerHarness harness({.locatePath = tools / "tools/locate"});
        const std::string installation = harness.folder.makeInstallation("home/game");
        writeLocateStandIn(tools, "tools/locate", installation + "/Quorvane\n");
        harness.folder.writeFile("preferences.ini", contents);
        harness.restart(); // reads the damaged file afresh
        ASSERT_EQ(readFile(harness.folder / "preferences.ini"), contents) << "the damage is still there";

        harness.installer().awakeFromNib();
        ASSERT_TRUE(waitUntil([&] { return harness.rowPaths() != Paths{"<placeholder>"}; }));
        EXPECT_EQ(harness.rowPaths(), Paths{installation});
    }
}

} // namespace
} // namespace quorvane::test

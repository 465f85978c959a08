#include "support/EventLoopWait.h"
#include "support/LocateStandIn.h"
#include "support/WindowHarness.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

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
        const std::string installation = tools.makeInstallation("home/game");
        const std::string locate = writeLocateStandIn(tools, "tools/locate", installation + "/Quorvane\n");
        WindowHarness harness({.locatePath = locate, .preferencesFile = contents});
        const std::string preferences = harness.folder / "preferences.ini";
        EXPECT_TRUE(readFile(preferences) == contents || readFile(preferences + ".damaged") == contents)
            << "read as it is, or set aside";

        harness.controller().start();
        ASSERT_TRUE(waitUntil([&] { return !harness.list().searching(); }));
        EXPECT_EQ(harness.rowPaths(), Paths{installation});
    }
}

} // namespace
} // namespace quorvane::test

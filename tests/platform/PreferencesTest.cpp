#include "platform/Preferences.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Strings = std::vector<std::string>;

// Lists (of paths that need not be UTF-8) and single strings come back exactly as stored in a later run.
TEST(Preferences, ValuesComeBackExactlyAsStoredInALaterRun) {
    const std::vector<Strings> lists{
        {}, {"/a", "/b,c", "/d=e;f", " /spaces ", "/caf\xe9", "/\xc3\xa9t\xc3\xa9", "/\xff"}};
    for (const Strings& list : lists) {
        TemporaryFolder folder;
        {
            Preferences defaults(folder / "prefs.ini");
            defaults.setStringList("Target_Path_Array", list);
            defaults.setString("NSWindow Frame Quorvane Updater", "1 2 3 4");
        }
        Preferences later(folder / "prefs.ini");
        EXPECT_EQ(later.stringList("Target_Path_Array"), list);
        EXPECT_EQ(later.stringValue("NSWindow Frame Quorvane Updater"), "1 2 3 4");
    }
}

} // namespace
} // namespace quorvane::test

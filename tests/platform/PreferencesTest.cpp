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

// Whatever damage the file has, no list is read from it, so the program searches again; a file it cannot
// read at all is set aside as "<file>.damaged".
TEST(Preferences, ADamagedFileGivesNoList) {
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
        TemporaryFolder folder;
        const std::string file = folder.writeFile("prefs.ini", contents);
        EXPECT_EQ(Preferences(file).stringList("Target_Path_Array"), std::nullopt) << what;
        EXPECT_TRUE(readFile(file) == contents || readFile(file + ".damaged") == contents) << what;
    }
}

} // namespace
} // namespace quorvane::test

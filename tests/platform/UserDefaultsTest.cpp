#include "platform/UserDefaults.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Strings = std::vector<std::string>;

TEST(UserDefaults, ListsComeBackExactlyAsStoredInALaterRun) {
    const std::vector<Strings> lists{
        {}, {"/only one"}, {"/a", "/b,c", "/d=e;f", " /spaces "}, {"/caf\xe9", "/\xc3\xa9t\xc3\xa9", "/\xff"}};
    for (const Strings& list : lists) {
        TemporaryFolder folder;
        {
            UserDefaults defaults(folder / "prefs.ini");
            defaults.setObject(list, "Target_Path_Array");
        }
        UserDefaults later(folder / "prefs.ini");
        EXPECT_EQ(later.stringArrayForKey("Target_Path_Array"), list);
    }
}

TEST(UserDefaults, AbsentOrForeignValuesAreNone) {
    TemporaryFolder folder;
    folder.writeFile("prefs.ini", "[General]\nPlain=text\n"
                                  "[Target_Path_Array]\nsize=2\n1\\value=/a\n"
                                  "[Counted]\nsize=many\n"
                                  "[Mixed]\nsize=1\n1\\value=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    UserDefaults defaults(folder / "prefs.ini");
    EXPECT_FALSE(defaults.stringArrayForKey("Missing"));
    EXPECT_FALSE(defaults.stringArrayForKey("Plain")) << "a single string is no list";
    EXPECT_FALSE(defaults.stringArrayForKey("Target_Path_Array")) << "an element is missing";
    EXPECT_FALSE(defaults.stringArrayForKey("Counted"));
    EXPECT_FALSE(defaults.stringArrayForKey("Mixed")) << "a number is no string";
}

TEST(UserDefaults, ADamagedFileIsSetAsideAndTheStoreWorks) {
    TemporaryFolder folder;
    folder.writeFile("prefs.ini", std::string("[Target_Path_Array\n\x01=\xff\n[[", 20));
    {
        UserDefaults defaults(folder / "prefs.ini");
        EXPECT_FALSE(defaults.stringArrayForKey("Target_Path_Array"));
        defaults.setObject(Strings{"/game"}, "Target_Path_Array");
    }
    EXPECT_EQ(UserDefaults(folder / "prefs.ini").stringArrayForKey("Target_Path_Array"), Strings{"/game"});
}

TEST(UserDefaults, KeepsSingleStrings) {
    TemporaryFolder folder;
    {
        UserDefaults defaults(folder / "prefs.ini");
        defaults.setString("1 2 3 4", "NSWindow Frame Quorvane Updater");
    }
    EXPECT_EQ(UserDefaults(folder / "prefs.ini").stringForKey("NSWindow Frame Quorvane Updater"), "1 2 3 4");
}

} // namespace
} // namespace quorvane::test

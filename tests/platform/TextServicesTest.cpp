#include "platform/Bundle.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/SystemLog.h"
#include "platform/UriList.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <regex>

namespace quorvane::test {
namespace {

TEST(PathUtilities, TakesPathsApartAndJoinsThem) {
    struct Case {
        const char* path;
        const char* last;
        const char* parent;
        const char* extension;
    };
    const Case cases[] = {
        {"/a/b/c.zip", "c.zip", "/a/b", "zip"}, {"/a/b/", "b", "/a", ""},   {"/a", "a", "/", ""},
        {"/", "/", "/", ""},                     {"a", "a", "", ""},          {"", "", "", ""},
        {"/x/.zip", ".zip", "/x", ""},           {"/x/y.ZIP", "y.ZIP", "/x", "ZIP"},
        {"/x/a.b/c", "c", "/x/a.b", ""},         {"/x/t.tar.gz", "t.tar.gz", "/x", "gz"},
        {"/x/end.", "end.", "/x", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(path::lastPathComponent(c.path), c.last) << c.path;
        EXPECT_EQ(path::stringByDeletingLastPathComponent(c.path), c.parent) << c.path;
        EXPECT_EQ(path::pathExtension(c.path), c.extension) << c.path;
    }
    EXPECT_EQ(path::stringByAppendingPathComponent("", "Art"), "Art");
    EXPECT_EQ(path::stringByAppendingPathComponent("/game", "Art"), "/game/Art");
    EXPECT_EQ(path::stringByAppendingPathComponent("/game/", "Art/x"), "/game/Art/x");
    EXPECT_EQ(path::stringByAppendingPathComponent("/", "Art"), "/Art");
    EXPECT_EQ(path::stringByAppendingPathComponent("Art", ""), "Art");

    EXPECT_TRUE(path::isInsideFolder("/a/b", "/a/b/c"));
    EXPECT_TRUE(path::isInsideFolder("/a/b/", "/a/b/c/d"));
    EXPECT_TRUE(path::isInsideFolder("/", "/a"));
    EXPECT_FALSE(path::isInsideFolder("/a/b", "/a/bc"));
    EXPECT_FALSE(path::isInsideFolder("/a/b", "/a/b"));
    EXPECT_FALSE(path::isInsideFolder("", "/a"));
}

TEST(MessageFormat, FillsPlaceholdersOnceAndNeverExpandsWhatItInserts) {
    struct Case {
        const char* messageTemplate;
        std::vector<FormatArgument> arguments;
        const char* expected;
    };
    const Case cases[] = {
        {"Looking for your %@ installation.", {"Quorvane"}, "Looking for your Quorvane installation."},
        {"%d files added\n%d backed up", {3, -1}, "3 files added\n-1 backed up"},
        {"%@ and %@", {"%@", "%d%%"}, "%@ and %d%%"},
        {"100%% sure %@", {"x"}, "100% sure x"},
        {"missing %@ and %d", {}, "missing  and "},
        {"odd %x %", {"unused"}, "odd %x %"},
        {"%@\n%@", {"<b>x</b>", ""}, "<b>x</b>\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatMessage(c.messageTemplate, c.arguments), c.expected) << c.messageTemplate;
    }
}

TEST(Localizer, WithoutATranslationEveryTextIsItsKey) {
    Localizer localizer;
    EXPECT_EQ(localizer.localizedStringForKey("Installing:"), "Installing:");
    EXPECT_EQ(localizer.localizedStringForKey("Click OK to update %@ using:\n\n%@"),
              "Click OK to update %@ using:\n\n%@");
    EXPECT_EQ(localizer.localizedStringForKey(""), "");
}

TEST(UriList, TakesTheLocalFilesOfADragByteForByte) {
    const std::string list = "# dragged from a file manager\r\n"
                             "file:///home/u/Add%20on/Art\r\n"
                             "file://localhost/home/u/caf%E9.zip\r\n"
                             "http://example.invalid/x.zip\r\n"
                             "file://otherhost/share/y\r\n"
                             "file:/home/u/short%2Fform\n"
                             "file:///home/u/bad%zz%4\n"
                             "file:///home/u/nul%00x\n"
                             "\n";
    EXPECT_EQ(urilist::localPathsFromUriList(list),
              (std::vector<std::string>{"/home/u/Add on/Art", "/home/u/caf\xe9.zip", "/home/u/short/form",
                                        "/home/u/bad%zz%4"}));
    EXPECT_TRUE(urilist::localPathsFromUriList("").empty());
}

TEST(UriList, RoundTripsAnyPath) {
    const std::vector<std::string> paths{"/a b/#c?d%e", "/\xff\xfe/\xc3\xa9", "/plain/path.zip"};
    EXPECT_EQ(urilist::localPathsFromUriList(urilist::uriListFromLocalPaths(paths)), paths);
}

TEST(SystemLog, WritesOneLineWithTimeProgramAndProcess) {
    const std::string line = SystemLog::formatLine("quorvane-updater", 4242, 0, "process error: two\nlines");
    EXPECT_TRUE(std::regex_match(line, std::regex("[A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d "
                                                  "quorvane-updater\\[4242\\]: process error: two lines\n")))
        << line;
}

TEST(Bundle, FindsResourcesByNameAndType) {
    TemporaryFolder folder;
    folder.writeFile("Zell.icns", "icon");
    folder.makeFolder("Zell_bad.icns");
    Bundle bundle(folder.path());
    EXPECT_EQ(bundle.pathForResource("Zell", "icns"), folder / "Zell.icns");
    EXPECT_FALSE(bundle.pathForResource("Zell_bad", "icns")) << "a folder is no resource";
    EXPECT_FALSE(bundle.pathForResource("Missing", "icns"));
    EXPECT_FALSE(Bundle("").pathForResource("Zell", "icns"));
}

} // namespace
} // namespace quorvane::test

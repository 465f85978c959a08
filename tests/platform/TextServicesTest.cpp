#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/UriList.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

TEST(PathUtilities, TakesPathsApartAndTellsWhatIsInsideAFolder) {
    // path, last component, parent, extension
    // clang-format off
    const char* const cases[][4] = {
        {"/a/b/c.zip", "c.zip", "/a/b", "zip"}, {"/a/b/", "b", "/a", ""},   {"/a", "a", "/", ""},
        {"/", "/", "/", ""},                     {"a", "a", "", ""},          {"", "", "", ""},
        {"/x/.zip", ".zip", "/x", ""},           {"/x/y.ZIP", "y.ZIP", "/x", "ZIP"},
        {"/x/a.b/c", "c", "/x/a.b", ""},         {"/x/t.tar.gz", "t.tar.gz", "/x", "gz"},
        {"/x/end.", "end.", "/x", ""}};
    // clang-format on
    for (const auto& [path, last, parent, extension] : cases) {
        EXPECT_EQ(path::lastPathComponent(path), last) << path;
        EXPECT_EQ(path::stringByDeletingLastPathComponent(path), parent) << path;
        EXPECT_EQ(path::pathExtension(path), extension) << path;
    }
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
}

} // namespace
} // namespace quorvane::test

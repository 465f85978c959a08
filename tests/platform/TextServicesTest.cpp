#include "platform/PathUtilities.h"
#include "platform/UriList.h"

#include <map>

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
        EXPECT_EQ(path::fileName(path), last) << path;
        EXPECT_EQ(path::parent(path), parent) << path;
        EXPECT_EQ(path::extension(path), extension) << path;
    }
    EXPECT_TRUE(path::isInsideFolder("/a/b", "/a/b/c"));
    EXPECT_TRUE(path::isInsideFolder("/a/b/", "/a/b/c/d"));
    EXPECT_TRUE(path::isInsideFolder("/", "/a"));
    EXPECT_FALSE(path::isInsideFolder("/a/b", "/a/bc"));
    EXPECT_FALSE(path::isInsideFolder("/a/b", "/a/b"));
    EXPECT_FALSE(path::isInsideFolder("", "/a"));
}

// The clipboard as real file managers fill it: pcmanfm ends both its forms with a NUL byte, which once
// made every path refused; Thunar has none; a terminal or "Copy Location" gives plain text.
TEST(UriList, ReadsTheClipboardOfFileManagersAndTerminals) {
    using Formats = std::map<std::string, std::string>;
    const std::string nul(1, '\0');
    const std::vector<std::string> both{"/home/me/A pack.zip", "/home/me/B\xe9"};
    const std::string uris = "file:///home/me/A%20pack.zip\r\nfile:///home/me/B%E9\r\n";
    const struct {
        const char* name;
        Formats formats;
        std::vector<std::string> paths;
    } cases[] = {
        {"pcmanfm", {{"x-special/gnome-copied-files", "copy\n" + uris + nul}, {"text/uri-list", uris + nul}}, both},
        {"pcmanfm list", {{"text/uri-list", uris + nul}}, both},
        {"thunar", {{"x-special/gnome-copied-files", "cut\n" + uris}}, both},
        {"terminal", {{"text/plain", "'/home/me/A pack.zip'\n"}}, {"/home/me/A pack.zip"}},
        {"location", {{"text/plain;charset=utf-8", "file:///home/me/B%E9"}}, {"/home/me/B\xe9"}},
        {"words", {{"text/plain", "/home/me/x\nnot a path"}}, {}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases) {
        const auto data = [&](const char* format) {
            const auto found = c.formats.find(format);
            return found == c.formats.end() ? std::string() : found->second;
        };
        EXPECT_EQ(urilist::localPathsFromClipboard(data), c.paths) << c.name;
    }
}

} // namespace
} // namespace quorvane::test

#include "platform/Localizer.h"
#include "platform/PathUtilities.h"
#include "platform/UriList.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <gtest/gtest.h>
#include <map>

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

// The English table as lrelease made it, built in and chosen for a language without a table of its own:
// "1 file added" while the code keeps its English keys, each line in the form its own number calls for.
TEST(Localizer, GivesThePluralFormsOfTheBuiltInEnglishTable) {
    QTranslator translator;
    ASSERT_TRUE(Localizer::loadTranslation(translator, QLocale(QLocale::Icelandic)));
    QCoreApplication::installTranslator(&translator);
    const Localizer localizer;
    EXPECT_EQ(localizer.message("%d files added\n%d previous files backed up\n%d duplicate files ignored.",
                                {1, 2, 1}),
              "1 file added\n2 previous files backed up\n1 duplicate file ignored.");
    EXPECT_EQ(localizer.message("\n%d files could not be installed.", {1}),
              "\n1 file could not be installed.");
    EXPECT_EQ(
        localizer.message("%d items are waiting (%@): choose an installation and press Return.", {1, "a"}),
        "1 item is waiting (a): choose an installation and press Return.");
    QCoreApplication::removeTranslator(&translator);
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
        {"pcmanfm", {{"x-special/gnome-copied-files", "copy\n" + uris + nul}}, both},
        {"pcmanfm's list", {{"text/uri-list", uris + nul}}, both},
        {"pcmanfm, one file",
         {{"x-special/gnome-copied-files", "copy\nfile:///home/me/B%E9" + nul}},
         {both[1]}},
        {"thunar", {{"x-special/gnome-copied-files", "cut\n" + uris}}, both},
        {"terminal", {{"text/plain", "'/home/me/A pack.zip'\n"}}, {"/home/me/A pack.zip"}},
        {"location", {{"text/plain;charset=utf-8", "file:///home/me/B%E9"}}, {"/home/me/B\xe9"}},
        {"words", {{"text/plain", "/home/me/x\nnot a path"}}, {}},
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

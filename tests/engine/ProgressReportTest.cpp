#include "support/EventLoopWait.h"
#include "support/RunHarness.h"
#include "support/ZipBuilder.h"

#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

TEST(ProgressReport, TheRunEndsWithAnEmptyBarAndTheReport) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/Art/old.png", "old");
    harness.folder.writeFile("drop/Art/old.png", "changed");
    harness.folder.writeFile("drop/Art/a.png", "a");
    harness.folder.writeFile("drop/Art/b.png", "b");
    const UpdateRun& run = harness.runUpdate(installation, Paths{harness.folder / "drop/Art"});

    const RunHarness::Progress& last = harness.progress.back();
    EXPECT_EQ(last.status, "Installing:");
    EXPECT_EQ(last.file, "Complete");
    EXPECT_EQ(last.value, 0);
    ASSERT_EQ(harness.reports.size(), 1u);
    EXPECT_EQ(harness.reportTitle(), "Application files updated successfully");
    EXPECT_EQ(harness.reportMessage(),
              "3 files added\n1 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(run.numFilesInstalled(), 3) << "the counts stay after the report";
}

// Every entry counted on the bar is advanced once, whatever becomes of it, so the bar fills steadily and
// is full exactly when the run ends; only then is it emptied.
TEST(ProgressReport, TheBarNeverGoesBackNorPastItsMaximumAndEndsFull) {
    struct Case {
        const char* name;
        std::function<Paths(TemporaryFolder&)> drop; // makes the dropped items
    };
    const Case cases[] = {
        {"a wrapper with new, replaced, identical and failing items, and a file that lines up nowhere",
         [](TemporaryFolder& folder) {
             folder.writeFile("home/game/Art/old.png", "old");
             folder.writeFile("home/game/Art/same.png", "same");
             folder.writeFile("drop/wrapper/Art/old.png", "changed");
             folder.writeFile("drop/wrapper/Art/same.png", "same");
             folder.writeFile("drop/wrapper/Art/Maps/m1.map", "m1");
             folder.writeFile("drop/wrapper/Text", "a file where the installation has a folder");
             folder.writeFile("drop/wrapper/readme.txt", "r");
             ::symlink("/etc/passwd", (folder / "drop/wrapper/Art/link").c_str());
             ::symlink("/etc/passwd", (folder / "drop/wrapper/Art/Maps/link").c_str());
             return Paths{folder / "drop/wrapper", folder.writeFile("drop/loose.txt", "l")};
         }},
        {"a tree in which nothing lines up, dropped twice",
         [](TemporaryFolder& folder) {
             folder.writeFile("drop/tree/a/b/c.txt", "c");
             folder.writeFile("drop/tree/d.txt", "d");
             ::symlink((folder / "drop/tree").c_str(), (folder / "drop/again").c_str());
             return Paths{folder / "drop/tree", folder / "drop/again"};
         }},
        {"an archive made by jar, with an entry its listing names without a folder",
         [](TemporaryFolder& folder) {
             for (int i = 0; i < 20; ++i) {
                 folder.writeFile("made/Art/" + std::to_string(i) + ".png", std::string(500, 'a'));
             }
             folder.writeFile("made/readme.txt", "r");
             const std::string archive = folder / "drop/made.zip";
             folder.makeFolder("drop");
             const std::string made = " -C '" + folder / "made" + "' ";
             EXPECT_EQ(std::system(("jar --create --no-manifest --file '" + archive + "'" + made + "Art" +
                                    made + "readme.txt")
                                       .c_str()),
                       0);
             return Paths{archive};
         }},
        {"a damaged archive beside one whose folders are only implied",
         [](TemporaryFolder& folder) {
             std::string damaged =
                 ZipBuilder().add("Art/a.png", std::string(100, 'a')).add("Art/b.png", "b").bytes();
             damaged[damaged.find("aaaa")] = 'X';
             return Paths{folder.writeFile("drop/damaged.zip", damaged),
                          ZipBuilder().add("Art/x/y/z.png", "z").writeTo(folder / "drop/implied.zip")};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunHarness harness;
        const std::string installation = harness.folder.makeInstallation("home/game");
        harness.runUpdate(installation, c.drop(harness.folder));
        ASSERT_TRUE(waitUntil([&] { return harness.reported(); }));

        const std::vector<RunHarness::Progress>& shown = harness.progress;
        ASSERT_GE(shown.size(), 2u);
        for (std::size_t i = 0; i + 1 < shown.size(); ++i) {
            SCOPED_TRACE(shown[i].status + " " + shown[i].file);
            EXPECT_FALSE(shown[i].file.empty());
            EXPECT_LE(shown[i].value, shown[i].maxValue);
            EXPECT_GE(shown[i].value, i > 0 ? shown[i - 1].value : 0);
        }
        const RunHarness::Progress& full = shown[shown.size() - 2];
        EXPECT_GT(full.maxValue, 0);
        EXPECT_EQ(full.value, full.maxValue) << "the last status before the end shows a full bar";
        EXPECT_EQ(shown.back().file, "Complete");
        EXPECT_EQ(shown.back().value, 0);
    }
}

TEST(ProgressReport, NamesAreShownLiterally) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("drop/Art/<i>x<\\i> %@%d", "x");
    harness.runUpdate(installation, Paths{harness.folder / "drop/Art"});
    EXPECT_EQ(readFile(installation + "/Art/<i>x<\\i> %@%d"), "x");
    Paths shown;
    for (const RunHarness::Progress& progress : harness.progress) {
        shown.push_back(progress.file);
    }
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(Paths(shown.end() - 2, shown.end()), (Paths{"Art/<i>x<\\i> %@%d", "Complete"}));
}

} // namespace
} // namespace quorvane::test

#include "support/RunHarness.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(last.maxValue, 3) << "the entries beneath the dropped folder";
    ASSERT_EQ(harness.reports.size(), 1u);
    EXPECT_EQ(harness.reportTitle(), "Application files updated successfully");
    EXPECT_EQ(harness.reportMessage(), "3 files added\n1 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(run.numFilesInstalled(), 3) << "the counts stay after the report";
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
    EXPECT_EQ(shown, (Paths{"Art/<i>x<\\i> %@%d", "Complete"}));
}

} // namespace
} // namespace quorvane::test

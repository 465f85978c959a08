#include "support/UpdateRun.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

TEST(ProgressReport, TheRunEndsWithAnEmptyBarAndTheReport) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/Art/old.png", "old");
    harness.folder.writeFile("drop/Art/old.png", "changed");
    harness.folder.writeFile("drop/Art/a.png", "a");
    harness.folder.writeFile("drop/Art/b.png", "b");
    runUpdate(harness, installation, Paths{harness.folder / "drop/Art"});

    EXPECT_EQ(harness.fileLabel.shown, "Installing:");
    EXPECT_EQ(harness.file.shown, "Complete");
    EXPECT_EQ(harness.progress.value, 0);
    EXPECT_EQ(harness.progress.max, 3) << "the entries beneath the dropped folder";
    EXPECT_FALSE(harness.cancelButton.enabled);
    EXPECT_EQ(harness.sheetTitle(), "Application files updated successfully");
    EXPECT_EQ(harness.sheetMessage(), "3 files added\n1 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(harness.window.sheets.back().defaultButton, "OK");
    EXPECT_FALSE(harness.window.sheets.back().alternateButton);
    EXPECT_FALSE(harness.installer().updateFiles());
    EXPECT_EQ(harness.installer().numFilesInstalled(), 3) << "the counts stay until the next confirmation";
}

TEST(ProgressReport, TheCancelButtonIsEnabledForTheRunAndDoesNothing) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("drop/Art/a.png", "a");
    harness.installer().setTargetPath(installation);
    harness.installer().setUpdateFiles(Paths{harness.folder / "drop/Art"});
    harness.installer().cancelInstall();
    EXPECT_FALSE(harness.cancelButton.enabled);
    harness.peer().dragConfirmed(NSAlertDefaultReturn);
    EXPECT_EQ(readFile(installation + "/Art/a.png"), "a");
}

TEST(ProgressReport, RedrawsAreSpacedOutButTheLastStatusIsAlwaysShown) {
    InstallerHarness harness;
    auto peer = harness.peer();
    peer.updateInstallStatus("Installing:", "Art/1.png");
    EXPECT_EQ(harness.file.shown, "Art/1.png") << "the first status is drawn at once";
    const int first = harness.file.redraws;
    for (int i = 2; i <= 100; ++i) {
        peer.updateInstallStatus("Installing:", "Art/" + std::to_string(i) + ".png");
    }
    EXPECT_EQ(harness.file.redraws, first) << "the clock stood still: no further redraw";
    EXPECT_EQ(harness.file.value, "Art/100.png");
    harness.clock.advance(std::chrono::milliseconds(20));
    peer.updateInstallStatus("Installing:", "Art/101.png");
    EXPECT_EQ(harness.file.shown, "Art/101.png");
}

TEST(ProgressReport, NamesAreShownLiterally) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("drop/Art/<i>x<\\i> %@%d", "x");
    harness.installer().setTargetPath(installation);
    harness.installer().setUpdateFiles(Paths{harness.folder / "drop/Art"});
    harness.peer().dragConfirmed(NSAlertDefaultReturn);
    EXPECT_EQ(readFile(installation + "/Art/<i>x<\\i> %@%d"), "x");
    EXPECT_EQ(harness.file.history, (Paths{"Art/<i>x<\\i> %@%d", "Complete"}));
}

} // namespace
} // namespace quorvane::test

#include "platform/UserDefaults.h"
#include "support/EventLoopWait.h"
#include "support/FakeDraggingInfo.h"
#include "support/InstallerHarness.h"
#include "support/PausingFileManager.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

TEST(Timestamp, IsTheLocalDateAndTimeInFifteenCharacters) {
    InstallerHarness harness;
    EXPECT_EQ(harness.peer().dateTimeComponent(), "20070102_090503");
    harness.clock.advance(std::chrono::hours(24 * 365) + std::chrono::hours(14) + std::chrono::seconds(56));
    EXPECT_EQ(harness.peer().dateTimeComponent(), "20080102_230559");
}

TEST(Accessors, MissingIconsAreLookedUpAgainOnEveryRead) {
    InstallerHarness::Options options;
    options.withIcons = false;
    InstallerHarness harness(options);
    EXPECT_EQ(harness.installer().goodFolderIcon(), nullptr);
    EXPECT_EQ(harness.installer().badFolderIcon(), nullptr);
    harness.folder.writeFile("resources/Zell.icns", "icon");
    ASSERT_NE(harness.installer().goodFolderIcon(), nullptr);
    EXPECT_EQ(harness.installer().goodFolderIcon(), harness.installer().goodFolderIcon());
    EXPECT_EQ(harness.imageLoader.loads, 1) << "loaded once, then held";
    EXPECT_EQ(harness.installer().badFolderIcon(), nullptr);
}

TEST(StartUp, ConfiguresTheWindowAndTheTable) {
    InstallerHarness harness;
    UserDefaults(harness.folder / "preferences.ini").setObject(Paths{}, "Target_Path_Array");
    harness.installer().awakeFromNib();

    EXPECT_EQ(harness.window.frameAutosaveName, harness.window.windowTitle);
    EXPECT_EQ(harness.table.draggedTypes, Paths{"text/uri-list"});
    ASSERT_TRUE(harness.table.columns["icon"]->dataCell);
    EXPECT_EQ(harness.table.columns["icon"]->dataCell->imageAlignment, ImageAlignment::NSImageAlignCenter);
    EXPECT_EQ(harness.table.columns["icon"]->dataCell->imageScaling, ImageScaling::NSScaleProportionally);
    EXPECT_FALSE(harness.table.columns["pathDescription"]->dataCell);
    EXPECT_EQ(harness.table.reloads, 1);
    EXPECT_EQ(harness.window.timesOrderedFront, 1);
    EXPECT_FALSE(harness.installer().updateRun());
}

TEST(StartUp, RunsWithoutAnyControlConnected) {
    InstallerHarness::Options options;
    options.connectOutlets = false;
    InstallerHarness harness(options);
    const std::string game = harness.folder.makeInstallation("home/game");
    UserDefaults(harness.folder / "preferences.ini").setObject(Paths{game}, "Target_Path_Array");
    harness.installer().awakeFromNib();
    EXPECT_EQ(harness.rowPaths(), Paths{game});
    EXPECT_EQ(harness.window.timesOrderedFront, 0);
}

// The window follows an update run: the Cancel button is enabled while it lasts, no drop is taken, and at
// its end the labels, the bar and a sheet show what the run reports.
TEST(ProgressDisplay, TheCancelButtonIsEnabledForTheRunAndTheEndIsShown) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive =
        ZipBuilder().add("Art/a.png", "a").writeTo(harness.folder.makeFolder("drop") + "/a.zip");
    harness.installer().setTargetPath(installation);
    harness.installer().setUpdateFiles(Paths{archive});
    harness.peer().dragConfirmed(NSAlertDefaultReturn);
    EXPECT_TRUE(harness.cancelButton.enabled);
    EXPECT_TRUE(harness.installer().updateInProgress());
    EXPECT_EQ(harness.installer().validateDrop(harness.table, FakeDraggingInfo(Paths{archive}), 0,
                                               TableViewDropOperation::NSTableViewDropOn),
              DragOperation::NSDragOperationNone)
        << "no drop while an update runs";
    ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); }));

    EXPECT_EQ(readFile(installation + "/Art/a.png"), "a");
    EXPECT_FALSE(harness.installer().updateInProgress());
    EXPECT_FALSE(harness.cancelButton.enabled);
    EXPECT_EQ(harness.fileLabel.shown, "Installing:");
    EXPECT_EQ(harness.file.shown, "Complete");
    EXPECT_EQ(harness.progress.value, 0);
    EXPECT_EQ(harness.progress.max, harness.installer().updateRun()->progressMaxValue());
    EXPECT_EQ(harness.sheetTitle(), "Application files updated successfully");
    EXPECT_EQ(harness.window.sheets.back().defaultButton, "OK");
    EXPECT_FALSE(harness.window.sheets.back().alternateButton);
    EXPECT_FALSE(harness.installer().updateFiles());
    EXPECT_EQ(harness.installer().updateRun()->numFilesInstalled(), 1) << "the counts stay until the next run";
}

// Stopping a run from the window: Cancel, with Put Back on its report; and closing the window, which asks
// first and closes once the run has stopped.
TEST(ProgressDisplay, CancelOffersPutBackAndClosingAsksFirst) {
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "closing the window" : "Cancel, then Put Back");
        PausingFileManager fileManager(2);
        InstallerHarness::Options options;
        options.fileManager = &fileManager;
        InstallerHarness harness(options);
        const std::string installation = harness.folder.makeInstallation("home/game");
        UserDefaults(harness.folder / "preferences.ini").setObject(Paths{installation}, "Target_Path_Array");
        harness.installer().awakeFromNib(); // the window asks the controller before it closes
        const std::string before = treeListing(installation);
        for (int i = 0; i < 4; ++i) {
            harness.folder.writeFile("drop/Art/" + std::to_string(i) + ".png", "n");
        }
        harness.installer().setTargetPath(installation);
        harness.installer().setUpdateFiles(Paths{harness.folder / "drop/Art"});
        harness.peer().dragConfirmed(NSAlertDefaultReturn);
        ASSERT_TRUE(fileManager.waitForPause());
        if (closing) {
            harness.window.performClose();
            EXPECT_FALSE(harness.window.closed);
            EXPECT_EQ(harness.sheetTitle(), "An update is running. Stop it and quit?");
            harness.window.dismissSheet(NSAlertDefaultReturn);
        } else {
            harness.installer().cancelInstall();
        }
        EXPECT_FALSE(harness.cancelButton.enabled);
        fileManager.resume();
        ASSERT_TRUE(waitUntil([&] { return !harness.installer().updateInProgress(); }));
        if (closing) {
            EXPECT_TRUE(harness.window.closed);
            EXPECT_TRUE(harness.window.sheets.empty()) << "no report: the window goes";
            continue;
        }
        EXPECT_EQ(harness.sheetTitle(), "Update cancelled");
        EXPECT_EQ(harness.window.sheets.back().alternateButton, "Put Back");
        harness.window.dismissSheet(NSAlertAlternateReturn);
        ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); }));
        EXPECT_EQ(harness.sheetTitle(), "The update was undone");
        EXPECT_EQ(treeListing(installation), before);
    }
}

TEST(ProgressDisplay, RedrawsAreSpacedOutButTheLastStatusIsAlwaysShown) {
    InstallerHarness harness;
    MyInstaller& installer = harness.installer();
    installer.updateRunProgressed("Installing:", "Art/1.png", 1, 100);
    EXPECT_EQ(harness.file.shown, "Art/1.png") << "the first status is drawn at once";
    const int first = harness.file.redraws;
    for (int i = 2; i <= 100; ++i) {
        installer.updateRunProgressed("Installing:", "Art/" + std::to_string(i) + ".png", i, 100);
    }
    EXPECT_EQ(harness.file.redraws, first) << "the clock stood still: no further redraw";
    EXPECT_EQ(harness.file.value, "Art/100.png");
    harness.clock.advance(std::chrono::milliseconds(20));
    installer.updateRunProgressed("Installing:", "Art/101.png", 101, 100);
    EXPECT_EQ(harness.file.shown, "Art/101.png");
}

} // namespace
} // namespace quorvane::test

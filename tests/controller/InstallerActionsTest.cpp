#include "platform/UserDefaults.h"
#include "support/EventLoopWait.h"
#include "support/FakeDraggingInfo.h"
#include "support/InstallerHarness.h"
#include "support/PausingFileManager.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// Every action against every state of the selected row and of the window: each is refused where a drop
// onto the row would be, and then does nothing.
TEST(MenuActions, AreRefusedWhereADropWouldBe) {
    enum class State { idle, sheetOpen, running };
    struct Case {
        const char* name;
        int row;
        State state;
        bool install, add, remove, show, undo;
    };
    const Case cases[] = {
        {"valid row", 0, State::idle, true, true, true, true, true},
        {"damaged row", 1, State::idle, false, true, true, true, false},
        {"no row", -1, State::idle, false, true, false, false, false},
        {"confirmation open", 0, State::sheetOpen, false, false, false, true, false},
        {"run under way", 0, State::running, false, false, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PausingFileManager fileManager(1);
        InstallerHarness::Options options;
        options.fileManager = &fileManager;
        InstallerHarness harness(options);
        const std::string valid = harness.folder.makeInstallation("home/valid");
        const std::string damaged = harness.folder.makeInstallation("home/damaged", "1.0");
        harness.list()._addApplications(Paths{valid, damaged}, true);
        harness.folder.writeFile("drop/Art/a.png", "a");
        harness.folder.writeFile("drop/Art/b.png", "b");
        const std::string addon = harness.folder / "drop/Art";
        const std::string other = harness.folder.makeInstallation("home/other");
        harness.table.selectedRows.clear(); // the first row, which the list selected when it filled
        if (c.row >= 0) {
            harness.table.selectRow(c.row, false);
        }
        if (c.state != State::idle) {
            ASSERT_TRUE(harness.installer().installItems(Paths{addon}));
        }
        if (c.state == State::running) {
            harness.window.dismissSheet(NSAlertDefaultReturn);
            ASSERT_TRUE(fileManager.waitForPause());
        }
        const std::size_t sheets = harness.window.sheets.size();

        MyInstaller& installer = harness.installer();
        EXPECT_EQ(installer.actionEnabled(UserAction::installItems), c.install);
        EXPECT_EQ(installer.actionEnabled(UserAction::addInstallation), c.add);
        EXPECT_EQ(installer.actionEnabled(UserAction::removeFromList), c.remove);
        EXPECT_EQ(installer.actionEnabled(UserAction::showInFileManager), c.show);
        EXPECT_EQ(installer.actionEnabled(UserAction::undoLastUpdate), c.undo);
        if (c.row >= 0) {
            EXPECT_EQ(installer.validateDrop(harness.table, FakeDraggingInfo(Paths{addon}), c.row,
                                             TableViewDropOperation::NSTableViewDropOn) !=
                          DragOperation::NSDragOperationNone,
                      c.install)
                << "the menu follows the drop";
        }

        EXPECT_EQ(installer.installItems(Paths{addon}), c.install);
        EXPECT_EQ(harness.window.sheets.size(), sheets + (c.install ? 1 : 0));
        if (c.install) {
            const AlertSheet menuSheet = harness.window.sheets.back();
            harness.window.dismissSheet(NSAlertAlternateReturn);
            ASSERT_TRUE(installer.acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), c.row,
                                             TableViewDropOperation::NSTableViewDropOn));
            EXPECT_EQ(menuSheet.title + menuSheet.message, harness.sheetTitle() + harness.sheetMessage())
                << "the sheet a drop onto the row opens";
            harness.window.dismissSheet(NSAlertAlternateReturn);
        }
        const auto selected = harness.table.selectedRows;
        EXPECT_EQ(installer.addInstallation(other), c.add);
        harness.table.selectedRows = selected; // the added row was selected: back to the case's row
        installer.removeSelectedInstallation();
        installer.undoLastUpdate();
        EXPECT_EQ(harness.window.sheets.size(), sheets + (c.remove ? 1 : 0) + (c.undo && !c.remove ? 1 : 0))
            << "remove asks first; undo only when no other sheet is open";
        installer.showSelectedInFileManager();
        EXPECT_EQ(harness.openedFolders().size(), c.show ? 1U : 0U);

        if (c.state == State::running) {
            fileManager.resume();
            ASSERT_TRUE(waitUntil([&] { return !harness.installer().updateInProgress(); }));
        }
    }
}

// The actions' effects: an installation added as a drop into a gap adds it and is selected, one removed from the list and
// from the preferences with its folder kept, the selected folder and a run's backup folder shown.
TEST(MenuActions, AddRemoveAndShowWorkOnTheListAndTheFolders) {
    InstallerHarness harness;
    const std::string first = harness.folder.makeInstallation("home/first");
    const std::string second = harness.folder.makeInstallation("home/second");
    harness.folder.writeFile("home/first/Art/a.png", "old");
    harness.folder.writeFile("drop/Art/a.png", "new");
    const std::string addon = harness.folder / "drop/Art";
    MyInstaller& installer = harness.installer();

    EXPECT_TRUE(installer.addInstallation(first));
    EXPECT_TRUE(installer.addInstallation(second));
    EXPECT_EQ(harness.table.selectedRow(), 1) << "the added row is selected";
    EXPECT_FALSE(installer.addInstallation(harness.folder.makeFolder("home/nothing"))) << "no installation";
    EXPECT_EQ(harness.rowPaths(), (Paths{first, second}));

    harness.table.selectRow(1, false);
    installer.removeSelectedInstallation();
    EXPECT_EQ(harness.sheetTitle(), "Remove " + second + " from the list?");
    EXPECT_EQ(harness.sheetMessage(), "The folder itself is not touched.");
    EXPECT_EQ(harness.window.sheets.back().defaultButton, "Remove");
    harness.window.dismissSheet(NSAlertAlternateReturn);
    EXPECT_EQ(harness.rowPaths(), (Paths{first, second})) << "Cancel keeps it";
    installer.removeSelectedInstallation();
    harness.window.dismissSheet(NSAlertDefaultReturn);
    EXPECT_EQ(harness.rowPaths(), Paths{first});
    EXPECT_EQ(harness.table.selectedRow(), 0) << "the row left is selected";
    EXPECT_EQ(UserDefaults(harness.folder / "preferences.ini").stringArrayForKey("Target_Path_Array"), Paths{first});
    EXPECT_TRUE(exists(second)) << "the folder itself stays";

    harness.table.selectRow(0, false);
    installer.showSelectedInFileManager();
    EXPECT_EQ(harness.openedFolders(), Paths{first});

    ASSERT_TRUE(installer.installItems(Paths{addon}));
    harness.confirm();
    ASSERT_TRUE(installer.updateRun()->record().backupFolder());
    EXPECT_EQ(harness.window.sheets.back().alternateButton, "Show Backup Folder");
    harness.window.dismissSheet(NSAlertAlternateReturn);
    EXPECT_EQ(harness.openedFolders(), (Paths{first, *installer.updateRun()->record().backupFolder()}));
}

// Undo goes back one run at a time, newest first, from the records kept of the runs.
TEST(MenuActions, UndoLastUpdateGoesBackRunByRun) {
    InstallerHarness harness;
    const std::string game = harness.folder.makeInstallation("home/game");
    harness.list()._addApplications(Paths{game}, true);
    harness.table.selectRow(0, false);
    MyInstaller& installer = harness.installer();
    const auto run = [&](const std::string& folder) {
        harness.clock.advance(std::chrono::minutes(1));
        ASSERT_TRUE(installer.installItems(Paths{harness.folder / folder}));
        harness.confirm();
        harness.window.dismissSheet(NSAlertDefaultReturn); // the report
    };
    const auto undo = [&] {
        installer.undoLastUpdate();
        const std::string title = harness.sheetTitle();
        const std::string message = harness.sheetMessage();
        if (title == "Undo the update of " + game + "?") {
            harness.window.dismissSheet(NSAlertDefaultReturn);
            EXPECT_FALSE(installer.actionEnabled(UserAction::installItems)) << "nothing is taken during an undo";
            EXPECT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); }));
            EXPECT_EQ(harness.sheetTitle(), "The update was undone");
            harness.window.dismissSheet(NSAlertDefaultReturn);
        } else {
            harness.window.dismissSheet(NSAlertDefaultReturn);
        }
        return title + "|" + message;
    };

    EXPECT_EQ(undo(), "There is no update to undo|No update of " + game + " is left to undo.");
    harness.folder.writeFile("one/Art/a.png", "first");
    run("one/Art");
    harness.folder.writeFile("two/Art/a.png", "second");
    harness.folder.writeFile("two/Art/b.png", "b");
    run("two/Art");
    ASSERT_EQ(readFile(game + "/Art/a.png"), "second");

    EXPECT_EQ(undo(), "Undo the update of " + game + "?|The update of 2007-01-02 09:07 added 1 items and "
                      "replaced 1. The added items are removed and the replaced ones put back from the "
                      "backup; an item changed since is left alone.");
    EXPECT_EQ(readFile(game + "/Art/a.png"), "first");
    EXPECT_FALSE(exists(game + "/Art/b.png"));
    EXPECT_NE(undo().find("The update of 2007-01-02 09:06 added 1 items and replaced 0."), std::string::npos);
    EXPECT_FALSE(exists(game + "/Art/a.png"));
    EXPECT_EQ(undo().substr(0, 26), "There is no update to undo");
}

// Items the program was started with: with one valid installation its confirmation opens at once; with
// several they wait, said above the table, until Return on a row; confirmed, they wait no more.
TEST(MenuActions, WaitingItemsGoIntoTheOnlyInstallationOrTheRowChosen) {
    for (const int validCount : {1, 2}) {
        SCOPED_TRACE(validCount);
        InstallerHarness harness;
        FakeTextField waitingLine;
        harness.installer().setWaitingLine(&waitingLine);
        Paths rows{harness.folder.makeInstallation("home/damaged", "1.0")};
        for (int i = 0; i < validCount; ++i) {
            rows.push_back(harness.folder.makeInstallation("home/valid" + std::to_string(i)));
        }
        harness.list()._addApplications(rows, true);
        const Paths items{harness.folder.writeFile("drop/a.zip", "zip"), harness.folder.writeFile("drop/b", "b")};

        harness.installer().offerWaitingItems(items);
        if (validCount == 2) {
            EXPECT_TRUE(harness.window.sheets.empty());
            EXPECT_EQ(waitingLine.value, "2 items are waiting: choose an installation and press Return.");
            harness.table.selectRow(1, false);
            harness.installer().activateSelectedRow();
        }
        ASSERT_EQ(harness.window.sheets.size(), 1U);
        EXPECT_EQ(harness.installer().targetPath(), harness.rowPaths()[validCount - 1]) << "the only valid one, or the one chosen";
        harness.window.dismissSheet(NSAlertAlternateReturn);
        EXPECT_EQ(harness.installer().waitingItems(), items) << "Cancel: they still wait";
        harness.installer().activateSelectedRow();
        harness.confirm();
        EXPECT_TRUE(harness.installer().waitingItems().empty());
        EXPECT_EQ(waitingLine.value, "");
    }
}

} // namespace
} // namespace quorvane::test

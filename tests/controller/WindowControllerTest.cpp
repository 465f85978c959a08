// The window's controller: the rows it shows at start, the window's growth, the menu actions on the
// selected row, and the items the program was started with.
#include "Listed.h"
#include "support/LocateStandIn.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

// Which of install, add, remove, show and undo the menu offers now, a dash for each refused.
std::string actions(WindowHarness& h) {
    std::string offered;
    for (const auto& [action, letter] : {std::pair{UserAction::installItems, 'i'},
                                         {UserAction::addInstallation, 'a'},
                                         {UserAction::removeFromList, 'r'},
                                         {UserAction::showInFileManager, 's'},
                                         {UserAction::undoLastUpdate, 'u'}}) {
        offered += h.controller().actionEnabled(action) ? letter : '-';
    }
    return offered;
}

// The rows as the table shows them: each row's description and whether it has a status.
std::string rows(WindowHarness& h) {
    const QAbstractItemModel& model = h.controller().model();
    std::string shown;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex description = model.index(row, InstallationListModel::DescriptionColumn);
        shown += (row > 0 ? "|" : "") + description.data().toString().toStdString() +
                 (model.index(row, 0).data(InstallationListModel::StatusRole).isValid() ? "*" : "");
    }
    return shown;
}

TEST(WindowController, StartsFromTheSavedListOrSearchesAndAlwaysSaysWhatTheRowsAre) {
    const std::string sorry =
        "Sorry. Cannot find Quorvane version 1.29.\nDrag an installation's folder here, or "
        "use File \u25b8 Add Installation\u2026";
    TemporaryFolder tools;
    const std::string valid = tools.makeInstallation("valid"),
                      damaged = tools.makeInstallation("damaged", "");
    const struct {
        const char* start;
        std::optional<Paths> saved;
        std::string locateOutput;
        std::string searching, listed;
    } cases[] = {
        {"first start", std::nullopt, damaged + "/Quorvane\n" + valid + "/Quorvane\n",
         "Looking for your Quorvane installation. Please wait ...",
         valid + "\n*|" + damaged + "\nNot version 1.29.*"},
        {"saved list empty", Paths{}, "", sorry, sorry},
        {"saved list", Paths{damaged, valid}, "", valid + "\n*|" + damaged + "\nNot version 1.29.*",
         valid + "\n*|" + damaged + "\nNot version 1.29.*"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        WindowHarness::Options options;
        options.locatePath = writeLocateStandIn(tools, "locate", c.locateOutput);
        options.saved = c.saved;
        WindowHarness h(options);
        QAbstractItemModelTester tester(&h.controller().model(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        h.controller().start();
        EXPECT_EQ(rows(h), c.searching);
        ASSERT_TRUE(waitUntil([&] { return !h.list().searching(); }));
        EXPECT_EQ(rows(h), c.listed);
        EXPECT_EQ(h.view.selected, h.list().installations().empty() ? -1 : 0) << "the first installation";
    }
}

TEST(WindowController, WindowGrowsOnlyByTheMissingWholePoints) {
    // One or two rows never grow it; rows need their height + 2; the table height is truncated first.
    const struct {
        int rows;
        float tableHeight, rowHeight, growth;
    } cases[] = {{2, 10, 34, 0}, {3, 100, 34, 8}, {3, 108, 34, 0}, {3, 100.9f, 34, 8}, {4, 100, 34.5f, 46}};
    for (const auto& c : cases) {
        WindowHarness h;
        h.view.rowsHeight = c.tableHeight, h.view.oneRowHeight = c.rowHeight;
        Paths games;
        for (int i = 0; i < c.rows; ++i) {
            games.push_back(h.folder.makeInstallation("home/game" + std::to_string(i)));
        }
        const Rect before = h.view.frame();
        h.list().addFolders(games);
        const Rect after = h.view.frame();
        EXPECT_EQ(after.height - before.height, c.growth) << c.rows << " rows, table " << c.tableHeight;
        EXPECT_EQ(std::make_pair(after.x, after.y), std::make_pair(before.x, before.y))
            << "the bottom edge stays";
    }
}

TEST(WindowController, MenuActionsFollowTheSelectedRowAndActOnIt) {
    Listed h;
    EXPECT_EQ(actions(h), "iarsu");
    h.view.selected = 2;
    EXPECT_EQ(actions(h), "-ars-") << "a damaged row";
    h.view.selected = -1;
    EXPECT_EQ(actions(h), "-a---");

    EXPECT_TRUE(h.controller().addInstallation(h.newValid));
    EXPECT_FALSE(h.controller().addInstallation(h.folder.makeFolder("home/nothing"))) << "no installation";
    EXPECT_EQ(h.view.selected, 2) << "the added row is selected";
    h.controller().removeSelectedInstallation();
    EXPECT_EQ(h.view.sheet(), "Remove " + h.newValid + " from the list?|The folder itself is not touched.");
    EXPECT_EQ(h.view.sheets.back().okButton + "|" + actions(h), "Remove|---s-")
        << "nothing else while it asks";
    h.view.answer(SheetAnswer::cancel);
    EXPECT_EQ(h.rowPaths(), (Paths{h.valid1, h.valid2, h.newValid, h.damaged})) << "Cancel keeps it";
    h.controller().removeSelectedInstallation();
    h.view.answer(SheetAnswer::ok);
    EXPECT_EQ(h.savedList(), (Paths{h.valid1, h.valid2, h.damaged}));
    EXPECT_EQ(h.view.selected, 2) << "the row that took its place";

    h.controller().showSelectedInFileManager();
    EXPECT_EQ(h.desktop.openedFolders, Paths{h.damaged});
}

// Items handed over by a file manager wait for an installation when there is more than one to choose
// from, and go into the only one at once; once confirmed, they no longer wait.
TEST(WindowController, ItemsTheProgramWasStartedWithWaitForAnInstallation) {
    for (const bool several : {true, false}) {
        SCOPED_TRACE(several ? "several valid installations" : "one valid installation");
        Listed h;
        if (!several) {
            h.list().remove(h.valid2);
        }
        h.view.selected = 2;
        h.controller().offerWaitingItems(Paths{h.addon, h.readme});
        if (several) {
            EXPECT_EQ(h.view.waitingLine,
                      "2 items are waiting (addon, readme.txt): choose an installation and press Return.");
            EXPECT_TRUE(h.view.sheets.empty());
            EXPECT_TRUE(h.controller().activateSelectedRow()) << "the damaged row takes none, and says why";
            EXPECT_EQ(h.view.sheet(), "Nothing can be installed in " + h.damaged + "|Not version 1.29.");
            h.view.answer(SheetAnswer::ok);
            h.view.selected = 1;
            EXPECT_TRUE(h.controller().activateSelectedRow());
        }
        h.waitForPlan();
        EXPECT_TRUE(
            h.view.sheet().starts_with("Are you sure you want to update Quorvane?|Click OK to update " +
                                       (several ? h.valid2 : h.valid1) + " using:\n\naddon\nreadme.txt\n\n"));
        h.confirm();
        EXPECT_EQ(h.view.waitingLine, "");
        EXPECT_FALSE(h.controller().activateSelectedRow()) << "nothing waits any more";
    }
}

// A folder that holds no installation is not listed and a sheet says why, offering the installations one
// level below it; Return on a row whose drive is not connected says why, and takes the items once it is back.
TEST(WindowController, WhatTakesNothingSaysWhy) {
    Listed h;
    const std::string games = h.folder.makeFolder("home/Games"),
                      b = h.folder.makeInstallation("home/Games/B"),
                      a = h.folder.makeInstallation("home/Games/A", ""), absent = h.folder / "drive/Quorvane";
    h.folder.makeFolder("home/Games/Saves");
    const std::string no = " is not a Quorvane installation: it has no Quorvane application.";
    const std::pair<std::string, std::string> cases[] = {
        {h.folder.makeFolder("home/plain"), "plain" + no},
        {games, "Games" + no + "\n\nIt holds installations: A, B. Add them to the list?"},
    };
    for (const auto& [folder, message] : cases) {
        EXPECT_FALSE(h.controller().addInstallation(folder));
        EXPECT_EQ(h.view.sheet(), "This folder is not an installation|" + message);
        h.view.answer(SheetAnswer::ok);
    }
    h.list().restoreSaved(Paths{absent});
    EXPECT_EQ(h.rowPaths(), (Paths{h.valid1, h.valid2, b, h.damaged, a, absent})) << "Add took A and B";

    h.controller().offerWaitingItems(Paths{h.addon});
    h.view.selected = 5;
    EXPECT_TRUE(h.controller().activateSelectedRow());
    EXPECT_EQ(h.view.sheet(),
              "Nothing can be installed in " + absent + "|Not found. Is its drive connected?");
    h.view.answer(SheetAnswer::ok);
    h.folder.makeInstallation("drive/Quorvane");
    EXPECT_TRUE(h.controller().activateSelectedRow());
    EXPECT_EQ(h.view.selected, 3) << "its row moved up among the valid ones";
    h.waitForPlan();
    EXPECT_TRUE(
        h.view.sheets.back().message.starts_with("Click OK to update " + absent + " using:\n\naddon\n"));
}

} // namespace
} // namespace quorvane::test

#include "platform/UserDefaults.h"
#include "support/EventLoopWait.h"
#include "support/FakeDraggingInfo.h"
#include "support/InstallerHarness.h"
#include "support/LocateStandIn.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

const std::string kSorryRow = "Sorry. Cannot find Quorvane version 1.29.\n"
                              "Drag an installation's folder here, or use File \u25b8 Add Installation\u2026";

std::optional<Paths> savedList(InstallerHarness& harness) {
    UserDefaults defaults(harness.folder / "preferences.ini");
    return defaults.stringArrayForKey("Target_Path_Array");
}

void savePaths(InstallerHarness& harness, const Paths& paths) {
    UserDefaults defaults(harness.folder / "preferences.ini");
    defaults.setObject(paths, "Target_Path_Array");
}

std::string descriptionOf(MyInstaller& installer, TableView& table, int row) {
    const ObjectValue value = installer.objectValueForTableColumn(table, "pathDescription", row);
    if (const auto* styled = std::get_if<AttributedString>(&value)) {
        return styled->string();
    }
    if (const auto* plain = std::get_if<std::string>(&value)) {
        return *plain;
    }
    return "<nothing>";
}

TEST(InstallationTable, RecordsWithoutIconsWhenTheArtworkIsMissing) {
    InstallerHarness::Options options;
    options.withIcons = false;
    InstallerHarness harness(options);
    const std::string game = harness.folder.makeInstallation("home/game");
    harness.list()._addApplications(Paths{game}, true);
    EXPECT_EQ(harness.list().targetPathArray()[0].icon, nullptr);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(
        harness.installer().objectValueForTableColumn(harness.table, "icon", 0)));
}

TEST(InstallationTable, AnEmptyListShowsTheSorryRowAlone) {
    InstallerHarness harness;
    MyInstaller& installer = harness.installer();
    EXPECT_EQ(installer.numberOfRowsInTableView(harness.table), 1);
    EXPECT_EQ(descriptionOf(installer, harness.table, 0), kSorryRow);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(installer.objectValueForTableColumn(harness.table, "icon", 0)));
    EXPECT_EQ(descriptionOf(installer, harness.table, 1), "<nothing>");
}

TEST(InstallationTable, WindowGrowsOnlyByTheMissingWholePoints) {
    struct Case {
        int paths;
        float tableHeight;
        float rowHeight;
        float expectedGrowth;
    };
    const Case cases[] = {
        {2, 10, 34, 0},    // one or two paths never grow the window
        {3, 100, 34, 8},   // 3 x 36 - 100
        {3, 108, 34, 0},   // exactly enough room
        {3, 100.9f, 34, 8}, // the table height is truncated first
        {4, 100, 34.5f, 46}, // 4 x 36.5 - 100
    };
    for (const Case& c : cases) {
        InstallerHarness harness;
        harness.table.tableFrame.height = c.tableHeight;
        harness.table.tableRowHeight = c.rowHeight;
        Paths paths;
        for (int i = 0; i < c.paths; ++i) {
            paths.push_back(harness.folder.makeInstallation("home/game" + std::to_string(i)));
        }
        const Rect before = harness.window.frame();
        harness.list()._addApplications(paths, true);
        const Rect after = harness.window.frame();
        EXPECT_EQ(after.height - before.height, c.expectedGrowth) << c.paths << " paths, table " << c.tableHeight;
        EXPECT_EQ(after.y, before.y) << "the bottom edge stays";
        EXPECT_EQ(after.x, before.x);
    }
}

TEST(InstallationTable, GrowthIsWeighedAlsoWhenNothingIsAdded) {
    InstallerHarness harness;
    Paths paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(harness.folder.makeInstallation("home/game" + std::to_string(i)));
    }
    harness.list()._addApplications(paths, true);
    harness.table.tableFrame.height = 50; // the rows no longer fit
    const float before = harness.window.frame().height;
    EXPECT_FALSE(harness.list()._addApplications(Paths{paths[0]}, true));
    EXPECT_EQ(harness.window.frame().height - before, 3 * 36 - 50);
}

TEST(InstallationTable, AListThatCannotBeSavedIsSaidOnceAndStaysListed) {
    struct Case {
        const char* what;
        std::string preferencesFile;
        std::string inTheWay; // a folder when it ends in a slash, else a file
        std::string reason;
    };
    const Case cases[] = {
        {"a folder where the file should be", "preferences.ini", "preferences.ini/", "Is a directory"},
        {"a file where its folder should be", "config/preferences.ini", "config", "Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallerHarness::Options options;
        options.preferencesFile = c.preferencesFile;
        InstallerHarness harness(options);
        c.inTheWay.ends_with("/") ? (void)harness.folder.makeFolder(c.inTheWay)
                                  : (void)harness.folder.writeFile(c.inTheWay, "in the way");
        const std::string a = harness.folder.makeInstallation("home/a");
        const std::string b = harness.folder.makeInstallation("home/b");
        EXPECT_TRUE(harness.list()._addApplications(Paths{a}, true));
        EXPECT_TRUE(harness.list()._addApplications(Paths{b}, true));
        EXPECT_EQ(harness.rowPaths(), (Paths{a, b}));
        ASSERT_EQ(harness.window.sheets.size(), 1u) << "said once";
        EXPECT_EQ(harness.sheetTitle(), "Your list of installations could not be saved");
        EXPECT_EQ(
            harness.sheetMessage(),
            "The preferences file " + harness.folder / c.preferencesFile +
                " could not be written: " + c.reason +
                ". The installations stay in the list until the program ends but will not be remembered.");
    }
}

TEST(Discovery, FirstStartSearchesWithLocateAndListsWhatItFinds) {
    TemporaryFolder tools;
    InstallerHarness::Options options;
    options.locatePath = tools / "locate";
    InstallerHarness harness(options);
    const std::string game = harness.folder.makeInstallation("home/game");
    writeLocateStandIn(tools, "locate", game + "/Quorvane\n");

    harness.installer().awakeFromNib();
    EXPECT_EQ(harness.rowPaths(), Paths{"<placeholder>"});
    EXPECT_EQ(descriptionOf(harness.installer(), harness.table, 0),
              "Looking for your Quorvane installation. Please wait ...");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(
        harness.installer().objectValueForTableColumn(harness.table, "icon", 0)));

    ASSERT_TRUE(waitUntil([&] { return harness.rowPaths() != Paths{"<placeholder>"}; }));
    EXPECT_EQ(harness.rowPaths(), Paths{game});
    EXPECT_EQ(readFile(tools / "locate.ran"), "/\n*/Quorvane\n") << "run in / with one unexpanded argument";
    harness.restart();
    EXPECT_EQ(savedList(harness), Paths{game});
}

TEST(Discovery, LaterStartsUseTheSavedListWithoutSearching) {
    TemporaryFolder tools;
    writeLocateStandIn(tools, "locate", "");
    InstallerHarness::Options options;
    options.locatePath = tools / "locate";
    InstallerHarness harness(options);
    const std::string game = harness.folder.makeInstallation("home/game");
    const std::string damaged = harness.folder.makeInstallation("home/damaged", "1.0");
    const std::string gone = harness.home("gone"); // on a drive not connected
    const std::string plain = harness.folder.makeFolder("home/plain");
    const std::string addon = harness.folder.makeFolder("drops/addon");
    savePaths(harness, Paths{damaged, gone, plain, game, game});

    MyInstaller& installer = harness.installer();
    installer.awakeFromNib();
    EXPECT_EQ(harness.rowPaths(), (Paths{game, damaged, gone}));
    EXPECT_EQ(descriptionOf(installer, harness.table, 2), gone + "\nNot found. Is its drive connected?");
    EXPECT_FALSE(exists(tools / "locate.ran"));

    EXPECT_EQ(installer.validateDrop(harness.table, FakeDraggingInfo(Paths{addon}), 2,
                                     TableViewDropOperation::NSTableViewDropOn),
              DragOperation::NSDragOperationNone);
    harness.folder.makeInstallation("home/gone"); // the drive is back
    EXPECT_EQ(installer.validateDrop(harness.table, FakeDraggingInfo(Paths{addon}), 2,
                                     TableViewDropOperation::NSTableViewDropOn),
              DragOperation::NSDragOperationCopy);
    EXPECT_EQ(harness.rowPaths(), (Paths{game, gone, damaged}));
    EXPECT_EQ(harness.table.dropTarget->first, 1) << "the drop follows the row that moved";
    EXPECT_EQ(harness.list().firstBadEntry(), 2);
    harness.restart();
    EXPECT_EQ(savedList(harness), (Paths{damaged, gone, game})) << "without the plain folder and the duplicate";
}

TEST(Discovery, AnEmptySavedListStartsNoSearch) {
    TemporaryFolder tools;
    writeLocateStandIn(tools, "locate", "");
    InstallerHarness::Options options;
    options.locatePath = tools / "locate";
    InstallerHarness harness(options);
    savePaths(harness, Paths{});

    harness.installer().awakeFromNib();
    EXPECT_TRUE(harness.rowPaths().empty());
    EXPECT_EQ(descriptionOf(harness.installer(), harness.table, 0), kSorryRow);
    EXPECT_FALSE(exists(tools / "locate.ran"));
}

TEST(Discovery, NothingFoundLeavesTheSorryRowAndSearchesAgainNextTime) {
    TemporaryFolder tools;
    writeLocateStandIn(tools, "locate", "");
    InstallerHarness::Options options;
    options.locatePath = tools / "locate";
    InstallerHarness harness(options);
    harness.installer().awakeFromNib();
    ASSERT_TRUE(waitUntil([&] { return harness.rowPaths().empty(); }));
    EXPECT_EQ(descriptionOf(harness.installer(), harness.table, 0), kSorryRow);
    harness.restart();
    EXPECT_EQ(savedList(harness), std::nullopt);
}

TEST(Discovery, AMissingLocateToolEndsTheSearchWithTheSorryRow) {
    InstallerHarness::Options options;
    TemporaryFolder tools;
    options.locatePath = tools / "no-such-locate";
    InstallerHarness harness(options);
    harness.installer().awakeFromNib();
    ASSERT_TRUE(waitUntil([&] { return harness.rowPaths().empty(); }));
    EXPECT_EQ(descriptionOf(harness.installer(), harness.table, 0), kSorryRow);
    EXPECT_TRUE(harness.log.contains("process error"));
}

TEST(Discovery, ADamagedPreferencesFileStartsTheSearch) {
    TemporaryFolder tools;
    InstallerHarness::Options options;
    options.locatePath = tools / "locate";
    InstallerHarness harness(options);
    const std::string game = harness.folder.makeInstallation("home/game");
    writeLocateStandIn(tools, "locate", game + "/Quorvane\n");
    harness.folder.writeFile("preferences.ini", std::string("[Target_Path_Array\n\x01\x02=\xff\n[[[", 26));
    harness.restart();

    harness.installer().awakeFromNib();
    ASSERT_TRUE(waitUntil([&] { return harness.rowPaths() == Paths{game}; }));
    harness.restart();
    EXPECT_EQ(savedList(harness), Paths{game});
}

} // namespace
} // namespace quorvane::test

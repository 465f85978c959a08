// The controller on real folders and preferences, with recording stand-ins for the window: the list of
// installations, drops onto it, the run's display and the menu actions.
#include "platform/Preferences.h"
#include "support/EventLoopWait.h"
#include "support/FakeDraggingInfo.h"
#include "support/InstallerHarness.h"
#include "support/LocateStandIn.h"
#include "support/PausingFileManager.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;
using Op = TableViewDropOperation;
using Change = std::function<void(const TemporaryFolder&, const std::string&)>;
constexpr auto kNone = DragOperation::NSDragOperationNone;
constexpr auto kCopy = DragOperation::NSDragOperationCopy;
constexpr auto kAbove = Op::NSTableViewDropAbove;
const std::string kNotFound = "Not found. Is its drive connected?";

std::optional<Paths> savedList(const InstallerHarness& h) {
    return Preferences(h.folder / "preferences.ini").stringList("Target_Path_Array");
}
std::string description(InstallerHarness& h, int row) {
    const ObjectValue value = h.installer().objectValueForTableColumn(h.table, "pathDescription", row);
    const auto* plain = std::get_if<std::string>(&value);
    return std::holds_alternative<AttributedString>(value) ? std::get<AttributedString>(value).string()
                                                           : plain ? *plain : "<nothing>";
}
// A drag of the paths, or of something that carries no file names.
DragOperation validate(InstallerHarness& h, const std::optional<Paths>& paths, int row, Op op = Op::NSTableViewDropOn) {
    h.table.dropTarget.reset();
    return h.installer().validateDrop(h.table, paths ? FakeDraggingInfo(*paths) : FakeDraggingInfo(), row, op);
}
bool drop(InstallerHarness& h, const Paths& paths, int row, Op op = Op::NSTableViewDropOn) {
    return h.installer().acceptDrop(h.table, FakeDraggingInfo(paths), row, op);
}
// Which of install, add, remove, show and undo the menu offers now, a dash for each refused.
std::string actions(InstallerHarness& h) {
    std::string offered;
    for (const auto& [action, letter] : {std::pair{UserAction::installItems, 'i'}, {UserAction::addInstallation, 'a'},
                                         {UserAction::removeFromList, 'r'}, {UserAction::showInFileManager, 's'},
                                         {UserAction::undoLastUpdate, 'u'}}) {
        offered += h.installer().actionEnabled(action) ? letter : '-';
    }
    return offered;
}

// Two valid installations (rows 0 and 1, the first selected) and a damaged one (row 2), and things to drag.
struct Listed : InstallerHarness {
    explicit Listed(Options options = {}) : InstallerHarness(std::move(options)) {
        list()._addApplications(Paths{valid1, damaged, valid2}, true);
    }
    std::string valid1 = folder.makeInstallation("home/valid1"), valid2 = folder.makeInstallation("home/valid2"),
                damaged = folder.makeInstallation("home/damaged", "1.0"),
                newValid = folder.makeInstallation("home/newValid"),
                newDamaged = folder.makeInstallation("home/newDamaged", ""),
                addon = (folder.writeFile("drops/addon/Art/tree.png", "tree"), folder / "drops/addon"),
                readme = folder.writeFile("drops/readme.txt", "hello");
};

TEST(Validation, JudgesTheFolderOnDiskAndSaysWhatIsWrong) {
    const auto remove = [](std::string what) -> Change { return [=](auto& f, auto& i) { std::filesystem::remove_all(f / (i + what)); }; };
    const auto version = [](std::string text) -> Change { return [=](auto& f, auto& i) { f.writeFile(i + "/Text/version.txt", text); }; };
    const struct {
        const char* name;
        Change prepare;
        InstallationStatus status;
        std::string line;
    } cases[] = {
        {"complete", [](auto&, auto&) {}, 0, ""},
        {"version inside a longer number", version("Quorvane 11.29.3 build 7\n"), 0, ""},
        {"version at the very end of the first 64 KiB", version(std::string(65532, ' ') + "1.29"), 0, ""},
        {"version text not UTF-8 around it", version(std::string("\xff\xfe 1.29 \x80", 9)), 0, ""},
        {"application a bundle", [&](auto& f, auto& i) { remove("/Quorvane")(f, i), f.writeFile(i + "/Quorvane/Contents/Info.plist", ""); }, 0, ""},
        {"application an ordinary folder", [&](auto& f, auto& i) { remove("/Quorvane")(f, i), f.makeFolder(i + "/Quorvane/Data"); }, -1, kNotFound},
        {"no application", remove("/Quorvane"), -1, kNotFound},
        {"Art missing", remove("/Art"), 1, "Art folder missing."},
        {"Text missing", remove("/Text"), 2, "Text folder missing."},
        {"neither, nor a version file", [&](auto& f, auto& i) { remove("/Art")(f, i), remove("/Text")(f, i); }, 3, "Art and Text folders missing."},
        {"version file missing", remove("/Text/version.txt"), 4, "Text/version.txt missing."},
        {"other versions", version("1.28\n1.3"), 8, "Not version 1.29."},
        {"version only past the first 64 KiB", version(std::string(65533, ' ') + "1.29"), 8, "Not version 1.29."},
        // Examined without waiting for an end that never comes.
        {"version file a pipe", [&](auto& f, auto& i) { remove("/Text/version.txt")(f, i), ::mkfifo((f / (i + "/Text/version.txt")).c_str(), 0644); }, 8, "Not version 1.29."},
        {"version file an endless device", [&](auto& f, auto& i) { remove("/Text/version.txt")(f, i), std::filesystem::create_symlink("/dev/zero", f / (i + "/Text/version.txt")); }, 8, "Not version 1.29."},
    };
    for (const auto& c : cases) {
        InstallerHarness h;
        const std::string game = h.folder.makeInstallation("home/game");
        c.prepare(h.folder, "home/game");
        EXPECT_EQ(h.list()._isValidApplication(game), c.status) << c.name;
        EXPECT_EQ(h.list()._listedStatusText(c.status), c.line) << c.name;
    }
}

TEST(InstallationList, FirstStartListsTheFolderOfEachApplicationLocateNames) {
    TemporaryFolder tools;
    InstallerHarness::Options options;
    options.locatePath = tools / "locate";
    InstallerHarness h(options);
    const std::string valid = h.folder.makeInstallation("home/Spiele/Quorvane 1.29");
    const std::string damaged = h.folder.makeInstallation("home/old", "1.10");
    const std::string odd = h.folder.makeInstallation("home/sp\xe9il/game");
    writeLocateStandIn(tools, "locate", damaged + "/Quorvane\n" + valid + "\n" + valid + "/Quorvane\n" + odd +
                                            "/Quorvane\n" + valid + "/Quorvane\n");
    h.installer().awakeFromNib();
    EXPECT_EQ(h.rowPaths(), Paths{"<placeholder>"});
    EXPECT_EQ(description(h, 0), "Looking for your Quorvane installation. Please wait ...");
    const Paths addon{h.folder.writeFile("drops/a.png", "a")};
    EXPECT_EQ(validate(h, addon, 0), kNone) << "the placeholder is no installation";

    ASSERT_TRUE(waitUntil([&] { return h.rowPaths() != Paths{"<placeholder>"}; }));
    EXPECT_EQ(h.rowPaths(), (Paths{valid, odd, damaged}));
    EXPECT_EQ(readFile(tools / "locate.ran"), "/\n*/Quorvane\n") << "run in / with one unexpanded argument";
    EXPECT_EQ(savedList(h), (Paths{damaged, valid, odd}));
}

// A later start lists the saved paths, the valid ones first in the order added; one not found stays
// listed, for a drive not connected now, and takes drops when it is back.
TEST(InstallationList, LaterStartsListTheSavedPathsValidOnesFirst) {
    InstallerHarness h;
    const std::string A = h.folder.makeInstallation("home/A", "1.0"), B = h.folder.makeInstallation("home/B"),
                      C = h.folder.makeInstallation("home/C", "2.0"), D = h.folder.makeInstallation("home/D"),
                      E = h.folder.makeInstallation("home/E"), gone = h.folder / "home/gone";
    Preferences(h.folder / "preferences.ini")
        .setStringList("Target_Path_Array", Paths{A, "", B, gone, h.folder.makeFolder("home/plain"), C, B, D});
    h.installer().awakeFromNib();
    EXPECT_EQ(h.rowPaths(), (Paths{B, D, A, gone, C}));
    EXPECT_EQ(description(h, 3), gone + "\n" + kNotFound);
    EXPECT_EQ(savedList(h), (Paths{A, B, gone, C, D})) << "without the plain folder and the duplicate";

    const Paths addon{h.folder.makeFolder("drops/addon")};
    EXPECT_EQ(validate(h, addon, 3), kNone);
    h.folder.makeInstallation("home/gone"); // the drive is back
    EXPECT_EQ(validate(h, addon, 3), kCopy);
    EXPECT_EQ(h.rowPaths(), (Paths{B, D, gone, A, C}));
    EXPECT_EQ(h.table.dropTarget->first, 2) << "the drop follows the row that moved";
    EXPECT_TRUE(h.list()._addApplications(Paths{E}, true));
    EXPECT_EQ(h.rowPaths(), (Paths{B, D, gone, E, A, C}));
    EXPECT_EQ(h.list().firstBadEntry(), 4);
}

TEST(InstallationList, AnEmptyListShowsTheSorryRowAlone) {
    for (const std::string start : {"saved list empty", "locate finds nothing", "no locate tool"}) {
        SCOPED_TRACE(start);
        TemporaryFolder tools;
        InstallerHarness::Options options;
        options.locatePath = start == "no locate tool" ? tools / "locate" : writeLocateStandIn(tools, "locate", "");
        InstallerHarness h(options);
        if (start == "saved list empty") {
            Preferences(h.folder / "preferences.ini").setStringList("Target_Path_Array", Paths{});
        }
        h.installer().awakeFromNib();
        ASSERT_TRUE(waitUntil([&] { return h.rowPaths().empty(); }));
        EXPECT_EQ(h.installer().numberOfRowsInTableView(h.table), 1);
        EXPECT_EQ(description(h, 0) + "|" + description(h, 1),
                  "Sorry. Cannot find Quorvane version 1.29.\nDrag an installation's folder here, or use File "
                  "\u25b8 Add Installation\u2026|<nothing>");
        EXPECT_EQ(std::make_pair(exists(tools / "locate.ran"), h.log.contains("process error")),
                  std::make_pair(start == "locate finds nothing", start == "no locate tool"));
        EXPECT_EQ(savedList(h).has_value(), start == "saved list empty") << "else searched again next time";
    }
}

TEST(InstallationList, WindowGrowsOnlyByTheMissingWholePoints) {
    // Paths, table height, row height, growth: one or two paths never grow it; rows need their height + 2;
    // the table height is truncated first.
    for (const auto& [paths, tableHeight, rowHeight, growth] : std::initializer_list<std::tuple<int, float, float, float>>{
             {2, 10, 34, 0}, {3, 100, 34, 8}, {3, 108, 34, 0}, {3, 100.9f, 34, 8}, {4, 100, 34.5f, 46}}) {
        InstallerHarness h;
        h.table.tableFrame.height = tableHeight;
        h.table.tableRowHeight = rowHeight;
        Paths games;
        for (int i = 0; i < paths; ++i) {
            games.push_back(h.folder.makeInstallation("home/game" + std::to_string(i)));
        }
        const Rect before = h.window.frame();
        h.list()._addApplications(games, true);
        const Rect after = h.window.frame();
        EXPECT_EQ(after.height - before.height, growth) << paths << " paths, table " << tableHeight;
        EXPECT_EQ(std::make_pair(after.x, after.y), std::make_pair(before.x, before.y)) << "the bottom edge stays";
    }
}

TEST(Drop, TheTargetRowFollowsWhatIsDragged) {
    const std::optional<std::pair<int, Op>> refused;
    const auto on = [](int row) { return std::make_optional(std::make_pair(row, Op::NSTableViewDropOn)); };
    const auto above = [](int row) { return std::make_optional(std::make_pair(row, kAbove)); };
    const struct {
        const char* what;
        std::vector<std::string Listed::*> dragged; // none: a drag without file names
        int row;
        std::optional<std::pair<int, Op>> target;
    } cases[] = {
        {"content onto a valid row", {&Listed::addon, &Listed::readme}, 1, on(1)},
        {"content onto the damaged row", {&Listed::addon}, 2, refused},
        {"content past the end: the last row, damaged", {&Listed::addon}, 3, refused},
        {"no file names", {}, 0, refused},
        {"a valid installation, listed or not: above the first damaged row", {&Listed::valid1}, 0, above(2)},
        {"a damaged installation: after the last row", {&Listed::newDamaged}, 0, above(3)},
        {"the first valid one decides", {&Listed::readme, &Listed::newDamaged, &Listed::newValid}, 1, above(2)},
        {"else the last item: damaged", {&Listed::readme, &Listed::newDamaged}, 0, above(3)},
        {"else the last item: content", {&Listed::newDamaged, &Listed::readme}, 0, on(0)},
    };
    for (const auto& c : cases) {
        Listed h;
        std::optional<Paths> dragged;
        for (const auto member : c.dragged) {
            dragged = dragged.value_or(Paths{}), dragged->push_back(h.*member);
        }
        h.table.selectedRows = {7};
        EXPECT_EQ(validate(h, dragged, c.row, kAbove), c.target ? kCopy : kNone) << c.what;
        EXPECT_EQ(h.table.dropTarget, c.target) << c.what;
        const bool onRow = c.target && c.target->second == Op::NSTableViewDropOn;
        EXPECT_EQ(h.table.selectedRows, std::vector<int>{onRow ? c.target->first : 7}) << c.what;
    }
}

TEST(Drop, TheConfirmationNamesTheItemsLiterallyFifteenAtMost) {
    Listed h;
    Paths many;
    std::string fifteen;
    for (int i = 1; i <= 3000; ++i) {
        many.push_back(h.folder / ("drops/item" + std::to_string(i)));
        fifteen += i > 15 ? "" : (i > 1 ? "\n" : "") + ("item" + std::to_string(i));
    }
    const std::string odd = h.folder / "drops/<i>x<\\i> %@%d %%";
    const std::pair<Paths, std::string> cases[] = {
        {Paths{h.folder / "drops/A", h.folder / "drops/B", h.folder / "drops/C.zip"}, "A\nB\nC.zip"},
        {Paths{odd, odd}, "<i>x<\\i> %@%d %%\n<i>x<\\i> %@%d %%"},
        {Paths(many.begin(), many.begin() + 16), fifteen + "\n… and 1 more."},
        {many, fifteen + "\n… and 2985 more."},
    };
    for (const auto& [dropped, names] : cases) {
        ASSERT_TRUE(drop(h, dropped, 1));
        ASSERT_EQ(h.window.sheets.size(), 1u);
        const AlertSheet& sheet = h.window.sheets[0];
        EXPECT_EQ(sheet.title, "Are you sure you want to update Quorvane?");
        EXPECT_EQ(sheet.message, "Click OK to update " + h.valid2 + " using:\n\n" + names);
        EXPECT_EQ(sheet.defaultButton + "|" + sheet.alternateButton.value_or("-"), "OK|Cancel");
        h.window.dismissSheet(NSAlertAlternateReturn);
    }
}

TEST(Drop, IsNotTakenOffAValidRowNorWhileAConfirmationIsOpenAndCancelChangesNothing) {
    Listed h;
    for (const int row : {2, 3, -1}) {
        EXPECT_FALSE(drop(h, Paths{h.addon}, row)) << row;
    }
    EXPECT_TRUE(h.window.sheets.empty());
    EXPECT_FALSE(h.installer().acceptDrop(h.table, FakeDraggingInfo(), 0, Op::NSTableViewDropOn));
    EXPECT_EQ(h.sheetTitle() + "|" + h.sheetMessage() + "|" + h.window.sheets.back().alternateButton.value_or("-"),
              "Can't handle this item||-");
    h.window.dismissSheet(NSAlertDefaultReturn);

    ASSERT_TRUE(drop(h, Paths{h.addon}, 0));
    EXPECT_EQ(validate(h, Paths{h.readme}, 1), kNone);
    EXPECT_FALSE(drop(h, Paths{h.readme}, 1));
    EXPECT_EQ(h.installer().targetPath(), h.valid1);
    EXPECT_EQ(actions(h), "---s-") << "nothing is taken while a sheet is open";
    h.window.dismissSheet(NSAlertAlternateReturn);
    EXPECT_FALSE(h.installer().updateRun()) << "Cancel starts no run";
    EXPECT_TRUE(h.window.sheets.empty()) << "and no report";
    EXPECT_EQ(treeListing(h.valid1), "Art/\nQuorvane\nText/\nText/version.txt\n");
    EXPECT_EQ(validate(h, Paths{h.readme}, 1), kCopy);

    EXPECT_TRUE(drop(h, Paths{h.readme, h.newDamaged, h.newValid}, 2, kAbove));
    EXPECT_EQ(h.rowPaths(), (Paths{h.valid1, h.valid2, h.newValid, h.damaged, h.newDamaged}));
    EXPECT_FALSE(drop(h, Paths{h.valid1}, 0, kAbove)) << "listed already";
}

TEST(Drop, OkInstallsEveryItemAndTheWindowShowsTheEnd) {
    Listed h;
    h.folder.writeFile("drops/more/Text/notes.txt", "notes");
    ASSERT_TRUE(drop(h, Paths{h.addon, h.folder / "drops/more"}, 0));
    h.confirm();
    EXPECT_EQ(readFile(h.valid1 + "/Art/tree.png") + readFile(h.valid1 + "/Text/notes.txt"), "treenotes");
    EXPECT_EQ(h.sheetTitle() + "|" + h.sheetMessage() + "|" + h.window.sheets.back().alternateButton.value_or("-"),
              "Application files updated successfully|2 files added\n0 previous files backed up\n0 duplicate "
              "files ignored.|-");
    EXPECT_EQ(h.installer().updateRun()->progressMaxValue(), 6) << "each dropped folder and its entries";
    EXPECT_EQ(std::make_pair(h.progress.value, h.progress.max), std::make_pair(0.0, 6.0));
    EXPECT_EQ(h.fileLabel.shown + "|" + h.file.shown, "Installing:|Complete");
    EXPECT_FALSE(h.cancelButton.enabled);
}

// Stopping a run from the window: Cancel, with Put Back on its report; and closing the window, which asks
// first and closes once the run has stopped.
TEST(ProgressDisplay, CancelOffersPutBackAndClosingAsksFirst) {
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "closing the window" : "Cancel, then Put Back");
        PausingFileManager fileManager(2);
        InstallerHarness::Options options;
        options.fileManager = &fileManager;
        InstallerHarness h(options);
        const std::string game = h.folder.makeInstallation("home/game"), before = treeListing(game);
        Preferences(h.folder / "preferences.ini").setStringList("Target_Path_Array", Paths{game});
        h.installer().awakeFromNib(); // the window asks the controller before it closes
        h.folder.writeFile("drop/Art/a.png", "a"), h.folder.writeFile("drop/Art/b.png", "b");
        h.folder.writeFile("drop/Art/c.png", "c");
        ASSERT_TRUE(drop(h, Paths{h.folder / "drop/Art"}, 0));
        h.window.dismissSheet(NSAlertDefaultReturn);
        ASSERT_TRUE(fileManager.waitForPause());
        EXPECT_TRUE(h.cancelButton.enabled && h.installer().updateInProgress());
        EXPECT_EQ(validate(h, Paths{h.folder / "drop/Art"}, 0), kNone) << "no drop while an update runs";
        EXPECT_EQ(actions(h), "---s-");
        if (closing) {
            h.window.performClose();
            EXPECT_FALSE(h.window.closed);
            EXPECT_EQ(h.sheetTitle(), "An update is running. Stop it and quit?");
            h.window.dismissSheet(NSAlertDefaultReturn);
        } else {
            h.installer().cancelInstall();
        }
        EXPECT_FALSE(h.cancelButton.enabled);
        fileManager.resume();
        ASSERT_TRUE(waitUntil([&] { return !h.installer().updateInProgress(); }));
        EXPECT_EQ(std::make_pair(h.window.closed, h.window.sheets.empty()), std::make_pair(closing, closing))
            << "closed, the window shows no report";
        if (closing) {
            continue;
        }
        EXPECT_EQ(h.sheetTitle() + "|" + h.window.sheets.back().alternateButton.value_or("-"), "Update cancelled|Put Back");
        h.window.dismissSheet(NSAlertAlternateReturn);
        ASSERT_TRUE(waitUntil([&] { return !h.window.sheets.empty(); }));
        EXPECT_EQ(h.sheetTitle(), "The update was undone");
        EXPECT_EQ(treeListing(game), before);
    }
}

TEST(MenuActions, FollowTheSelectedRowAndActOnIt) {
    Listed h;
    EXPECT_EQ(actions(h), "iarsu");
    h.table.selectRow(2, false);
    EXPECT_EQ(actions(h), "-ars-") << "a damaged row";
    h.table.selectedRows.clear();
    EXPECT_EQ(actions(h), "-a---");

    EXPECT_TRUE(h.installer().addInstallation(h.newValid));
    EXPECT_FALSE(h.installer().addInstallation(h.folder.makeFolder("home/nothing"))) << "no installation";
    EXPECT_EQ(h.table.selectedRow(), 2) << "the added row is selected";
    h.installer().removeSelectedInstallation();
    EXPECT_EQ(h.sheetTitle() + "|" + h.sheetMessage(), "Remove " + h.newValid + " from the list?|The folder itself is not touched.");
    EXPECT_EQ(h.window.sheets.back().defaultButton + "|" + actions(h), "Remove|---s-");
    h.window.dismissSheet(NSAlertAlternateReturn);
    EXPECT_EQ(h.rowPaths(), (Paths{h.valid1, h.valid2, h.newValid, h.damaged})) << "Cancel keeps it";
    h.installer().removeSelectedInstallation();
    h.window.dismissSheet(NSAlertDefaultReturn);
    EXPECT_EQ(h.rowPaths(), (Paths{h.valid1, h.valid2, h.damaged}));
    EXPECT_EQ(savedList(h), (Paths{h.valid1, h.valid2, h.damaged}));
    EXPECT_EQ(h.table.selectedRow(), 2) << "the row that took its place";
    EXPECT_TRUE(exists(h.newValid)) << "the folder itself stays";

    h.installer().showSelectedInFileManager();
    EXPECT_EQ(h.openedFolders(), Paths{h.damaged});
}

} // namespace
} // namespace quorvane::test

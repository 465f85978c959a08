#include "support/FakeDraggingInfo.h"
#include "support/InstallerHarness.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;
using Op = TableViewDropOperation;
constexpr auto kNone = DragOperation::NSDragOperationNone;
constexpr auto kCopy = DragOperation::NSDragOperationCopy;

// A list with two valid installations (rows 0 and 1) and a damaged one (row 2), and things to drag.
class DropTest : public testing::Test {
protected:
    void SetUp() override {
        valid1 = harness.folder.makeInstallation("home/valid1");
        valid2 = harness.folder.makeInstallation("home/valid2");
        damaged = harness.folder.makeInstallation("home/damaged", "1.0");
        harness.list()._addApplications(Paths{valid1, damaged, valid2}, true);
        newValid = harness.folder.makeInstallation("home/newValid");
        newDamaged = harness.folder.makeInstallation("home/newDamaged", "");
        harness.folder.writeFile("drops/addon/Art/tree.png", "tree");
        addon = harness.folder / "drops/addon";
        readme = harness.folder.writeFile("drops/readme.txt", "hello");
        harness.table.dropTarget.reset();
    }

    DragOperation validate(const Paths& paths, int proposedRow, Op op = Op::NSTableViewDropOn) {
        harness.table.dropTarget.reset();
        return harness.installer().validateDrop(harness.table, FakeDraggingInfo(paths), proposedRow, op);
    }

    InstallerHarness harness;
    std::string valid1, valid2, damaged, newValid, newDamaged, addon, readme;
};

TEST_F(DropTest, ContentGoesOntoAValidRowOnly) {
    struct Case {
        int proposedRow;
        DragOperation expected;
        std::optional<int> droppedOn;
    };
    const Case cases[] = {
        {0, kCopy, 0}, {1, kCopy, 1}, {2, kNone, std::nullopt}, // the damaged installation refuses
        {3, kNone, std::nullopt},                             // past the end: the last row, damaged
    };
    for (const Case& c : cases) {
        harness.table.selectedRows = {7};
        EXPECT_EQ(validate(Paths{addon, readme}, c.proposedRow, Op::NSTableViewDropAbove), c.expected)
            << "row " << c.proposedRow;
        if (c.droppedOn) {
            EXPECT_EQ(harness.table.dropTarget, std::make_pair(*c.droppedOn, Op::NSTableViewDropOn));
            EXPECT_EQ(harness.table.selectedRows, std::vector<int>{*c.droppedOn});
        } else {
            EXPECT_FALSE(harness.table.dropTarget);
            EXPECT_EQ(harness.table.selectedRows, std::vector<int>{7}) << "the selection stays";
        }
    }
}

TEST_F(DropTest, ContentPastTheEndLandsOnTheLastRowWhenItIsValid) {
    const std::string extra = harness.folder.makeInstallation("home/extra");
    harness.list()._addApplications(Paths{extra}, true); // rows: valid1, valid2, extra, damaged
    EXPECT_EQ(validate(Paths{addon}, 9), kNone);
    InstallerHarness onlyValid;
    const std::string game = onlyValid.folder.makeInstallation("home/game");
    onlyValid.list()._addApplications(Paths{game}, true);
    EXPECT_EQ(onlyValid.installer().validateDrop(onlyValid.table, FakeDraggingInfo(Paths{addon}), 5, Op::NSTableViewDropAbove),
              kCopy);
    EXPECT_EQ(onlyValid.table.dropTarget, std::make_pair(0, Op::NSTableViewDropOn));
}

TEST_F(DropTest, InstallationFoldersGoIntoAGap) {
    EXPECT_EQ(validate(Paths{newValid}, 2), kCopy);
    EXPECT_EQ(harness.table.dropTarget, std::make_pair(2, Op::NSTableViewDropAbove)) << "above the first damaged row";
    EXPECT_EQ(validate(Paths{newDamaged}, 0), kCopy);
    EXPECT_EQ(harness.table.dropTarget, std::make_pair(3, Op::NSTableViewDropAbove)) << "after the last row";
    EXPECT_EQ(validate(Paths{valid1}, 0), kCopy) << "a listed one is steered like a new one";
}

TEST_F(DropTest, TheDragOrderDecidesTheListStatus) {
    EXPECT_EQ(harness.peer().validApplicationInList(Paths{readme, newDamaged}), 8);
    EXPECT_EQ(harness.peer().validApplicationInList(Paths{newDamaged, readme}), InstallationStatusNotFound);
    EXPECT_EQ(harness.peer().validApplicationInList(Paths{readme, newDamaged, newValid, addon}), 0);
    EXPECT_EQ(harness.peer().validApplicationInList(Paths{}), InstallationStatusNotFound);
}

TEST_F(DropTest, DragsWithoutFileNamesAreRefused) {
    EXPECT_EQ(harness.installer().validateDrop(harness.table, FakeDraggingInfo(), 0, Op::NSTableViewDropOn), kNone);
    EXPECT_FALSE(harness.table.dropTarget);
    EXPECT_FALSE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(), 0, Op::NSTableViewDropOn));
    ASSERT_EQ(harness.window.sheets.size(), 1u);
    EXPECT_EQ(harness.sheetTitle(), "Can't handle this item");
    EXPECT_EQ(harness.sheetMessage(), "");
    EXPECT_EQ(harness.window.sheets[0].defaultButton, "OK");
    EXPECT_FALSE(harness.window.sheets[0].alternateButton);
}

// Counts how often each path is looked at as a folder: once per judgement of it as an installation.
class LookCountingFileManager : public FileManager {
public:
    using FileManager::fileExistsAtPath;
    bool fileExistsAtPath(const std::string& path, bool* isDirectory) const override {
        ++looks[path];
        return FileManager::fileExistsAtPath(path, isDirectory);
    }
    mutable std::map<std::string, int> looks;
};

TEST(DragVerdicts, AreKeptForTheDragUntilItIsDroppedOrOtherPathsAreDragged) {
    LookCountingFileManager files;
    InstallerHarness::Options options;
    options.fileManager = &files;
    InstallerHarness harness(options);
    const std::string game = harness.folder.makeInstallation("home/game");
    const std::string readme = harness.folder.writeFile("drops/readme.txt", "hello");
    auto validate = [&](const std::string& path) {
        harness.installer().validateDrop(harness.table, FakeDraggingInfo(Paths{path}), 0,
                                         Op::NSTableViewDropOn);
    };
    for (int move = 0; move < 3; ++move) {
        validate(game);
    }
    EXPECT_EQ(files.looks[game], 1) << "judged once for the drag";
    validate(readme);
    validate(game);
    EXPECT_EQ(files.looks[game], 2) << "another drag";
    harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{game}), 0, Op::NSTableViewDropAbove);
    EXPECT_EQ(files.looks[game], 3) << "judged again as it is added";
    validate(game);
    EXPECT_EQ(files.looks[game], 4) << "the next drag of the same path is judged afresh";
}

TEST(DropOnAnEmptyList, ContentIsRefused) {
    InstallerHarness harness;
    const std::string addon = harness.folder.writeFile("drops/Art/a.png", "a");
    EXPECT_EQ(harness.installer().validateDrop(harness.table, FakeDraggingInfo(Paths{addon}), 0, Op::NSTableViewDropOn),
              kNone);
}

TEST(DropOnThePlaceholder, ContentIsRefusedAndStartsNothing) {
    InstallerHarness harness;
    AppRecord placeholder;
    placeholder.pathDescription = AttributedString("Looking");
    harness.list().targetPathArray().push_back(placeholder);
    const std::string addon = harness.folder.writeFile("drops/Art/a.png", "a");
    EXPECT_EQ(harness.installer().validateDrop(harness.table, FakeDraggingInfo(Paths{addon}), 0, Op::NSTableViewDropOn),
              kNone);
    EXPECT_FALSE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), 0, Op::NSTableViewDropOn));
    EXPECT_TRUE(harness.window.sheets.empty());
    EXPECT_FALSE(harness.installer().targetPath());
}

TEST_F(DropTest, AcceptingContentAsksForConfirmationNamingEveryItem) {
    const std::string a = harness.folder.writeFile("drops/A", "a");
    const std::string b = harness.folder.makeFolder("drops/B");
    const std::string c = harness.folder.writeFile("drops/C.zip", "c");
    EXPECT_TRUE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{a, b, c}), 1, Op::NSTableViewDropOn));
    EXPECT_EQ(harness.installer().targetPath(), valid2);
    EXPECT_EQ(harness.installer().updateFiles(), (Paths{a, b, c}));
    ASSERT_EQ(harness.window.sheets.size(), 1u);
    const AlertSheet& sheet = harness.window.sheets[0];
    EXPECT_EQ(sheet.title, "Are you sure you want to update Quorvane?");
    EXPECT_EQ(sheet.message, "Click OK to update " + valid2 + " using:\n\nA\nB\nC.zip");
    EXPECT_EQ(sheet.defaultButton, "OK");
    EXPECT_EQ(sheet.alternateButton, "Cancel");
}

TEST_F(DropTest, TheConfirmationNamesFifteenItemsAtMost) {
    struct Case {
        int dropped;
        std::string tail; // after the fifteenth name
    };
    for (const Case& c : {Case{15, ""}, Case{16, "\n… and 1 more."}, Case{3000, "\n… and 2985 more."}}) {
        Paths files;
        std::string names;
        for (int i = 1; i <= c.dropped; ++i) {
            files.push_back(harness.folder / ("drops/item" + std::to_string(i)));
            if (i <= 15) {
                names += (i > 1 ? "\n" : "") + ("item" + std::to_string(i));
            }
        }
        ASSERT_TRUE(
            harness.installer().acceptDrop(harness.table, FakeDraggingInfo(files), 0, Op::NSTableViewDropOn));
        EXPECT_EQ(harness.sheetMessage(), "Click OK to update " + valid1 + " using:\n\n" + names + c.tail);
        harness.window.dismissSheet(NSAlertAlternateReturn);
    }
}

TEST_F(DropTest, NamesAreShownLiterally) {
    const std::string odd = harness.folder.writeFile("drops/<i>x<\\i> %@%d %%", "x");
    harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{odd, odd}), 0, Op::NSTableViewDropOn);
    EXPECT_EQ(harness.sheetMessage(), "Click OK to update " + valid1 + " using:\n\n<i>x<\\i> %@%d %%\n<i>x<\\i> %@%d %%");
}

TEST_F(DropTest, ADropOntoARowThatIsNotValidIsNotTaken) {
    EXPECT_FALSE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), 2, Op::NSTableViewDropOn));
    EXPECT_FALSE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), 3, Op::NSTableViewDropOn));
    EXPECT_FALSE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), -1, Op::NSTableViewDropOn));
    EXPECT_TRUE(harness.window.sheets.empty());
    EXPECT_EQ(harness.installer().updateFiles(), Paths{addon}) << "the update list is replaced all the same";
}

TEST_F(DropTest, ADropIntoAGapAddsTheFolders) {
    EXPECT_TRUE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{readme, newDamaged, newValid}), 2,
                                               Op::NSTableViewDropAbove));
    EXPECT_EQ(harness.rowPaths(), (Paths{valid1, valid2, newValid, damaged, newDamaged}));
    EXPECT_FALSE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{valid1}), 0,
                                                Op::NSTableViewDropAbove))
        << "listed already: nothing added";
}

TEST_F(DropTest, CancelLeavesEverythingAsItWas) {
    harness.cancelButton.enabled = false;
    harness.progress.max = 17;
    harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), 0, Op::NSTableViewDropOn);
    harness.window.dismissSheet(NSAlertAlternateReturn);
    EXPECT_FALSE(harness.cancelButton.enabled);
    EXPECT_EQ(harness.progress.max, 17);
    EXPECT_FALSE(harness.installer().updateRun()) << "no run started";
    EXPECT_EQ(treeListing(valid1), "Art/\nQuorvane\nText/\nText/version.txt\n");
    EXPECT_TRUE(harness.window.sheets.empty()) << "no report";
}

TEST_F(DropTest, OkInstallsAndReports) {
    harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), 0, Op::NSTableViewDropOn);
    harness.confirm();
    EXPECT_EQ(readFile(valid1 + "/Art/tree.png"), "tree");
    ASSERT_EQ(harness.window.sheets.size(), 1u);
    EXPECT_EQ(harness.sheetTitle(), "Application files updated successfully");
    EXPECT_EQ(harness.sheetMessage(), "1 files added\n0 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(harness.installer().updateRun()->progressMaxValue(), 3) << "the dropped folder and its entries";
}

TEST(ConfirmingAChangedInstallation, StartsNoUpdateAndSaysWhy) {
    struct Case {
        const char* what;
        std::function<void(const TemporaryFolder&, const std::string& game)> change;
        std::string title;
        std::string messageAfterPath;
        int status;
    };
    const std::string gone = "This installation can no longer be updated";
    const Case cases[] = {
        {"deleted",
         [](auto&, auto& game) { std::filesystem::remove_all(game); },
         gone,
         " is no longer a valid installation. Not found. Is its drive connected?",
         InstallationStatusNotFound},
        {"changed to another version",
         [](auto& f, auto&) { f.writeFile("home/game/Text/version.txt", "1.30"); },
         gone,
         " is no longer a valid installation. Not version 1.29.",
         InstallationStatusWrongVersion},
        {"renamed, and another installation put in its place",
         [](auto& f, auto& game) {
             std::filesystem::rename(game, game + " old");
             f.makeInstallation("home/game");
         },
         "This installation has changed since it was listed",
         ". Drop the items onto its row again to update it.",
         InstallationStatusValid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallerHarness harness;
        const std::string game = harness.folder.makeInstallation("home/game");
        harness.list()._addApplications(Paths{game, harness.folder.makeInstallation("home/other"),
                                              harness.folder.makeInstallation("home/damaged", "1.0")},
                                        true);
        harness.folder.writeFile("drops/addon/Art/tree.png", "tree");
        const Paths addon{harness.folder / "drops/addon"};
        ASSERT_TRUE(
            harness.installer().acceptDrop(harness.table, FakeDraggingInfo(addon), 0, Op::NSTableViewDropOn));
        c.change(harness.folder, game);
        harness.window.dismissSheet(NSAlertDefaultReturn);

        ASSERT_EQ(harness.window.sheets.size(), 1u) << "no update report";
        EXPECT_EQ(harness.sheetTitle(), c.title);
        const std::string message = harness.sheetMessage();
        EXPECT_TRUE(message.ends_with(c.messageAfterPath) && message.find(game) != std::string::npos)
            << message;
        EXPECT_FALSE(exists(game + "/Art/tree.png") || exists(game + " old/Art/tree.png"));
        EXPECT_EQ(exists(game), c.status != InstallationStatusNotFound)
            << "nothing made at a deleted one's path";

        harness.confirm();
        if (c.status == InstallationStatusValid) {
            harness.installer().acceptDrop(harness.table, FakeDraggingInfo(addon), 0, Op::NSTableViewDropOn);
            harness.confirm();
            EXPECT_EQ(harness.sheetTitle(), "Application files updated successfully")
                << "a new drop updates it";
        }
    }
}

TEST_F(DropTest, NoSecondDropWhileAConfirmationIsOpen) {
    ASSERT_TRUE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{addon}), 0, Op::NSTableViewDropOn));
    EXPECT_EQ(validate(Paths{readme}, 1), kNone);
    EXPECT_FALSE(harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{readme}), 1, Op::NSTableViewDropOn));
    EXPECT_EQ(harness.installer().targetPath(), valid1);
    harness.window.dismissSheet(NSAlertAlternateReturn);
    EXPECT_EQ(validate(Paths{readme}, 1), kCopy);
}

TEST_F(DropTest, ConfirmingAPlainFileCountsItOnceAndInstallsNothing) {
    harness.installer().acceptDrop(harness.table, FakeDraggingInfo(Paths{readme}), 0, Op::NSTableViewDropOn);
    harness.confirm();
    EXPECT_EQ(harness.installer().updateRun()->progressMaxValue(), 1);
    EXPECT_EQ(harness.sheetTitle(), "Nothing was installed");
}

} // namespace
} // namespace quorvane::test

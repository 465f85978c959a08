#include "platform/UserDefaults.h"
#include "support/InstallerHarness.h"

#include <fstream>
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

TEST(BackupFolder, IsMadeOnFirstUseAndKeptForTheRun) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.installer().setTargetPath(installation);
    const auto first = harness.installer().privateFiles();
    EXPECT_EQ(first, installation + "/BackupFiles/20070102_090503");
    EXPECT_TRUE(isFolder(*first));
    harness.clock.advance(std::chrono::seconds(5));
    EXPECT_EQ(harness.installer().privateFiles(), first) << "the same folder until the run ends";
}

// Stands for a second program window updating the same installation: it makes its backup folder, with a
// backup inside, just before this window makes a folder of that name.
class RacingFileManager : public FileManager {
public:
    bool createDirectoryAtPath(const std::string& path) override {
        if (!racedName.empty() && path.ends_with("/" + racedName)) {
            racedName.clear();
            FileManager::createDirectoryAtPath(path);
            std::ofstream(path + "/other.png") << "the other window's backup";
        }
        return FileManager::createDirectoryAtPath(path);
    }
    std::string racedName;
};

TEST(BackupFolder, ATakenNameMovesOnToTheNextSecondWithoutASuffixOrWaiting) {
    struct Case {
        const char* what;
        Paths takenBefore; // a trailing slash makes a folder
        std::string racedName;
        std::string expected;
    };
    const Case cases[] = {
        {"taken before", {"20070102_090503/", "20070102_090504"}, "", "20070102_090505"},
        {"taken by another window as this one makes it", {}, "20070102_090503", "20070102_090504"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RacingFileManager files;
        files.racedName = c.racedName;
        InstallerHarness::Options options;
        options.fileManager = &files;
        InstallerHarness harness(options);
        const std::string installation = harness.folder.makeInstallation("home/game");
        for (const std::string& name : c.takenBefore) {
            name.ends_with("/") ? (void)harness.folder.makeFolder("home/game/BackupFiles/" + name)
                                : (void)harness.folder.writeFile("home/game/BackupFiles/" + name, "taken");
        }
        harness.installer().setTargetPath(installation);
        const auto folder = harness.installer().privateFiles();
        EXPECT_EQ(folder, installation + "/BackupFiles/" + c.expected);
        EXPECT_EQ(treeListing(*folder), "") << "a folder of this run's own";
        EXPECT_EQ(harness.clock.slept().count(), 0);
    }
}

TEST(BackupFolder, WithoutATargetThereIsNone) {
    InstallerHarness harness;
    EXPECT_FALSE(harness.installer().privateFiles());
    EXPECT_TRUE(harness.log.contains("Can't create directory"));
}

TEST(BackupFolder, ABackupRootThatIsAFileGivesAPathThatCannotBeMade) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/BackupFiles", "in the way");
    harness.installer().setTargetPath(installation);
    EXPECT_EQ(harness.installer().privateFiles(), installation + "/BackupFiles/20070102_090503");
    EXPECT_FALSE(harness.log.contains("Can't create directory"));
    EXPECT_EQ(readFile(installation + "/BackupFiles"), "in the way");
}

TEST(TempFolders, TheWriterDeletesTheFoldersOfTheOldList) {
    InstallerHarness harness;
    const std::string a = harness.folder.writeFile("home/a/deep/file", "x");
    const std::string b = harness.folder.makeFolder("home/b");
    const std::string c = harness.folder.makeFolder("home/c");
    harness.installer().setTempFolders(Paths{harness.home("a"), b});

    harness.installer().setTempFolders(harness.installer().tempFolders()); // the very list again
    EXPECT_FALSE(exists(harness.home("a")));
    EXPECT_FALSE(exists(b));
    EXPECT_EQ(harness.installer().tempFolders(), (Paths{harness.home("a"), b}));

    harness.installer().setTempFolders(Paths{c});
    harness.installer().setTempFolders(std::nullopt);
    EXPECT_FALSE(exists(c));
}

TEST(Accessors, ListsAreMadeOnFirstReadAndThenKept) {
    InstallerHarness harness;
    MyInstaller& installer = harness.installer();
    installer.tempFolders().push_back("/x");
    EXPECT_EQ(&installer.tempFolders(), &installer.tempFolders());
    EXPECT_EQ(installer.tempFolders(), Paths{"/x"});
    installer.setTempFolders(std::nullopt); // "/x" does not exist: nothing to delete
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
    EXPECT_EQ(harness.installer().numFilesInstalled(), 0);
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

TEST(Destruction, DeletesTheExtractionFoldersAndKeepsTheBackup) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string extraction = harness.folder.writeFile("home/20070102_090503/x", "x");
    harness.installer().setTargetPath(installation);
    const std::string backup = *harness.installer().privateFiles();
    harness.installer().tempFolders().push_back(harness.home("20070102_090503"));
    harness.restart();
    EXPECT_FALSE(exists(harness.home("20070102_090503")));
    EXPECT_TRUE(isFolder(backup));
}

} // namespace
} // namespace quorvane::test

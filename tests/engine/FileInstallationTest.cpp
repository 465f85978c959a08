#include "support/UpdateRun.h"

#include <filesystem>
#include <functional>
#include "support/TestNames.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// One row of the installation's bookkeeping: what was dropped onto what, and what it leaves behind.
struct CountCase {
    const char* name;
    // Prepares the installation and the drop folder, and answers the dropped items.
    std::function<Paths(TemporaryFolder&, const std::string& installation)> prepare;
    Counts expected;
    // Files (relative to the installation) and their expected contents afterwards.
    std::vector<std::pair<std::string, std::string>> installed;
    // The backup folder's listing, or "<none>" when it must be gone.
    std::string backup;
};

class CountTable : public testing::TestWithParam<CountCase> {};

TEST_P(CountTable, CountsCopiesAndBackups) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const Paths items = GetParam().prepare(harness.folder, installation);
    runUpdate(harness, installation, items);

    EXPECT_EQ(countsOf(harness.installer()), GetParam().expected);
    for (const auto& [relative, contents] : GetParam().installed) {
        EXPECT_EQ(readFile(installation + "/" + relative), contents) << relative;
    }
    const std::string backup = backupFolder(installation);
    EXPECT_EQ(exists(backup) ? treeListing(backup) : "<none>", GetParam().backup);
    // No partial copy is ever left behind.
    EXPECT_EQ(treeListing(installation).find(FileManager::temporaryNamePrefix), std::string::npos);
}

const CountCase kCountCases[] = {
    {"new plain file beside a lined-up folder",
     [](auto& f, auto&) {
         return Paths{f.makeFolder("drop/Art"), f.writeFile("drop/readme.txt", "read me")};
     },
     {1, 0, 0, 0},
     {{"readme.txt", "read me"}},
     "<none>"},
    {"new folder: every entry beneath it",
     [](auto& f, auto&) {
         f.writeFile("drop/Art/Trees/Oak/a.png", "a");
         f.writeFile("drop/Art/Trees/Oak/b.png", "b");
         return Paths{f / "drop/Art"};
     },
     {3, 0, 0, 0},
     {{"Art/Trees/Oak/a.png", "a"}, {"Art/Trees/Oak/b.png", "b"}},
     "<none>"}, // merging Art asks for the backup folder; nothing replaced, so it goes again
    {"identical file: a duplicate, not copied",
     [](auto& f, auto&) {
         f.writeFile("home/game/Art/same.png", "same");
         f.writeFile("drop/Art/same.png", "same");
         return Paths{f / "drop/Art"};
     },
     {0, 0, 1, 0},
     {{"Art/same.png", "same"}},
     "<none>"},
    {"different file: backed up at its relative path",
     [](auto& f, auto&) {
         f.writeFile("home/game/Art/Trees/oak.png", "old oak");
         f.writeFile("drop/Art/Trees/oak.png", "new oak");
         return Paths{f / "drop/Art"};
     },
     {1, 1, 0, 0},
     {{"Art/Trees/oak.png", "new oak"}, {"BackupFiles/20070102_090503/Art/Trees/oak.png", "old oak"}},
     "Art/\nArt/Trees/\nArt/Trees/oak.png\n"},
    {"folder over a plain file: the file backed up, the folder copied whole",
     [](auto& f, auto&) {
         f.writeFile("home/game/Art/Skins", "a file");
         f.writeFile("drop/Art/Skins/red.png", "red");
         f.writeFile("drop/Art/Skins/blue.png", "blue");
         return Paths{f / "drop/Art"};
     },
     {2, 1, 0, 0},
     {{"Art/Skins/red.png", "red"}, {"BackupFiles/20070102_090503/Art/Skins", "a file"}},
     "Art/\nArt/Skins\n"},
    {"plain file over a folder: left out and reported, its backup folder made",
     [](auto& f, auto&) {
         f.writeFile("home/game/Art/Skins/red.png", "red");
         f.writeFile("drop/Art/Skins", "a file");
         f.writeFile("drop/Art/other.png", "other");
         return Paths{f / "drop/Art"};
     },
     {1, 0, 0, 1},
     {{"Art/Skins/red.png", "red"}, {"Art/other.png", "other"}},
     "<none>"},
    {"two items bringing the same file: the second meets the first's copy",
     [](auto& f, auto&) {
         f.writeFile("drop1/Art/x.png", "one");
         f.writeFile("drop2/Art/x.png", "one");
         f.writeFile("drop3/Art/x.png", "three");
         return Paths{f / "drop1/Art", f / "drop2/Art", f / "drop3/Art"};
     },
     {2, 1, 1, 0},
     {{"Art/x.png", "three"}, {"BackupFiles/20070102_090503/Art/x.png", "one"}},
     "Art/\nArt/x.png\n"},
    {"dot files are entries like any other",
     [](auto& f, auto&) {
         f.writeFile("drop/Art/.hidden", "h");
         f.writeFile("drop/.config", "c");
         return Paths{f / "drop/Art", f / "drop/.config"};
     },
     {2, 0, 0, 0},
     {{"Art/.hidden", "h"}, {".config", "c"}},
     "<none>"},
    {"a folder named like an archive is a folder",
     [](auto& f, auto&) {
         f.writeFile("drop/Art/pack.zip/inside.png", "i");
         return Paths{f / "drop/Art"};
     },
     {1, 0, 0, 0},
     {{"Art/pack.zip/inside.png", "i"}},
     "<none>"},
    {"a capitalised .ZIP is a plain file",
     [](auto& f, auto&) {
         f.writeFile("drop/Art/PACK.ZIP", "not extracted");
         return Paths{f / "drop/Art"};
     },
     {1, 0, 0, 0},
     {{"Art/PACK.ZIP", "not extracted"}},
     "<none>"},
    {"file names that are not UTF-8 install byte for byte",
     [](auto& f, auto&) {
         f.writeFile("home/game/Art/caf\xe9.png", "old");
         f.writeFile("drop/Art/caf\xe9.png", "new");
         f.writeFile("drop/Art/\xff\xfe/na\xefve", "n");
         return Paths{f / "drop/Art"};
     },
     {2, 1, 0, 0},
     {{"Art/caf\xe9.png", "new"}, {"Art/\xff\xfe/na\xefve", "n"}, {"BackupFiles/20070102_090503/Art/caf\xe9.png", "old"}},
     "Art/\nArt/caf\xe9.png\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, CountTable, testing::ValuesIn(kCountCases), [](const auto& info) { return testNameFrom(info.param.name); });

TEST(LineUp, AWrapperFolderIsDescendedUntilItsLevelLinesUp) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("drop/Addon v2/Art/flag.png", "flag");
    harness.folder.writeFile("drop/Addon v2/Read Me.txt", "read");
    harness.folder.writeFile("drop/Addon v2/Docs/manual.txt", "manual");
    runUpdate(harness, installation, Paths{harness.folder / "drop/Addon v2"});

    EXPECT_EQ(readFile(installation + "/Art/flag.png"), "flag");
    EXPECT_EQ(readFile(installation + "/Read Me.txt"), "read");
    EXPECT_EQ(readFile(installation + "/Docs/manual.txt"), "manual");
    EXPECT_EQ(countsOf(harness.installer()), (Counts{3, 0, 0, 0}));
    EXPECT_EQ(harness.sheetMessage(), "3 files added\n0 previous files backed up\n0 duplicate files ignored.");
}

TEST(LineUp, PlainFilesAloneAndTreesThatNeverLineUpInstallNothing) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string before = treeListing(installation);
    harness.folder.writeFile("drop/a.txt", "a");
    harness.folder.writeFile("drop/deep/er/b.txt", "b");
    runUpdate(harness, installation, Paths{harness.folder / "drop/a.txt", harness.folder / "drop/deep"});

    EXPECT_EQ(treeListing(installation), before);
    EXPECT_EQ(harness.sheetTitle(), "Application files updated successfully");
    EXPECT_EQ(harness.sheetMessage(), "Your Quorvane already appears to contain all the files you selected.");
}

TEST(LineUp, ALinkBackUpTheTreeEndsTheDescent) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.makeFolder("drop/wrapper/inner");
    ASSERT_EQ(::symlink("..", (harness.folder / "drop/wrapper/inner/up").c_str()), 0);
    ASSERT_EQ(::symlink(".", (harness.folder / "drop/wrapper/self").c_str()), 0);
    runUpdate(harness, installation, Paths{harness.folder / "drop/wrapper"});
    EXPECT_EQ(harness.sheetMessage(), "Your Quorvane already appears to contain all the files you selected.");
}

TEST(LineUp, LinksInsideDroppedTreesAreInstalledAsLinks) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("drop/Art/real.png", "r");
    ASSERT_EQ(::symlink("real.png", (harness.folder / "drop/Art/alias.png").c_str()), 0);
    ASSERT_EQ(::symlink("..", (harness.folder / "drop/Art/loop").c_str()), 0);
    runUpdate(harness, installation, Paths{harness.folder / "drop/Art"});

    char target[64] = {};
    ASSERT_GT(::readlink((installation + "/Art/alias.png").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "real.png");
    EXPECT_EQ(countsOf(harness.installer()), (Counts{3, 0, 0, 0}));
}

TEST(Backup, EmptyFoldersOfMergedFoldersStayWhenSomethingWasReplaced) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/Text/lang/en.txt", "old");
    harness.folder.makeFolder("home/game/Art/Maps");
    harness.folder.writeFile("drop/Text/lang/en.txt", "new");
    harness.folder.writeFile("drop/Art/Maps/m1.map", "m");
    runUpdate(harness, installation, Paths{harness.folder / "drop/Text", harness.folder / "drop/Art"});

    EXPECT_EQ(treeListing(backupFolder(installation)), "Art/\nArt/Maps/\nText/\nText/lang/\nText/lang/en.txt\n");
    EXPECT_EQ(harness.sheetMessage(), "2 files added\n1 previous files backed up\n0 duplicate files ignored.");
}

TEST(Backup, EachRunGetsAFolderOfItsOwnEvenWithinOneSecond) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/Art/a.png", "v1");
    harness.folder.writeFile("drop1/Art/a.png", "v2");
    harness.folder.writeFile("drop2/Art/a.png", "v3");
    runUpdate(harness, installation, Paths{harness.folder / "drop1/Art"});
    runUpdate(harness, installation, Paths{harness.folder / "drop2/Art"});

    EXPECT_EQ(readFile(installation + "/BackupFiles/20070102_090503/Art/a.png"), "v1");
    EXPECT_EQ(readFile(installation + "/BackupFiles/20070102_090504/Art/a.png"), "v2");
    EXPECT_EQ(readFile(installation + "/Art/a.png"), "v3");
}

TEST(Backup, ReplacedFilesKeepTheirModeAndTheNewOnesTheirs) {
    InstallerHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string old = harness.folder.writeFile("home/game/Art/run.sh", "old");
    ::chmod(old.c_str(), 0700);
    const std::string fresh = harness.folder.writeFile("drop/Art/run.sh", "new");
    ::chmod(fresh.c_str(), 0751);
    runUpdate(harness, installation, Paths{harness.folder / "drop/Art"});

    struct stat installed {};
    struct stat kept {};
    ASSERT_EQ(::stat((installation + "/Art/run.sh").c_str(), &installed), 0);
    ASSERT_EQ(::stat((backupFolder(installation) + "/Art/run.sh").c_str(), &kept), 0);
    EXPECT_EQ(installed.st_mode & 0777, 0751u);
    EXPECT_EQ(kept.st_mode & 0777, 0700u);
}

} // namespace
} // namespace quorvane::test

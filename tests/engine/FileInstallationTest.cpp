#include "support/TestNames.h"
#include "support/RunHarness.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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
    // Each item not installed (relative to the test folder) and why.
    std::vector<std::pair<std::string, std::string>> notInstalled = {};
    // The report's title and text, where the row is about them.
    std::string title = {};
    std::string message = {};
};

// The item's path relative to the test folder, however the folder was reached.
std::string relativeTo(const TemporaryFolder& folder, const std::string& item) {
    for (const std::string& base : {folder.path(), std::filesystem::canonical(folder.path()).string()}) {
        if (item.rfind(base + "/", 0) == 0) {
            return item.substr(base.size() + 1);
        }
    }
    return item;
}

Paths linksIn(const std::string& folder) {
    Paths links;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_symlink()) {
            links.push_back(it->path());
        }
    }
    std::sort(links.begin(), links.end());
    return links;
}

class CountTable : public testing::TestWithParam<CountCase> {};

TEST_P(CountTable, CountsCopiesAndBackups) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const Paths items = GetParam().prepare(harness.folder, installation);
    const std::string outside = treeListing(harness.folder / "outside");
    const bool installationThere = exists(installation);
    const Paths links = linksIn(installation);
    harness.runUpdate(installation, items);

    EXPECT_EQ(countsOf(harness.run()), GetParam().expected);
    std::vector<std::pair<std::string, std::string>> notInstalled;
    for (const auto& [item, reason] : harness.run().notInstalled()) {
        notInstalled.emplace_back(relativeTo(harness.folder, item), reason);
    }
    auto expectedNotInstalled = GetParam().notInstalled;
    std::sort(notInstalled.begin(), notInstalled.end());
    std::sort(expectedNotInstalled.begin(), expectedNotInstalled.end());
    EXPECT_EQ(notInstalled, expectedNotInstalled);
    if (!GetParam().title.empty()) {
        EXPECT_EQ(harness.reportTitle(), GetParam().title);
        EXPECT_EQ(harness.reportMessage(), GetParam().message);
    }
    // Nothing outside the installation is touched, the installation is never made again, and no link is
    // ever put into it.
    EXPECT_EQ(treeListing(harness.folder / "outside"), outside);
    EXPECT_EQ(exists(installation), installationThere);
    EXPECT_EQ(linksIn(installation), links);
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
     "<none>",
     {{"drop/Art/Skins", "A folder of that name is in the way."}}},
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
     {{"Art/caf\xe9.png", "new"},
      {"Art/\xff\xfe/na\xefve", "n"},
      {"BackupFiles/20070102_090503/Art/caf\xe9.png", "old"}},
     "Art/\nArt/caf\xe9.png\n"},
    // Hostile trees. A link beneath the dropped items is never installed, followed or written through.
    {"a link inside a lined-up folder, and a later folder of its name",
     [](auto& f, auto&) {
         f.writeFile("outside/o.txt", "o");
         f.writeFile("drop1/Art/real.png", "r");
         std::filesystem::create_directory_symlink(f / "outside", f / "drop1/Art/maps");
         f.writeFile("drop2/Art/maps/x.png", "x");
         return Paths{f / "drop1/Art", f / "drop2/Art"};
     },
     {2, 0, 0, 1},
     {{"Art/real.png", "r"}, {"Art/maps/x.png", "x"}},
     "<none>",
     {{"drop1/Art/maps", "It is a symbolic link."}}},
    {"a lined-up folder that is a link",
     [](auto& f, auto&) {
         f.writeFile("outside/.ssh/id_rsa", "secret");
         f.makeFolder("drop/wrap");
         std::filesystem::create_directory_symlink(f / "outside/.ssh", f / "drop/wrap/Art");
         return Paths{f / "drop/wrap"};
     },
     {0, 0, 0, 1},
     {{"Art/id_rsa", "<missing>"}},
     "<none>",
     {{"drop/wrap/Art", "It is a symbolic link."}},
     "Application files update incomplete",
     "0 files added\n0 previous files backed up\n0 duplicate files ignored.\n1 files could not be "
     "installed."},
    {"a dropped link is followed once, and no further",
     [](auto& f, auto&) {
         f.writeFile("real/Art v2/new.png", "n");
         std::filesystem::create_directory_symlink("..", f / "real/Art v2/up");
         f.makeFolder("drop");
         std::filesystem::create_directory_symlink(f / "real/Art v2", f / "drop/Art");
         return Paths{f / "drop/Art"};
     },
     {1, 0, 0, 1},
     {{"Art/new.png", "n"}},
     "<none>",
     {{"real/Art v2/up", "It is a symbolic link."}}},
    {"a lattice of links, two from each level to the next",
     [](auto& f, auto&) {
         for (int level = 0; level < 20; ++level) {
             const std::string name = "drop/lattice/L" + std::to_string(100 + level);
             f.makeFolder(name);
             for (const char* link : {"/a", "/b"}) {
                 std::filesystem::create_directory_symlink("../L" + std::to_string(101 + level),
                                                           f / (name + link));
             }
         }
         return Paths{f / "drop/lattice"};
     },
     {0, 0, 0, 40},
     {},
     "<none>",
     [] {
         std::vector<std::pair<std::string, std::string>> links;
         for (int level = 0; level < 20; ++level) {
             for (const char* link : {"/a", "/b"}) {
                 links.emplace_back("drop/lattice/L" + std::to_string(100 + level) + link,
                                    "It is a symbolic link.");
             }
         }
         return links;
     }()},
    {"links the user made in the installation are followed as ever",
     [](auto& f, auto&) {
         f.makeFolder("disk/Art");
         std::filesystem::remove(f / "home/game/Art");
         std::filesystem::create_directory_symlink(f / "disk/Art", f / "home/game/Art");
         f.writeFile("drop/Art/x.png", "x");
         return Paths{f / "drop/Art"};
     },
     {1, 0, 0, 0},
     {{"Art/x.png", "x"}},
     "<none>"},
    {"a folder reached twice is walked once",
     [](auto& f, auto&) {
         f.writeFile("drop/wrap/sub/Art/x.png", "x");
         return Paths{f / "drop/wrap", f / "drop/wrap/sub"};
     },
     {1, 0, 0, 0},
     {{"Art/x.png", "x"}},
     "<none>"},
    {"a pipe inside a new folder fails alone",
     [](auto& f, auto&) {
         f.writeFile("drop/Art/Maps/a.map", "a");
         ::mkfifo((f / "drop/Art/Maps/pipe").c_str(), 0644);
         return Paths{f / "drop/Art"};
     },
     {1, 0, 0, 1},
     {{"Art/Maps/a.map", "a"}},
     "<none>",
     {{"drop/Art/Maps/pipe", "It is a pipe, socket or device."}}},
    {"the whole disk, the installation by another name and its backups are never installed",
     [](auto& f, auto& installation) {
         f.writeFile("home/game/BackupFiles/20010101_000000/Art/old.png", "old");
         std::filesystem::create_directory_symlink(installation, f / "home/alias");
         return Paths{"/", f / "home/alias", installation + "/BackupFiles"};
     },
     {0, 0, 0, 3},
     {{"Art/old.png", "<missing>"}},
     "<none>",
     {{"/", "It holds the installation."},
      {"home/alias", "It is the installation itself."},
      {"home/game/BackupFiles", "It is in the installation's backup folder."}}},
    {"a drop of which nothing lines up",
     [](auto& f, auto&) {
         f.makeFolder("home/game/.cache");
         f.makeFolder("home/game/BackupFiles");
         f.writeFile("drop/a.txt", "a");
         f.writeFile("drop/deep/er/b.txt", "b");
         return Paths{f / "drop/a.txt", f / "drop/deep"};
     },
     {0, 0, 0, 0},
     {{"a.txt", "<missing>"}, {"b.txt", "<missing>"}},
     "<none>",
     {},
     "Nothing was installed",
     "None of the items you selected has a folder that matches this installation (Art, Text)."},
};

INSTANTIATE_TEST_SUITE_P(Cases, CountTable, testing::ValuesIn(kCountCases), [](const auto& info) { return testNameFrom(info.param.name); });

TEST(LineUp, AWrapperFolderIsDescendedUntilItsLevelLinesUp) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("drop/Addon v2/Art/flag.png", "flag");
    harness.folder.writeFile("drop/Addon v2/Read Me.txt", "read");
    harness.folder.writeFile("drop/Addon v2/Docs/manual.txt", "manual");
    harness.runUpdate(installation, Paths{harness.folder / "drop/Addon v2"});

    EXPECT_EQ(readFile(installation + "/Art/flag.png"), "flag");
    EXPECT_EQ(readFile(installation + "/Read Me.txt"), "read");
    EXPECT_EQ(readFile(installation + "/Docs/manual.txt"), "manual");
    EXPECT_EQ(countsOf(harness.run()), (Counts{3, 0, 0, 0}));
    EXPECT_EQ(harness.reportMessage(), "3 files added\n0 previous files backed up\n0 duplicate files ignored.");
}

TEST(Backup, EmptyFoldersOfMergedFoldersStayWhenSomethingWasReplaced) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/Text/lang/en.txt", "old");
    harness.folder.makeFolder("home/game/Art/Maps");
    harness.folder.writeFile("drop/Text/lang/en.txt", "new");
    harness.folder.writeFile("drop/Art/Maps/m1.map", "m");
    harness.runUpdate(installation, Paths{harness.folder / "drop/Text", harness.folder / "drop/Art"});

    EXPECT_EQ(treeListing(backupFolder(installation)), "Art/\nArt/Maps/\nText/\nText/lang/\nText/lang/en.txt\n");
    EXPECT_EQ(harness.reportMessage(), "2 files added\n1 previous files backed up\n0 duplicate files ignored.");
}

TEST(Backup, EachRunGetsAFolderOfItsOwnEvenWithinOneSecond) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/Art/a.png", "v1");
    harness.folder.writeFile("drop1/Art/a.png", "v2");
    harness.folder.writeFile("drop2/Art/a.png", "v3");
    harness.runUpdate(installation, Paths{harness.folder / "drop1/Art"});
    harness.runUpdate(installation, Paths{harness.folder / "drop2/Art"});

    EXPECT_EQ(readFile(installation + "/BackupFiles/20070102_090503/Art/a.png"), "v1");
    EXPECT_EQ(readFile(installation + "/BackupFiles/20070102_090504/Art/a.png"), "v2");
    EXPECT_EQ(readFile(installation + "/Art/a.png"), "v3");
}

TEST(Backup, ReplacedFilesKeepTheirModeAndTheNewOnesTheirs) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string old = harness.folder.writeFile("home/game/Art/run.sh", "old");
    ::chmod(old.c_str(), 0700);
    const std::string fresh = harness.folder.writeFile("drop/Art/run.sh", "new");
    ::chmod(fresh.c_str(), 0751);
    harness.runUpdate(installation, Paths{harness.folder / "drop/Art"});

    struct stat installed {};
    struct stat kept {};
    ASSERT_EQ(::stat((installation + "/Art/run.sh").c_str(), &installed), 0);
    ASSERT_EQ(::stat((backupFolder(installation) + "/Art/run.sh").c_str(), &kept), 0);
    EXPECT_EQ(installed.st_mode & 0777, 0751u);
    EXPECT_EQ(kept.st_mode & 0777, 0700u);
}

TEST(BackupFolder, IsMadeOnFirstUseAndKeptForTheRun) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    UpdateRun& run = harness.makeRun(installation, {});
    const auto first = run.privateFiles();
    EXPECT_EQ(first, installation + "/BackupFiles/20070102_090503");
    EXPECT_TRUE(isFolder(*first));
    harness.clock.advance(std::chrono::seconds(5));
    EXPECT_EQ(run.privateFiles(), first) << "the same folder until the run ends";
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
        RunHarness harness(&files);
        const std::string installation = harness.folder.makeInstallation("home/game");
        for (const std::string& name : c.takenBefore) {
            name.ends_with("/") ? (void)harness.folder.makeFolder("home/game/BackupFiles/" + name)
                                : (void)harness.folder.writeFile("home/game/BackupFiles/" + name, "taken");
        }
        const auto folder = harness.makeRun(installation, {}).privateFiles();
        EXPECT_EQ(folder, installation + "/BackupFiles/" + c.expected);
        EXPECT_EQ(treeListing(*folder), "") << "a folder of this run's own";
        EXPECT_EQ(harness.clock.slept().count(), 0);
    }
}

TEST(BackupFolder, WithoutATargetThereIsNone) {
    RunHarness harness;
    EXPECT_FALSE(harness.makeRun("", {}).privateFiles());
    EXPECT_TRUE(harness.log.contains("Can't create directory"));
}

TEST(BackupFolder, ABackupRootThatIsAFileGivesAPathThatCannotBeMade) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/BackupFiles", "in the way");
    EXPECT_EQ(harness.makeRun(installation, {}).privateFiles(), installation + "/BackupFiles/20070102_090503");
    EXPECT_FALSE(harness.log.contains("Can't create directory"));
    EXPECT_EQ(readFile(installation + "/BackupFiles"), "in the way");
}

} // namespace
} // namespace quorvane::test

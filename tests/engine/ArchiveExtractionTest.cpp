#include "support/UpdateRun.h"
#include "support/EventLoopWait.h"
#include "support/FakeDraggingInfo.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

std::int32_t countEntries(const TemporaryFolder& folder, const std::string& bytes) {
    const std::string path = folder.writeFile("walk.zip", bytes);
    return MyInstallerTestPeer::countArchiveEntries(path, bytes.size());
}

TEST(EntryWalk, StepsFromHeaderToHeader) {
    TemporaryFolder folder;
    const std::string first = localHeader(100, 9, 0);
    const std::string second = localHeader(1000, 300, 24);
    EXPECT_EQ(first.size(), 139u);
    EXPECT_EQ(second.size(), 1354u);
    EXPECT_EQ(countEntries(folder, first + second), 2);
    EXPECT_EQ(countEntries(folder, first + second + std::string(29, 'x')), 2) << "a header cut short ends it";
    EXPECT_EQ(countEntries(folder, first + second + std::string(30, '\0')), 3);
}

TEST(EntryWalk, CountsEveryEntryAndOnThroughTheCentralDirectory) {
    TemporaryFolder folder;
    for (int n : {1, 2, 7, 40}) {
        ZipBuilder zip;
        for (int i = 0; i < n; ++i) {
            zip.add("dir/file" + std::to_string(i), std::string(static_cast<std::size_t>(i * 13), 'z'));
        }
        EXPECT_GE(countEntries(folder, zip.bytes()), n + 1) << n << " entries";
    }
}

TEST(EntryWalk, EndsForAnyBytes) {
    TemporaryFolder folder;
    EXPECT_EQ(countEntries(folder, ""), 0);
    EXPECT_EQ(countEntries(folder, "PK\3\4 short"), 0);
    EXPECT_EQ(countEntries(folder, std::string(4096, '\xff')), 1) << "sizes far past the end";
    EXPECT_EQ(countEntries(folder, std::string(4096, '\0')), 136) << "every step moves on by 30 bytes at least";
    EXPECT_EQ(MyInstallerTestPeer::countArchiveEntries(folder / "missing.zip", 1000), 0);
}

class ArchiveTest : public testing::Test {
protected:
    ArchiveTest() {
        installation = harness.folder.makeInstallation("home/game");
        harness.folder.writeFile("home/game/Art/old.png", "old");
        harness.folder.makeFolder("drop");
    }
    std::string drop(const std::string& relative) const { return harness.folder / ("drop/" + relative); }
    void runAndWait(const Paths& items) {
        runUpdate(harness, installation, items);
        ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); })) << "no completion report";
    }

    InstallerHarness harness;
    std::string installation;
};

TEST_F(ArchiveTest, ADroppedArchiveIsExtractedInstalledAndRemoved) {
    const std::string archive = ZipBuilder()
                                    .add("Art/")
                                    .add("Art/old.png", "new")
                                    .add("Art/Maps/m1.map", "m1")
                                    .add("Text/readme.txt", "r")
                                    .writeTo(drop("Addon.zip"));
    runUpdate(harness, installation, Paths{archive});
    EXPECT_TRUE(harness.window.sheets.empty()) << "the report waits for the extraction";
    EXPECT_TRUE(harness.installer().updateInProgress());
    EXPECT_EQ(harness.installer().validateDrop(harness.table, FakeDraggingInfo(Paths{archive}), 0,
                                               TableViewDropOperation::NSTableViewDropOn),
              DragOperation::NSDragOperationNone)
        << "no drop while an extraction runs";
    EXPECT_GE(harness.installer().progressMaxValue(), 2 * 5);
    ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); }));

    EXPECT_EQ(readFile(installation + "/Art/old.png"), "new");
    EXPECT_EQ(readFile(installation + "/Art/Maps/m1.map"), "m1");
    EXPECT_EQ(readFile(installation + "/Text/readme.txt"), "r");
    EXPECT_EQ(readFile(backupFolder(installation) + "/Art/old.png"), "old");
    EXPECT_EQ(harness.sheetMessage(), "3 files added\n1 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(treeListing(harness.folder / "drop"), "Addon.zip\n") << "the temporary folder is gone";
    EXPECT_EQ(harness.fileLabel.history.front(), "Unzipping:");
    EXPECT_EQ(harness.file.history.front(), "Addon.zip");
    EXPECT_FALSE(harness.installer().updateInProgress());
}

TEST_F(ArchiveTest, ArchivesInsideDroppedFoldersAndInsideArchives) {
    harness.folder.makeFolder("drop/wrapper");
    ZipBuilder().add("Art/inner.png", "inner").writeTo(harness.folder / "inner.zip");
    ZipBuilder()
        .add("Text/outer.txt", "outer")
        .add("inner.zip", readFile(harness.folder / "inner.zip"))
        .writeTo(drop("wrapper/outer.zip"));
    ZipBuilder().add("Art/second.png", "2").writeTo(drop("wrapper/second.zip"));
    harness.folder.writeFile("drop/wrapper/readme.txt", "not lined up");
    runAndWait(Paths{drop("wrapper")});

    EXPECT_EQ(readFile(installation + "/Text/outer.txt"), "outer");
    EXPECT_EQ(readFile(installation + "/Art/inner.png"), "inner");
    EXPECT_EQ(readFile(installation + "/Art/second.png"), "2");
    EXPECT_FALSE(exists(installation + "/readme.txt"));
    EXPECT_FALSE(exists(installation + "/inner.zip")) << "an archive is never copied";
    EXPECT_EQ(treeListing(drop("wrapper")), "outer.zip\nreadme.txt\nsecond.zip\n") << "every temporary folder is gone";
    EXPECT_EQ(harness.window.sheets.size(), 1u) << "one report, after the last extraction";
    EXPECT_EQ(harness.sheetMessage(), "3 files added\n0 previous files backed up\n0 duplicate files ignored.");
}

TEST_F(ArchiveTest, EntriesNamedToEscapeStayInsideTheTemporaryFolder) {
    ZipBuilder()
        .add("../escaped.txt", "up")
        .add("/absolute.txt", "abs")
        .add("Art/../../sneaky.txt", "s")
        .add("Art/fine.png", "fine")
        .writeTo(drop("nasty.zip"));
    runAndWait(Paths{drop("nasty.zip")});
    EXPECT_EQ(readFile(installation + "/Art/fine.png"), "fine");
    EXPECT_EQ(treeListing(harness.folder / "drop"), "nasty.zip\n");
    EXPECT_FALSE(exists(harness.folder / "escaped.txt"));
    EXPECT_FALSE(exists(harness.folder / "sneaky.txt"));
    EXPECT_FALSE(exists("/absolute.txt"));
    EXPECT_FALSE(exists(installation + "/../escaped.txt"));
}

TEST_F(ArchiveTest, NonAsciiEntryNamesInstallAsWritten) {
    ZipBuilder().add("Art/caf\xc3\xa9/\xc3\xa9t\xc3\xa9.png", "summer").writeTo(drop("accents.zip"));
    runAndWait(Paths{drop("accents.zip")});
    EXPECT_EQ(readFile(installation + "/Art/caf\xc3\xa9/\xc3\xa9t\xc3\xa9.png"), "summer");
}

// A pipe named like an archive would keep the walk and the tool waiting for a writer for good.
TEST_F(ArchiveTest, APipeNamedLikeAnArchiveIsReportedAndTheRunEnds) {
    ASSERT_EQ(::mkfifo(drop("Addon.zip").c_str(), 0644), 0);
    ZipBuilder().add("Art/new.png", "new").writeTo(drop("Real.zip"));
    runAndWait(Paths{drop("Addon.zip"), drop("Real.zip")});
    EXPECT_EQ(readFile(installation + "/Art/new.png"), "new");
    EXPECT_EQ(countsOf(harness.installer()), (Counts{1, 0, 0, 1}));
    EXPECT_EQ(harness.sheetTitle(), "Application files update incomplete");
    EXPECT_EQ(treeListing(harness.folder / "drop"), "Addon.zip\nReal.zip\n");
}

TEST_F(ArchiveTest, AFileThatIsNoZipIsReportedAndTheRunEnds) {
    harness.folder.writeFile("drop/broken.zip", "this is no archive");
    runAndWait(Paths{drop("broken.zip")});
    EXPECT_EQ(harness.sheetTitle(), "Application files update incomplete");
    EXPECT_EQ(harness.sheetMessage(), "0 files added\n0 previous files backed up\n0 duplicate files ignored.\n"
                                      "1 files could not be installed.");
    EXPECT_TRUE(harness.log.contains("Error: process returned code 1"));
    EXPECT_EQ(treeListing(harness.folder / "drop"), "broken.zip\n");
}

class ArchiveToolTest : public testing::Test {
protected:
    InstallerHarness::Options withJar(const std::string& jar) {
        InstallerHarness::Options options;
        options.jarPath = jar;
        return options;
    }
    TemporaryFolder tools;
};

TEST_F(ArchiveToolTest, AMissingToolIsReportedAndTheRunEnds) {
    InstallerHarness harness(withJar(tools / "no-such-jar"));
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/a.png", "a").writeTo(harness.folder / "a.zip");
    runUpdate(harness, installation, Paths{archive});
    ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); }));
    EXPECT_EQ(harness.sheetTitle(), "Application files update incomplete");
    EXPECT_EQ(treeListing(harness.folder.path()).find("20070102"), std::string::npos);
}

TEST_F(ArchiveToolTest, WhatAFailingToolExtractedIsStillInstalled) {
    // Writes one entry, lists it among lines in another language, then fails.
    const std::string jar = tools.writeFile("jar", "#!/bin/sh\n"
                                                   "mkdir -p Art && printf new > Art/part.png\n"
                                                   "printf '  erstellt: Art/\\n  entpackt: Art/part.png\\nfertig\\n'\n"
                                                   "exit 3\n");
    ::chmod(jar.c_str(), 0755);
    InstallerHarness harness(withJar(jar));
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/part.png", "new").writeTo(harness.folder / "part.zip");
    runUpdate(harness, installation, Paths{archive});
    ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); }));

    EXPECT_EQ(readFile(installation + "/Art/part.png"), "new");
    EXPECT_EQ(harness.sheetMessage(), "1 files added\n0 previous files backed up\n0 duplicate files ignored.\n"
                                      "1 files could not be installed.");
    EXPECT_TRUE(harness.log.contains("Error: process returned code 3"));
    EXPECT_NE(std::find(harness.file.history.begin(), harness.file.history.end(), "part.png"),
              harness.file.history.end())
        << "the last listed entry is shown";
}

TEST_F(ArchiveToolTest, ExtractedFilesAreMovedIntoPlaceNotCopied) {
    // Keeps a second name for the file it extracts, to tell afterwards which file was installed.
    const std::string jar = tools.writeFile("jar", "#!/bin/sh\n"
                                                   "mkdir -p Art && printf new > Art/moved.png\n"
                                                   "ln Art/moved.png \"$0.witness\"\n"
                                                   "echo '  inflated: Art/moved.png'\n");
    ::chmod(jar.c_str(), 0755);
    InstallerHarness harness(withJar(jar));
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/moved.png", "new").writeTo(harness.folder / "a.zip");
    runUpdate(harness, installation, Paths{archive});
    ASSERT_TRUE(waitUntil([&] { return !harness.window.sheets.empty(); }));

    struct stat installed {};
    struct stat witness {};
    ASSERT_EQ(::stat((installation + "/Art/moved.png").c_str(), &installed), 0);
    ASSERT_EQ(::stat((jar + ".witness").c_str(), &witness), 0);
    EXPECT_EQ(installed.st_ino, witness.st_ino);
    EXPECT_EQ(harness.sheetMessage(), "1 files added\n0 previous files backed up\n0 duplicate files ignored.");
}

TEST_F(ArchiveToolTest, AnArchiveWhoseTemporaryFolderCannotBeMadeIsReported) {
    struct NoTemporaryFolders : FileManager {
        bool createDirectoryAtPath(const std::string& path) override {
            return path.find("/drop/2007") == std::string::npos && FileManager::createDirectoryAtPath(path);
        }
    } files;
    InstallerHarness::Options options;
    options.fileManager = &files;
    InstallerHarness harness(options);
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/a.png", "a").writeTo(harness.folder.makeFolder("drop") + "/a.zip");
    runUpdate(harness, installation, Paths{archive});
    ASSERT_EQ(harness.window.sheets.size(), 1u) << "the report comes at once";
    EXPECT_TRUE(harness.log.contains("Failed to create temporary directory for unzip operation"));
    EXPECT_EQ(harness.sheetTitle(), "Application files update incomplete");
}

TEST_F(ArchiveToolTest, TwoArchivesInOneFolderGetConsecutiveSeconds) {
    InstallerHarness harness;
    const std::string a = harness.folder.writeFile("drop/a.zip", "");
    auto peer = harness.peer();
    EXPECT_EQ(peer.createTemporaryDirectoryForFile(a), harness.folder / "drop/20070102_090503");
    EXPECT_EQ(peer.createTemporaryDirectoryForFile(a), harness.folder / "drop/20070102_090504");
    EXPECT_EQ(harness.installer().tempFolders().size(), 2u);
    EXPECT_LE(harness.clock.slept(), std::chrono::milliseconds(1000)) << "waited in short sleeps";
}

} // namespace
} // namespace quorvane::test

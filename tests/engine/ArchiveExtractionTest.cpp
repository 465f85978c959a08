#include "support/EventLoopWait.h"
#include "support/RunHarness.h"
#include "support/ZipBuilder.h"
#include "platform/PathUtilities.h"

#include <QThread>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// Child processes of this test that still run.
int runningChildren() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (std::getline(stat, line) && line.rfind(')') != std::string::npos) {
            std::istringstream fields(line.substr(line.rfind(')') + 2));
            char state = 0;
            pid_t parent = 0;
            fields >> state >> parent;
            count += parent == ::getpid() && state != 'Z';
        }
    }
    return count;
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
        harness.runUpdate(installation, items);
        ASSERT_TRUE(waitUntil([&] { return harness.reported(); })) << "no completion report";
    }

    RunHarness harness;
    std::string installation;
};

TEST_F(ArchiveTest, ADroppedArchiveIsExtractedInstalledAndRemoved) {
    const std::string archive = ZipBuilder()
                                    .add("Art/")
                                    .add("Art/old.png", "new")
                                    .add("Art/Maps/m1.map", "m1")
                                    .add("Text/readme.txt", "r")
                                    .writeTo(drop("Addon.zip"));
    harness.makeRun(installation, Paths{archive}).start();
    EXPECT_TRUE(harness.run().inProgress());
    ASSERT_TRUE(waitUntil([&] { return harness.reported(); }));
    EXPECT_EQ(harness.run().progressMaxValue(), 1 + 4 + 6)
        << "the archive, its entries extracted, and the entries on disk installed";

    EXPECT_EQ(readFile(installation + "/Art/old.png"), "new");
    EXPECT_EQ(readFile(installation + "/Art/Maps/m1.map"), "m1");
    EXPECT_EQ(readFile(installation + "/Text/readme.txt"), "r");
    EXPECT_EQ(readFile(backupFolder(installation) + "/Art/old.png"), "old");
    EXPECT_EQ(harness.reportMessage(), "3 files added\n1 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(treeListing(harness.folder / "drop"), "Addon.zip\n") << "the temporary folder is gone";
    EXPECT_EQ(harness.progress.front().status, "Unzipping:");
    EXPECT_EQ(harness.progress.front().file, "Addon.zip");
    EXPECT_FALSE(harness.run().inProgress());
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
    EXPECT_EQ(harness.reports.size(), 1u) << "one report, after the last extraction";
    EXPECT_EQ(harness.reportMessage(), "3 files added\n0 previous files backed up\n0 duplicate files ignored.");
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
    EXPECT_EQ(countsOf(harness.run()), (Counts{1, 0, 0, 1}));
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
    EXPECT_EQ(treeListing(harness.folder / "drop"), "Addon.zip\nReal.zip\n");
}

// An archive is installed whole or not at all. Each of these is named with its reason, its files count as
// not installed, and nothing of it reaches the installation.
TEST_F(ArchiveTest, DamagedTruncatedOrOversizedArchivesInstallNothing) {
    const std::string good = ZipBuilder().add("Art/a.png", std::string(100, 'a')).add("Art/b.png", "b").bytes();
    std::string damaged = good;
    damaged[damaged.find("aaaa")] = 'X'; // jar extracts it and exits 0
    const std::string unreadable = "The archive is damaged: its table of contents cannot be read.";
    const std::map<std::string, std::pair<std::string, std::string>> cases = {
        {"damaged.zip", {damaged, "The archive is damaged: Art/a.png does not match its recorded size and checksum."}},
        {"truncated.zip", {good.substr(0, good.size() / 2), unreadable}},
        {"no-zip.zip", {"this is no archive", unreadable}},
        {"huge.zip",
         {ZipBuilder().add("Art/huge.png", "small").declareSize(std::uint64_t{1} << 50).add("Art/c.png", "c").bytes(),
          "It needs 1125899906842625 bytes of free space to be extracted, and its disk has "}},
    };
    Paths archives;
    for (const auto& [name, archive] : cases) {
        archives.push_back(harness.folder.writeFile("drop/" + name, archive.first));
    }
    runAndWait(archives);

    std::map<std::string, std::string> reasons;
    for (const auto& [item, reason] : harness.run().notInstalled()) {
        reasons[path::lastPathComponent(item)] = reason;
    }
    ASSERT_EQ(reasons.size(), cases.size());
    for (const auto& [name, archive] : cases) {
        EXPECT_TRUE(reasons[name].starts_with(archive.second)) << name << ": " << reasons[name];
    }
    EXPECT_EQ(harness.reportMessage(), "0 files added\n0 previous files backed up\n0 duplicate files ignored.\n"
                                      "6 files could not be installed.");
    EXPECT_EQ(treeListing(installation + "/Art"), "old.png\n");
    EXPECT_EQ(treeListing(harness.folder / "drop"), "damaged.zip\nhuge.zip\nno-zip.zip\ntruncated.zip\n");
}

// jar writes each entry's sizes after its data, so its local headers say nothing of what follows.
TEST_F(ArchiveTest, TheProgressBarCountsEveryEntryOfAnArchiveJarMade) {
    for (int i = 0; i < 30; ++i) {
        harness.folder.writeFile("made/Art/" + std::to_string(i) + ".png", std::string(1000, static_cast<char>('a' + i)));
    }
    const std::string archive = drop("made.zip");
    ASSERT_EQ(std::system(("jar --create --no-manifest --file '" + archive + "' -C '" + harness.folder / "made" +
                           "' Art").c_str()),
              0);
    harness.runUpdate(installation, Paths{archive});
    EXPECT_EQ(harness.run().progressMaxValue(), 1 + 2 * 31) << "the archive, twice Art/ and its 30 files";
    ASSERT_TRUE(waitUntil([&] { return harness.reported(); }));
    EXPECT_EQ(readFile(installation + "/Art/29.png"), std::string(1000, 'a' + 29));
}

// Archives side by side get their folders at once, and wait for a free core rather than all starting.
TEST_F(ArchiveTest, ThirtyArchivesInOneFolderAllInstallAToolPerCoreAtATime) {
    Paths archives;
    for (int i = 0; i < 30; ++i) {
        archives.push_back(ZipBuilder().add("Art/" + std::to_string(i) + ".png", "x").writeTo(drop(std::to_string(i) + ".zip")));
    }
    harness.runUpdate(installation, archives);
    EXPECT_LE(runningChildren(), std::max(1, QThread::idealThreadCount()));
    ASSERT_TRUE(waitUntil([&] { return harness.reported(); }, std::chrono::minutes(2)));
    EXPECT_EQ(harness.reportMessage(), "30 files added\n0 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(treeListing(harness.folder / "drop").find("2007"), std::string::npos) << "every folder is gone";
}

class ArchiveToolTest : public testing::Test {
protected:
    TemporaryFolder tools;
};

TEST_F(ArchiveToolTest, AMissingToolIsReportedAndTheRunEnds) {
    RunHarness harness(nullptr, tools / "no-such-jar");
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/a.png", "a").writeTo(harness.folder / "a.zip");
    harness.runUpdate(installation, Paths{archive});
    ASSERT_TRUE(waitUntil([&] { return harness.reported(); }));
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
    EXPECT_EQ(treeListing(harness.folder.path()).find("20070102"), std::string::npos);
}

TEST_F(ArchiveToolTest, WhatAFailingToolExtractedIsNotInstalled) {
    // Writes one entry, lists it among lines in another language, then fails.
    const std::string jar = tools.writeFile("jar", "#!/bin/sh\n"
                                                   "mkdir -p Art && printf new > Art/part.png\n"
                                                   "printf '  erstellt: Art/\\n  entpackt: Art/part.png\\nfertig\\n'\n"
                                                   "sleep 0.2; exit 3\n");
    ::chmod(jar.c_str(), 0755);
    RunHarness harness(nullptr, jar);
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/part.png", "new").writeTo(harness.folder / "part.zip");
    harness.runUpdate(installation, Paths{archive});
    ASSERT_TRUE(waitUntil([&] { return harness.reported(); }));

    EXPECT_FALSE(exists(installation + "/Art/part.png")) << "what the tool wrote may be cut short";
    EXPECT_EQ(harness.reportMessage(), "0 files added\n0 previous files backed up\n0 duplicate files ignored.\n"
                                      "1 files could not be installed.");
    EXPECT_EQ(harness.run().notInstalled().at(0).reason, "The archive could not be extracted whole.");
    EXPECT_EQ(treeListing(harness.folder.path()).find("20070102"), std::string::npos);
    EXPECT_TRUE(harness.log.contains("Error: process returned code 3"));
    EXPECT_TRUE(std::any_of(harness.progress.begin(), harness.progress.end(),
                            [](const auto& progress) { return progress.file == "part.png"; }))
        << "the last listed entry is shown";
}

TEST_F(ArchiveToolTest, ExtractedFilesAreMovedIntoPlaceNotCopied) {
    // Keeps a second name for the file it extracts, to tell afterwards which file was installed.
    const std::string jar = tools.writeFile("jar", "#!/bin/sh\n"
                                                   "mkdir -p Art && printf new > Art/moved.png\n"
                                                   "ln Art/moved.png \"$0.witness\"\n"
                                                   "echo '  inflated: Art/moved.png'\n");
    ::chmod(jar.c_str(), 0755);
    RunHarness harness(nullptr, jar);
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/moved.png", "new").writeTo(harness.folder / "a.zip");
    harness.runUpdate(installation, Paths{archive});
    ASSERT_TRUE(waitUntil([&] { return harness.reported(); }));

    struct stat installed {};
    struct stat witness {};
    ASSERT_EQ(::stat((installation + "/Art/moved.png").c_str(), &installed), 0);
    ASSERT_EQ(::stat((jar + ".witness").c_str(), &witness), 0);
    EXPECT_EQ(installed.st_ino, witness.st_ino);
    EXPECT_EQ(harness.reportMessage(), "1 files added\n0 previous files backed up\n0 duplicate files ignored.");
}

TEST_F(ArchiveToolTest, AnArchiveWhoseTemporaryFolderCannotBeMadeIsReported) {
    struct NoTemporaryFolders : FileManager {
        bool createDirectoryAtPath(const std::string& path) override {
            return path.find("/drop/2007") == std::string::npos && FileManager::createDirectoryAtPath(path);
        }
    } files;
    RunHarness harness(&files);
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/a.png", "a").writeTo(harness.folder.makeFolder("drop") + "/a.zip");
    harness.runUpdate(installation, Paths{archive});
    ASSERT_EQ(harness.reports.size(), 1u) << "the report comes at once";
    EXPECT_TRUE(harness.log.contains("Failed to create temporary directory for unzip operation"));
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
}

// Quitting, closing the window or SIGTERM all end in the teardown of the run: no tool runs on, and no
// folder of it stays.
TEST_F(ArchiveToolTest, AToolStillRunningStopsWhenTheProgramEnds) {
    const std::string jar = tools.writeFile("jar", "#!/bin/sh\necho $$ > \"$0.pid\"\n"
                                                   "while :; do printf x >> written; sleep 0.05; done\n");
    ::chmod(jar.c_str(), 0755);
    RunHarness harness(nullptr, jar);
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string archive = ZipBuilder().add("Art/a.png", "a").writeTo(harness.folder.makeFolder("drop") + "/a.zip");
    harness.runUpdate(installation, Paths{archive});
    ASSERT_TRUE(waitUntil([&] { return exists(harness.folder / "drop/20070102_090503/written"); }));
    const auto tool = static_cast<pid_t>(std::stoi(readFile(jar + ".pid")));
    harness.endRun();
    EXPECT_NE(::kill(tool, 0), 0) << "the tool still runs";
    EXPECT_EQ(treeListing(harness.folder / "drop"), "a.zip\n");
}

TEST_F(ArchiveToolTest, ArchivesInOneFolderGetTheirFoldersAtOnce) {
    RunHarness harness;
    const std::string a = harness.folder.writeFile("drop/a.zip", "");
    ArchiveExtraction& extraction = harness.makeRun(harness.folder.makeInstallation("home/game"), {a}).extraction();
    EXPECT_EQ(extraction._createTemporaryDirectoryForFile(a), harness.folder / "drop/20070102_090503");
    EXPECT_EQ(extraction._createTemporaryDirectoryForFile(a), harness.folder / "drop/20070102_090503-2");
    EXPECT_EQ(extraction._createTemporaryDirectoryForFile(a), harness.folder / "drop/20070102_090503-3");
    EXPECT_EQ(extraction.tempFolders().size(), 3u);
    EXPECT_EQ(harness.clock.slept(), std::chrono::milliseconds(0));
}

TEST(TempFolders, TheWriterDeletesTheFoldersOfTheOldList) {
    RunHarness harness;
    ArchiveExtraction& extraction = harness.makeRun("", {}).extraction();
    harness.folder.writeFile("home/a/deep/file", "x");
    const std::string a = harness.folder / "home/a";
    const std::string b = harness.folder.makeFolder("home/b");
    const std::string c = harness.folder.makeFolder("home/c");
    extraction.setTempFolders(Paths{a, b});

    extraction.setTempFolders(extraction.tempFolders()); // the very list again
    EXPECT_FALSE(exists(a));
    EXPECT_FALSE(exists(b));
    EXPECT_EQ(extraction.tempFolders(), (Paths{a, b}));

    extraction.setTempFolders(Paths{c});
    extraction.setTempFolders(std::nullopt);
    EXPECT_FALSE(exists(c));
    // The list is made on first read, and then kept.
    extraction.tempFolders().push_back("/x");
    EXPECT_EQ(&extraction.tempFolders(), &extraction.tempFolders());
    EXPECT_EQ(extraction.tempFolders(), Paths{"/x"});
    extraction.setTempFolders(std::nullopt); // "/x" does not exist: nothing to delete
}

TEST(Destruction, DeletesTheExtractionFoldersAndKeepsTheBackup) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string extraction = harness.folder.writeFile("home/20070102_090503/x", "x");
    UpdateRun& run = harness.makeRun(installation, {});
    const std::string backup = *run.privateFiles();
    run.extraction().tempFolders().push_back(harness.folder / "home/20070102_090503");
    harness.endRun();
    EXPECT_FALSE(exists(harness.folder / "home/20070102_090503"));
    EXPECT_TRUE(isFolder(backup));
}

} // namespace
} // namespace quorvane::test

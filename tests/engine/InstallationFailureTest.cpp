#include "support/RunHarness.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The real file services, with chosen operations failing for paths that hold a given text.
class FaultyFileManager : public FileManager {
public:
    std::function<bool(const std::string& from, const std::string& to)> failCopy = [](auto&, auto&) { return false; };
    std::function<bool(const std::string& to)> failLink = [](auto&) { return false; };
    std::function<bool(const std::string& path)> failCreate = [](auto&) { return false; };
    std::function<bool(const std::string& to)> failReplace = [](auto&) { return false; };
    std::function<bool(const std::string& to)> failExchange = [](auto&) { return false; };

    bool copyPath(const std::string& from, const std::string& to, CopyOutcome* outcome) override {
        return !failCopy(from, to) && FileManager::copyPath(from, to, outcome);
    }
    bool linkPath(const std::string& from, const std::string& to) override {
        return !failLink(to) && FileManager::linkPath(from, to);
    }
    bool createDirectoryAtPath(const std::string& path) override {
        return !failCreate(path) && FileManager::createDirectoryAtPath(path);
    }
    bool replacePath(const std::string& from, const std::string& to) override {
        return !failReplace(to) && FileManager::replacePath(from, to);
    }
    bool movePath(const std::string& from, const std::string& to) override {
        return !failReplace(to) && FileManager::movePath(from, to);
    }
    bool exchangePath(const std::string& path1, const std::string& path2) override {
        return !failExchange(path2) && FileManager::exchangePath(path1, path2);
    }
};

class FailureTest : public testing::Test {
protected:
    FailureTest() : harness(&files) {
        installation = harness.folder.makeInstallation("home/game");
        harness.folder.writeFile("home/game/Art/keep.png", "old keep");
        harness.folder.writeFile("drop/Art/keep.png", "new keep");
        harness.folder.writeFile("drop/Art/fresh.png", "fresh");
    }
    void run() { harness.runUpdate(installation, Paths{harness.folder / "drop/Art"}); }
    // Nothing of the installation's own files is lost or half-written.
    void expectNoPartialCopies() {
        EXPECT_FALSE(contains(treeListing(installation), FileManager::temporaryNamePrefix)) << treeListing(installation);
    }

    FaultyFileManager files;
    RunHarness harness;
    std::string installation;
};

TEST_F(FailureTest, AnUnreadableSourceIsReportedAndTheOldFileStays) {
    files.failCopy = [](const std::string& from, const std::string&) { return contains(from, "drop/Art/keep.png"); };
    run();
    EXPECT_EQ(readFile(installation + "/Art/keep.png"), "old keep");
    EXPECT_EQ(readFile(installation + "/Art/fresh.png"), "fresh");
    EXPECT_EQ(countsOf(harness.run()), (Counts{1, 0, 0, 1}));
    EXPECT_FALSE(exists(backupFolder(installation))) << "nothing was replaced";
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
    EXPECT_EQ(harness.reportMessage(), "1 files added\n0 previous files backed up\n0 duplicate files ignored.\n"
                                      "1 files could not be installed.");
    // The details name the item and the reason, and the log has the same line.
    const std::string details = harness.reports.back().details;
    EXPECT_TRUE(contains(details, harness.folder / "drop/Art/keep.png: ")) << details;
    EXPECT_TRUE(harness.log.contains(details.substr(0, details.size() - 1)));
    expectNoPartialCopies();
}

TEST_F(FailureTest, AnOldFileThatCannotBeKeptIsNotReplaced) {
    files.failLink = [](const std::string& to) { return contains(to, "BackupFiles"); };
    files.failCopy = [](const std::string&, const std::string& to) { return contains(to, "BackupFiles"); };
    run();
    EXPECT_EQ(readFile(installation + "/Art/keep.png"), "old keep");
    EXPECT_EQ(countsOf(harness.run()), (Counts{1, 0, 0, 1}));
    expectNoPartialCopies();
}

TEST_F(FailureTest, WithoutHardLinksTheOldFileIsCopiedIntoTheBackup) {
    files.failLink = [](const std::string&) { return true; };
    run();
    EXPECT_EQ(readFile(installation + "/Art/keep.png"), "new keep");
    EXPECT_EQ(readFile(backupFolder(installation) + "/Art/keep.png"), "old keep");
    EXPECT_EQ(countsOf(harness.run()), (Counts{2, 1, 0, 0}));
    EXPECT_EQ(harness.reportTitle(), "Application files updated successfully");
}

TEST_F(FailureTest, AFailedRenameLeavesTheOldFileAndAnEmptyBackup) {
    files.failReplace = [](const std::string& to) { return contains(to, "Art/keep.png"); };
    run();
    EXPECT_EQ(readFile(installation + "/Art/keep.png"), "old keep");
    EXPECT_FALSE(exists(backupFolder(installation) + "/Art/keep.png"));
    EXPECT_EQ(countsOf(harness.run()), (Counts{1, 0, 0, 1}));
    expectNoPartialCopies();
}

// A folder that is to take the place of an old file, on a file system that cannot swap two names: the
// old file makes room, and when the folder then cannot be put there, the old file comes back. (It used to
// be left in the backup alone, which the end of the run deletes when nothing was replaced.)
TEST_F(FailureTest, AnOldFileThatMadeRoomForAFolderInVainComesBack) {
    harness.folder.writeFile("home/game/Art/thing", "old thing");
    harness.folder.writeFile("drop2/Art/thing/inner.png", "inner");
    files.failExchange = [](const std::string&) { return true; };
    files.failReplace = [](const std::string& to) { return contains(to, "Art/thing"); };
    harness.runUpdate(installation, Paths{harness.folder / "drop2/Art"});
    EXPECT_EQ(readFile(installation + "/Art/thing"), "old thing");
    EXPECT_EQ(countsOf(harness.run()), (Counts{0, 0, 0, 1}));
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
    expectNoPartialCopies();
}

TEST_F(FailureTest, WithoutSwappingNamesAFolderStillReplacesAnOldFile) {
    harness.folder.writeFile("home/game/Art/thing", "old thing");
    harness.folder.writeFile("drop2/Art/thing/inner.png", "inner");
    files.failExchange = [](const std::string&) { return true; };
    harness.runUpdate(installation, Paths{harness.folder / "drop2/Art"});
    EXPECT_EQ(readFile(installation + "/Art/thing/inner.png"), "inner");
    EXPECT_EQ(readFile(backupFolder(installation) + "/Art/thing"), "old thing");
    EXPECT_EQ(countsOf(harness.run()), (Counts{1, 1, 0, 0}));
    expectNoPartialCopies();
}

// A new folder that cannot be put in place counts every entry beneath it.
TEST_F(FailureTest, AnInstallationThatTakesNoWritesLosesNothing) {
    harness.folder.writeFile("drop/Art/Maps/a.map", "a");
    harness.folder.writeFile("drop/Art/Maps/b.map", "b");
    files.failCreate = [this](const std::string& path) { return contains(path, installation); };
    files.failCopy = [this](const std::string&, const std::string& to) { return contains(to, installation); };
    files.failLink = [this](const std::string& to) { return contains(to, installation); };
    run();
    EXPECT_EQ(readFile(installation + "/Art/keep.png"), "old keep");
    EXPECT_FALSE(exists(installation + "/Art/fresh.png"));
    EXPECT_EQ(countsOf(harness.run()), (Counts{0, 0, 0, 4}));
    EXPECT_TRUE(harness.log.contains("Can't create directory"));
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
    EXPECT_EQ(harness.reportMessage(),
              "0 files added\n0 previous files backed up\n0 duplicate files ignored.\n"
              "4 files could not be installed.");
}

// The installation goes (a disk taken away) just as an old file is to be kept: nothing of its path is
// made again, and what was not installed is reported.
TEST_F(FailureTest, AnInstallationThatVanishesIsNotMadeAgain) {
    files.failLink = [this, gone = false](const std::string& to) mutable {
        if (!gone && contains(to, "BackupFiles")) {
            gone = std::filesystem::remove_all(installation) > 0;
        }
        return gone;
    };
    run();
    EXPECT_FALSE(exists(installation));
    EXPECT_EQ(harness.run().numFilesInstalled() + harness.run().numFilesFailed(), 2);
    EXPECT_GE(harness.run().numFilesFailed(), 1);
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
}

// The same faults made by the file system itself, for an ordinary user and for root alike.
class PermissionTest : public testing::Test {
protected:
    // Root passes every permission check through two capabilities; without them in its effective set
    // (for this thread, until the test ends) it is bound by permissions like any user.
    void SetUp() override {
        if (::geteuid() != 0) {
            return;
        }
        if (::syscall(SYS_capget, &_header, _saved) != 0) {
            GTEST_SKIP() << "capabilities cannot be read";
        }
        __user_cap_data_struct bound[2] = {_saved[0], _saved[1]};
        bound[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        if (::syscall(SYS_capset, &_header, bound) != 0) {
            GTEST_SKIP() << "permissions cannot be made to bind root here";
        }
        _restore = true;
    }
    void TearDown() override {
        if (_restore) {
            ::syscall(SYS_capset, &_header, _saved);
        }
    }

private:
    __user_cap_header_struct _header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct _saved[2]{};
    bool _restore = false;
};

TEST_F(PermissionTest, AReadOnlyFolderOfTheInstallation) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    harness.folder.writeFile("home/game/Art/keep.png", "old");
    harness.folder.writeFile("drop/Art/keep.png", "new");
    harness.folder.writeFile("drop/Art/fresh.png", "fresh");
    ::chmod((installation + "/Art").c_str(), 0555);
    harness.runUpdate(installation, Paths{harness.folder / "drop/Art"});
    ::chmod((installation + "/Art").c_str(), 0755);
    EXPECT_EQ(readFile(installation + "/Art/keep.png"), "old");
    EXPECT_EQ(countsOf(harness.run()), (Counts{0, 0, 0, 2}));
    EXPECT_EQ(harness.reportTitle(), "Application files update incomplete");
}

TEST_F(PermissionTest, AnUnreadableSourceFile) {
    RunHarness harness;
    const std::string installation = harness.folder.makeInstallation("home/game");
    const std::string secret = harness.folder.writeFile("drop/Art/secret.png", "s");
    ::chmod(secret.c_str(), 0);
    harness.runUpdate(installation, Paths{harness.folder / "drop/Art"});
    EXPECT_FALSE(exists(installation + "/Art/secret.png"));
    EXPECT_EQ(countsOf(harness.run()), (Counts{0, 0, 0, 1}));
}

} // namespace
} // namespace quorvane::test

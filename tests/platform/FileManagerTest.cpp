#include "platform/FileManager.h"

#include "platform/PathInFolder.h"
#include "support/TemporaryFolder.h"
#include "support/WithoutOverride.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace quorvane::test {
namespace {

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

class FileManagerTest : public testing::Test {
protected:
    TemporaryFolder folder;
    FileManager files;
};

// A tree is copied as cp without -p copies it: permission bits less the creation mask and never set-id or
// sticky bits, whoever runs it; times are kept. Links, pipes and entries that cannot be read beneath it are
// left out and named. A copy never overwrites.
TEST_F(FileManagerTest, CopiesTreesWithTimesAndMaskedModesLeavingOutWhatIsNoFileOrFolder) {
    const WithoutOverride bound;
    ASSERT_TRUE(bound.binds());
    const mode_t mask = ::umask(027);
    FileManager masked; // reads the mask when made
    folder.writeFile("src/data/big.bin", std::string(3 << 20, 'q') + "end");
    folder.writeFile("src/caf\xe9\xff", "bytes");
    ::symlink("big.bin", (folder / "src/data/link").c_str());
    ::symlink("..", (folder / "src/data/up").c_str());
    ::mkfifo((folder / "src/data/pipe").c_str(), 0600);
    ::chmod(folder.writeFile("src/secret", "s").c_str(), 0);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    const unsigned modes[] = {0644, 0755, 0400, 0777, 01777, 04755, 06711};
    for (const unsigned mode : modes) {
        const std::string name = "src/modes/" + std::to_string(mode);
        ::chmod(folder.writeFile(name + "f", "x").c_str(), mode);
        ::chmod(folder.makeFolder(name + "d").c_str(), mode);
        ::utimensat(AT_FDCWD, (folder / (name + "f")).c_str(), old, 0);
        ::utimensat(AT_FDCWD, (folder / (name + "d")).c_str(), old, 0);
    }

    FileManager::CopyOutcome outcome;
    const bool copied = masked.copyPath(folder / "src", folder / "dst", &outcome);
    ::umask(mask);
    ASSERT_TRUE(copied);
    EXPECT_TRUE(outcome.folder);
    EXPECT_EQ(outcome.descendants, 2u + 1 + 15) << "data, big.bin, the odd name, modes";
    std::vector<std::tuple<std::string, FileManager::EntryKind, int>> leftOut;
    for (const auto& entry : outcome.leftOut) {
        leftOut.emplace_back(entry.path, entry.kind, entry.error);
    }
    std::sort(leftOut.begin(), leftOut.end());
    EXPECT_EQ(leftOut, (std::vector<std::tuple<std::string, FileManager::EntryKind, int>>{
                           {folder / "src/data/link", FileManager::EntryKind::symbolicLink, 0},
                           {folder / "src/data/pipe", FileManager::EntryKind::special, 0},
                           {folder / "src/data/up", FileManager::EntryKind::symbolicLink, 0},
                           {folder / "src/secret", FileManager::EntryKind::missing, EACCES}}));
    EXPECT_EQ(readFile(folder / "dst/data/big.bin"), readFile(folder / "src/data/big.bin"));
    EXPECT_EQ(readFile(folder / "dst/caf\xe9\xff"), "bytes");
    for (const unsigned mode : modes) {
        for (const char* kind : {"f", "d"}) {
            const struct stat st = statOf(folder / ("dst/modes/" + std::to_string(mode) + kind));
            EXPECT_EQ(st.st_mode & 07777, mode & 0750) << std::oct << mode << kind;
            EXPECT_EQ(st.st_mtim.tv_sec, 1000000000) << std::oct << mode << kind;
        }
    }

    EXPECT_FALSE(files.copyPath(folder / "src/data/big.bin", folder / "src/secret"));
    EXPECT_EQ(files.lastError(), EEXIST);
    EXPECT_EQ(statOf(folder / "src/secret").st_size, 1);
}

// A copy asked to stop (a cancelled update) fails before its next entry and leaves nothing behind. A
// file written unnamed and named once whole never takes a name that is taken.
TEST_F(FileManagerTest, AStoppedCopyLeavesNothingBehindAndAnUnnamedOneTakesNoTakenName) {
    folder.writeFile("src/a/b", "b");
    const std::atomic<bool> stop{true};
    FileManager::CopyOutcome outcome;
    outcome.stopRequested = &stop;
    EXPECT_FALSE(files.copyPath(folder / "src", folder / "dst", &outcome));
    EXPECT_EQ(files.lastError(), ECANCELED);
    EXPECT_FALSE(exists(folder / "dst"));
    FileManager::CopyOutcome unnamed;
    unnamed.nameWhenWhole = true;
    EXPECT_TRUE(files.copyPath(folder / "src/a/b", folder / "c", &unnamed));
    EXPECT_FALSE(files.copyPath(folder / "src/a/b", folder / "c", &unnamed));
    EXPECT_EQ(files.lastError(), EEXIST);
}

// Files are compared by contents, to the last byte. Read-only trees are removed whole; a move never
// replaces, a replacement does.
TEST_F(FileManagerTest, ComparesContentsRemovesReadOnlyTreesAndMovesWithoutReplacing) {
    const std::string a = folder.writeFile("a", std::string(2 << 20, 'x') + "1");
    const std::string c = folder.writeFile("c", std::string(2 << 20, 'x') + "1");
    EXPECT_FALSE(files.contentsEqual(a, folder.writeFile("b", std::string(2 << 20, 'x') + "2")));
    EXPECT_TRUE(files.contentsEqual(a, c));
    EXPECT_FALSE(files.contentsEqual(a, folder.writeFile("d", "x")));
    EXPECT_FALSE(files.contentsEqual(a, folder / "missing"));
    folder.writeFile("tree/sub/x", "");
    const WithoutOverride bound;
    ASSERT_TRUE(bound.binds());
    ::chmod((folder / "tree/sub").c_str(), 0500);
    EXPECT_TRUE(files.removeItem(folder / "tree"));
    EXPECT_FALSE(exists(folder / "tree"));
    const std::string target = folder.writeFile("target", "old");
    const std::string other = folder.writeFile("other", "x");
    EXPECT_FALSE(files.movePath(other, target));
    EXPECT_EQ(readFile(target), "old");
    EXPECT_TRUE(files.replacePath(other, target));
    EXPECT_EQ(readFile(target), "x");
}

// A thread keeps open the folders it looks in. A folder that another thread moves through the file
// services is looked up again at its path: what stands there now is found, not the folder that went.
TEST_F(FileManagerTest, AFolderMovedByAnotherThreadIsLookedUpAgainAtItsPath) {
    const std::string moved = folder.writeFile("a/old.txt", "old");
    const PathInFolder::KeepFoldersOpen keepFolders;
    ASSERT_TRUE(files.entryExists(moved)); // "a" kept open by this thread
    std::thread([&] {
        const PathInFolder::KeepFoldersOpen keepToo;
        EXPECT_TRUE(files.movePath(folder / "a", folder / "b"));
    }).join();
    folder.writeFile("a/new.txt", "new");
    EXPECT_FALSE(files.entryExists(moved));
    EXPECT_TRUE(files.entryExists(folder / "a/new.txt"));
}

} // namespace
} // namespace quorvane::test

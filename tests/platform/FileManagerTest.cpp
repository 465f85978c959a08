#include "platform/FileManager.h"

#include "platform/FileHandle.h"
#include "platform/PathInFolder.h"
#include "platform/Workspace.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
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

TEST_F(FileManagerTest, ExistenceFollowsLinks) {
    folder.writeFile("file", "x");
    folder.makeFolder("dir");
    ::symlink("dir", (folder / "toDir").c_str());
    ::symlink("nowhere", (folder / "dangling").c_str());
    bool isDirectory = true;
    EXPECT_TRUE(files.fileExistsAtPath(folder / "file", &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_TRUE(files.fileExistsAtPath(folder / "toDir", &isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_FALSE(files.fileExistsAtPath(folder / "dangling"));
    EXPECT_TRUE(files.entryExistsAtPath(folder / "dangling"));
    EXPECT_FALSE(files.fileExistsAtPath(""));
}

TEST_F(FileManagerTest, CreatesOneFolderOnlyWhereItsParentIsAndNothingIs) {
    EXPECT_TRUE(files.createDirectoryAtPath(folder / "a"));
    EXPECT_FALSE(files.createDirectoryAtPath(folder / "a")) << "exists";
    EXPECT_FALSE(files.createDirectoryAtPath(folder / "x/y")) << "parent missing";
    EXPECT_FALSE(files.createDirectoryAtPath(""));
}

// Beneath a copied folder, links, pipes and entries that cannot be read are left out and named; the rest
// is copied with its times.
TEST_F(FileManagerTest, CopiesTreesWithTimesLeavingOutLinksAndSpecialFilesAndNeverOverwrites) {
    const std::string script = folder.writeFile("src/bin/run.sh", "#!/bin/sh\n");
    folder.writeFile("src/data/big.bin", std::string(3 << 20, 'q') + "end");
    folder.makeFolder("src/empty");
    ::symlink("../bin/run.sh", (folder / "src/data/link").c_str());
    ::symlink("..", (folder / "src/data/up").c_str());
    ::mkfifo((folder / "src/data/pipe").c_str(), 0600);
    std::vector<std::tuple<std::string, FileManager::EntryKind, int>> expected{
        {folder / "src/data/link", FileManager::EntryKind::symbolicLink, 0},
        {folder / "src/data/pipe", FileManager::EntryKind::special, 0},
        {folder / "src/data/up", FileManager::EntryKind::symbolicLink, 0}};
    if (::geteuid() != 0) { // root reads anything
        ::chmod(folder.writeFile("src/secret", "s").c_str(), 0);
        expected.emplace_back(folder / "src/secret", FileManager::EntryKind::missing, EACCES);
    }
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, script.c_str(), old, 0);
    ::utimensat(AT_FDCWD, (folder / "src/empty").c_str(), old, 0);

    FileManager::CopyOutcome outcome;
    ASSERT_TRUE(files.copyPath(folder / "src", folder / "dst", &outcome));
    EXPECT_EQ(treeListing(folder / "dst"), "bin/\nbin/run.sh\ndata/\ndata/big.bin\nempty/\n");
    EXPECT_EQ(outcome.descendants, 5u);
    std::vector<std::tuple<std::string, FileManager::EntryKind, int>> leftOut;
    for (const auto& entry : outcome.leftOut) {
        leftOut.emplace_back(entry.path, entry.kind, entry.error);
    }
    std::sort(leftOut.begin(), leftOut.end());
    EXPECT_EQ(leftOut, expected);
    EXPECT_EQ(readFile(folder / "dst/data/big.bin"), readFile(folder / "src/data/big.bin"));
    EXPECT_EQ(statOf(folder / "dst/bin/run.sh").st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(statOf(folder / "dst/empty").st_mtim.tv_sec, 1000000000);

    folder.writeFile("other", "other");
    EXPECT_FALSE(files.copyPath(folder / "src/bin/run.sh", folder / "other"));
    EXPECT_EQ(readFile(folder / "other"), "other");
    EXPECT_EQ(files.lastError(), EEXIST);
}

// A copy is made as cp without -p makes it: the source's permission bits less the creation mask, never
// set-user-id, set-group-id or sticky, whoever runs it.
TEST_F(FileManagerTest, CopiesTakeThePermissionBitsLessTheCreationMaskAndNoSetIdBits) {
    const mode_t mask = ::umask(027);
    FileManager masked; // reads the mask when made
    const unsigned modes[] = {0644, 0755, 0400, 0777, 01777, 04755, 06711};
    for (const unsigned mode : modes) {
        for (const bool isFolder : {false, true}) {
            const std::string name = "m" + std::to_string(mode) + (isFolder ? "d" : "f");
            const std::string source = isFolder ? folder.makeFolder(name) : folder.writeFile(name, "x");
            ::chmod(source.c_str(), mode);
            EXPECT_TRUE(masked.copyPath(source, folder / (name + ".copy"))) << name;
            EXPECT_EQ(statOf(folder / (name + ".copy")).st_mode & 07777, mode & 0750) << std::oct << mode;
        }
    }
    ::umask(mask);
}

TEST_F(FileManagerTest, ACopyTellsWhatItMade) {
    folder.writeFile("tree/a/b", "b");
    folder.writeFile("tree/c", "c");
    folder.makeFolder("empty");
    ::symlink("tree", (folder / "link").c_str());
    struct Case {
        const char* from;
        bool folder;
        std::size_t descendants;
    };
    for (const Case& c : {Case{"tree", true, 3}, Case{"empty", true, 0}, Case{"tree/c", false, 0},
                          Case{"link", false, 0}}) {
        FileManager::CopyOutcome outcome;
        ASSERT_TRUE(files.copyPath(folder / c.from, folder / (std::string(c.from) + ".copy"), &outcome)) << c.from;
        EXPECT_EQ(outcome.folder, c.folder) << c.from;
        EXPECT_EQ(outcome.descendants, c.descendants) << c.from;
    }
}

// A copy that fails part-way (here: a file grows past the process's file size limit) is removed again,
// and its error survives the removal.
TEST_F(FileManagerTest, AFailedCopyLeavesNothingBehindAndKeepsItsError) {
    folder.writeFile("src/a/small", "x");
    folder.writeFile("src/a/b/large", std::string(64 * 1024, 'x'));
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit lowered{4096, limit.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    const bool copied = files.copyPath(folder / "src", folder / "dst");
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(copied);
    EXPECT_EQ(files.lastError(), EFBIG);
    EXPECT_FALSE(exists(folder / "dst"));

    // A file written unnamed and named once whole: cut short, it leaves no name behind; whole, it never
    // takes a name that is taken.
    FileManager::CopyOutcome unnamed;
    unnamed.nameWhenWhole = true;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    std::signal(SIGXFSZ, SIG_IGN);
    EXPECT_FALSE(files.copyPath(folder / "src/a/b/large", folder / "large", &unnamed));
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(files.lastError(), EFBIG);
    EXPECT_FALSE(exists(folder / "large"));
    EXPECT_TRUE(files.copyPath(folder / "src/a/small", folder / "small", &unnamed));
    EXPECT_EQ(readFile(folder / "small"), "x");
    EXPECT_FALSE(files.copyPath(folder / "src/a/b/large", folder / "small", &unnamed));
    EXPECT_EQ(files.lastError(), EEXIST);
    EXPECT_EQ(readFile(folder / "small"), "x");

    // A copy asked to stop (a cancelled update) ends before its next entry, and leaves nothing either.
    const std::atomic<bool> stop{true};
    FileManager::CopyOutcome outcome;
    outcome.stopRequested = &stop;
    EXPECT_FALSE(files.copyPath(folder / "src", folder / "dst", &outcome));
    EXPECT_EQ(files.lastError(), ECANCELED);
    EXPECT_FALSE(exists(folder / "dst"));
}

// While a thread keeps folders open, a file made in a folder that was kept lands where the folder's path
// leads now when the file services moved it or another program removed and remade it, and never through a
// link put in the folder's place.
TEST_F(FileManagerTest, KeptFoldersFollowChangesAndNeverALinkPutInTheirPlace) {
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        std::function<void(FileManager&, const std::string& kept)> change;
        const char* expectedIn; // where the new file lands, below the case's folder
    };
    const Case cases[] = {
        {"moved by the file services, a new folder made in its place",
         [](FileManager& files, const std::string& kept) {
             files.movePath(kept, kept + "-moved");
             files.createDirectoryAtPath(kept);
         },
         "kept"},
        {"moved on another thread",
         [](FileManager& files, const std::string& kept) {
             std::thread([&] { files.movePath(kept, kept + "-moved"); }).join();
             fs::create_directory(kept);
         },
         "kept"},
        {"removed and remade by another program",
         [](FileManager&, const std::string& kept) {
             fs::remove_all(kept);
             fs::create_directory(kept);
         },
         "kept"},
        {"swapped for a link by another program",
         [](FileManager&, const std::string& kept) {
             fs::rename(kept, kept + "-moved");
             fs::create_directory_symlink(fs::path(kept).parent_path() / "elsewhere", kept);
         },
         "kept-moved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = std::to_string(&c - cases);
        const std::string base = folder.makeFolder(name);
        const std::string kept = folder.makeFolder(name + "/kept");
        folder.makeFolder(name + "/elsewhere");
        const std::string source = folder.writeFile(name + "/source", "new");
        PathInFolder::KeepFoldersOpen keepFolders;
        EXPECT_FALSE(files.entryExistsAtPath(kept + "/new")); // keeps the folder open
        c.change(files, kept);
        EXPECT_TRUE(files.copyPath(source, kept + "/new"));
        EXPECT_EQ(readFile(base + "/" + c.expectedIn + "/new"), "new");
        EXPECT_FALSE(exists(base + "/elsewhere/new"));
    }
}

TEST_F(FileManagerTest, ComparesContentsNotNames) {
    const std::string a = folder.writeFile("a", std::string(2 << 20, 'x') + "1");
    const std::string b = folder.writeFile("b", std::string(2 << 20, 'x') + "2");
    const std::string c = folder.writeFile("c", std::string(2 << 20, 'x') + "1");
    const std::string shorter = folder.writeFile("d", "x");
    EXPECT_FALSE(files.contentsEqualAtPath(a, b));
    EXPECT_TRUE(files.contentsEqualAtPath(a, c));
    EXPECT_FALSE(files.contentsEqualAtPath(a, shorter));
    EXPECT_FALSE(files.contentsEqualAtPath(a, folder / "missing"));
    ::symlink("a", (folder / "l1").c_str());
    ::symlink("a", (folder / "l2").c_str());
    ::symlink("c", (folder / "l3").c_str());
    EXPECT_TRUE(files.contentsEqualAtPath(folder / "l1", folder / "l2"));
    EXPECT_FALSE(files.contentsEqualAtPath(folder / "l1", folder / "l3")) << "links compare by target";
}

TEST_F(FileManagerTest, ListsEntriesAndDescendants) {
    folder.writeFile("d/.hidden", "");
    folder.writeFile("d/sub/x", "");
    ::symlink("..", (folder / "d/sub/up").c_str());
    auto names = *files.directoryContentsAtPath(folder / "d");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "sub"}));
    auto subpaths = files.subpathsAtPath(folder / "d");
    std::sort(subpaths.begin(), subpaths.end());
    EXPECT_EQ(subpaths, (std::vector<std::string>{".hidden", "sub", "sub/up", "sub/x"})) << "links are not entered";
    EXPECT_EQ(files.countSubpathsAtPath(folder / "d"), 4u);
    EXPECT_FALSE(files.directoryContentsAtPath(folder / "d/.hidden"));
    EXPECT_TRUE(files.subpathsAtPath(folder / "d/.hidden").empty());
}

TEST_F(FileManagerTest, RemovesWholeTreesEvenReadOnlyOnes) {
    folder.writeFile("t/a/b/c", "c");
    ::chmod((folder / "t/a/b").c_str(), 0500);
    EXPECT_TRUE(files.removeFileAtPath(folder / "t"));
    EXPECT_FALSE(exists(folder / "t"));
    EXPECT_FALSE(files.removeFileAtPath(""));
}

TEST_F(FileManagerTest, ReplacesFilesAtomicallyButNeverAFolder) {
    const std::string target = folder.writeFile("target", "old");
    const std::string fresh = folder.writeFile("fresh", "new");
    EXPECT_TRUE(files.replacePath(fresh, target));
    EXPECT_EQ(readFile(target), "new");
    folder.makeFolder("dir/inside");
    const std::string other = folder.writeFile("other", "x");
    EXPECT_FALSE(files.replacePath(other, folder / "dir"));
    EXPECT_TRUE(isFolder(folder / "dir/inside"));
    EXPECT_FALSE(files.movePath(other, target)) << "a move never replaces";
}

TEST_F(FileManagerTest, NamesThatAreNotUtf8AreHandledByteForByte) {
    const std::string name = "caf\xe9\xff";
    folder.writeFile("src/" + name, "bytes");
    ASSERT_TRUE(files.copyPath(folder / "src", folder / "dst"));
    EXPECT_EQ(readFile(folder / ("dst/" + name)), "bytes");
    EXPECT_EQ(*files.directoryContentsAtPath(folder / "dst"), std::vector<std::string>{name});
}

TEST_F(FileManagerTest, TemporaryNamesAreFreeAndRecognisable) {
    const std::string first = files.temporaryPathBeside(folder / "x");
    folder.writeFile(first.substr(folder.path().size() + 1), "");
    const std::string second = files.temporaryPathBeside(folder / "x");
    EXPECT_NE(first, second);
    EXPECT_EQ(second.rfind(folder.path() + "/" + FileManager::temporaryNamePrefix, 0), 0u);
}

TEST_F(FileManagerTest, ReadsFilesAndSizes) {
    const std::string file = folder.writeFile("f", std::string("a\0b", 3));
    EXPECT_EQ(files.stringWithContentsOfFile(file), std::string("a\0b", 3));
    EXPECT_FALSE(files.stringWithContentsOfFile(folder.path()));
    EXPECT_EQ(files.fileSizeAtPath(file, true), 3u);
    ::symlink("f", (folder / "l").c_str());
    EXPECT_EQ(files.fileSizeAtPath(folder / "l", true), 3u);
    EXPECT_EQ(files.fileSizeAtPath(folder / "l", false), 1u);
}

TEST_F(FileManagerTest, FileHandlesReadShortAtTheEnd) {
    const std::string file = folder.writeFile("f", "0123456789");
    auto handle = FileHandle::fileHandleForReadingAtPath(file);
    ASSERT_TRUE(handle);
    handle->seekToFileOffset(8);
    EXPECT_EQ(handle->readDataOfLength(4), "89");
    handle->seekToFileOffset(UINT64_MAX - 1);
    EXPECT_EQ(handle->readDataOfLength(4), "");
    EXPECT_FALSE(FileHandle::fileHandleForReadingAtPath(folder / "missing"));
}

// A pipe that nobody writes, or a device that never ends, must not hold the program: reading them
// answers none at once.
TEST_F(FileManagerTest, PipesAndDevicesAreNotRead) {
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    ::symlink("/dev/zero", (folder / "endless").c_str());
    for (const std::string& path : {folder / "pipe", folder / "endless", folder.path()}) {
        EXPECT_FALSE(files.stringWithContentsOfFile(path)) << path;
        EXPECT_FALSE(FileHandle::fileHandleForReadingAtPath(path)) << path;
    }
}

TEST_F(FileManagerTest, ExchangeSwapsAFileAndAFolderInOneStep) {
    folder.writeFile("file", "old");
    folder.writeFile("folder/inner", "new");
    ASSERT_TRUE(files.exchangePath(folder / "folder", folder / "file"));
    EXPECT_EQ(readFile(folder / "file/inner"), "new");
    EXPECT_EQ(readFile(folder / "folder"), "old");
    EXPECT_FALSE(files.exchangePath(folder / "folder", folder / "missing"));
    EXPECT_FALSE(files.exchangePath("", folder / "file"));
    EXPECT_EQ(readFile(folder / "folder"), "old");
}

TEST_F(FileManagerTest, PackagesAreBundleLayoutsOrAppFolders) {
    Workspace workspace(files);
    folder.writeFile("Game/Contents/Info.plist", "");
    folder.makeFolder("Tool.app");
    folder.makeFolder("Plain");
    folder.writeFile("file.app", "");
    EXPECT_TRUE(workspace.isFilePackageAtPath(folder / "Game"));
    EXPECT_TRUE(workspace.isFilePackageAtPath(folder / "Tool.app"));
    EXPECT_FALSE(workspace.isFilePackageAtPath(folder / "Plain"));
    EXPECT_FALSE(workspace.isFilePackageAtPath(folder / "file.app"));
}

} // namespace
} // namespace quorvane::test

#include "engine/UpdateUndo.h"
#include "platform/SystemError.h"
#include "support/PausingFileManager.h"
#include "support/RunHarness.h"

#include <fcntl.h>
#include <set>
#include <sstream>

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

// Every entry below the folder with its contents.
std::string snapshot(const std::string& folder) {
    std::string all = treeListing(folder);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        all += entry.is_regular_file() ? entry.path().string() + ": " + readFile(entry.path()) + "\n" : "";
    }
    return all;
}

// A folder of the installation swapped for a link to a folder outside by another program, while a run goes
// (the folder deleted) or before its undo (the folder moved out): nothing outside is written, moved or
// removed through the link, and each entry the link stands in the way of is reported, as not installed or
// left alone.
TEST(Confinement, AFolderSwappedForALinkIsNeverWrittenThrough) {
    struct Case {
        const char* name;
        int pauseAtCopy, installed, failed;
        std::size_t leftAlone;
    };
    const Case cases[] = {
        {"while the run goes, after its first item", 2, 1, 3, 1},
        {"after the run, before its undo", 0, 4, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PausingFileManager files(c.pauseAtCopy);
        RunHarness harness(&files);
        TemporaryFolder& f = harness.folder;
        const std::string game = f.makeInstallation("home/game");
        f.writeFile("home/game/Art/Maps/own.map", "old own");
        f.writeFile("outside/own.map", "outside's own");
        for (const char* name : {"own.map", "n1.map", "n2.map", "n3.map"}) {
            f.writeFile(std::string("drop/Art/Maps/") + name, "new");
        }
        std::string outside;
        const auto swap = [&](bool moveOut) {
            moveOut ? fs::rename(game + "/Art/Maps", f / "outside/Maps")
                    : (void)fs::remove_all(game + "/Art/Maps");
            fs::create_directory_symlink(f / "outside", game + "/Art/Maps");
            outside = snapshot(f / "outside");
        };
        UpdateRun& run = harness.makeRun(game, {f / "drop/Art"});
        run.start();
        if (c.pauseAtCopy > 0) {
            ASSERT_TRUE(files.waitForPause());
            swap(false);
            files.resume();
        }
        ASSERT_TRUE(waitUntil([&] { return !harness.reports.empty(); }, std::chrono::minutes(1)));
        harness.records.waitUntilKept();
        if (c.pauseAtCopy == 0) {
            swap(true);
        }
        const UpdateUndo::Result undone = UpdateUndo::undo(run.record(), files, Localizer());

        EXPECT_EQ(std::make_pair(run.numFilesInstalled(), run.numFilesFailed()),
                  std::make_pair(c.installed, c.failed));
        EXPECT_EQ(run.notInstalled().size(), static_cast<std::size_t>(c.failed));
        for (const auto& [item, reason] : run.notInstalled()) {
            EXPECT_EQ(reason, systemErrorText(ELOOP)) << item;
        }
        EXPECT_EQ(undone.leftAlone.size(), c.leftAlone);
        EXPECT_EQ(undone.removed + undone.restored, 0u);
        EXPECT_EQ(snapshot(f / "outside"), outside);
    }
}

// Thirty folders of 200-byte names, one inside the other: 6,030 bytes, more than a path the kernel takes.
const Paths kDeep = [] {
    Paths names;
    for (char level = 'a'; level < 'a' + 30; ++level) {
        names.push_back(std::string(200, level));
    }
    return names;
}();

// The deepest folder of kDeep below base, made where missing: a descriptor (the caller closes it).
int deepFolder(const std::string& base, bool make) {
    int fd = ::open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (const std::string& name : kDeep) {
        if (make) {
            ::mkdirat(fd, name.c_str(), 0755);
        }
        const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

void writeDeep(const std::string& base, const Pairs& files) {
    const int folder = deepFolder(base, true);
    for (const auto& [name, text] : files) {
        const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
    }
    ::close(folder);
}

// "name: contents" of each file at the bottom of kDeep below base, sorted; "<missing>" without the folder.
std::string readDeep(const std::string& base) {
    const int folder = deepFolder(base, false);
    if (folder < 0) {
        return "<missing>";
    }
    std::string all;
    std::ostringstream path;
    path << "/proc/self/fd/" << folder;
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(path.str())) {
        files.insert(entry.path().filename().string() + ": " + readFile(entry.path()));
    }
    ::close(folder);
    for (const std::string& file : files) {
        all += file + "\n";
    }
    return all;
}

// A tree deeper than a path the kernel takes can be installed, updated (its files replaced and backed up)
// and undone, and every file of it is counted once.
TEST(Confinement, TreesDeeperThanAPathCanBeUpdatedBackedUpAndUndone) {
    RunHarness harness;
    TemporaryFolder& f = harness.folder;
    const std::string game = f.makeInstallation("home/game");
    writeDeep(f.makeFolder("drop/Art"), {{"a.txt", "a"}, {"b.txt", "b"}});
    writeDeep(f.makeFolder("drop2/Art"), {{"a.txt", "a2"}, {"b.txt", "b2"}, {"c.txt", "c"}});
    const UpdateRun& install = harness.runUpdate(game, {f / "drop/Art"});
    EXPECT_EQ((Counts{install.numFilesInstalled(), install.numFilesReplaced(), install.numDuplicateFiles(),
                      install.numFilesFailed()}),
              (Counts{.added = 31}));
    harness.clock.advance(std::chrono::seconds(1));
    const UpdateRun& update = harness.runUpdate(game, {f / "drop2/Art"});
    EXPECT_EQ((Counts{update.numFilesInstalled(), update.numFilesReplaced(), update.numDuplicateFiles(),
                      update.numFilesFailed()}),
              (Counts{.added = 3, .replaced = 2}));
    EXPECT_EQ(readDeep(game + "/Art"), "a.txt: a2\nb.txt: b2\nc.txt: c\n");
    EXPECT_EQ(readDeep(game + "/BackupFiles/20070102_090504/Art"), "a.txt: a\nb.txt: b\n");
    const UpdateUndo::Result undone = UpdateUndo::undo(update.record(), harness.files, Localizer());
    EXPECT_EQ(std::make_tuple(undone.removed, undone.restored, undone.leftAlone.size()),
              std::make_tuple(1u, 2u, 0u));
    EXPECT_EQ(readDeep(game + "/Art"), "a.txt: a\nb.txt: b\n");
    EXPECT_EQ(readDeep(game + "/BackupFiles"), "<missing>");
}

} // namespace
} // namespace quorvane::test

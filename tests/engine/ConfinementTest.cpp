#include "engine/UpdateUndo.h"
#include "platform/SystemError.h"
#include "support/PausingFileManager.h"
#include "support/RunHarness.h"

#include <algorithm>
#include <fcntl.h>

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

// A folder of the installation moved out of it by another program, and a link to the folder outside put in
// its place, while a run goes or before its undo: nothing outside is written, moved or removed, neither
// through the link nor in the folder moved out, and each entry the link stands in the way of is reported,
// as not installed or left alone.
TEST(Confinement, AFolderSwappedForALinkIsNeverWrittenThrough) {
    // While the run goes, new files are copied ahead on a second thread: how many went in before the swap
    // varies, but every one after it is refused, and every one before it left alone by the undo.
    struct Case {
        const char* name;
        int pauseAtCopy, installedAtLeast;
    };
    const Case cases[] = {
        {"while the run goes, after its first item", 2, 0},
        {"after the run, before its undo", 0, 4},
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
        const auto outsideNow = [&] {
            return treeListing(f / "outside") + readFile(f / "outside/own.map") +
                   readFile(f / "outside/Maps/own.map");
        };
        std::string outside;
        const auto swap = [&] {
            fs::rename(game + "/Art/Maps", f / "outside/Maps");
            fs::create_directory_symlink(f / "outside/Maps", game + "/Art/Maps");
            outside = outsideNow();
        };
        UpdateRun& run = harness.makeRun(game, {f / "drop/Art"});
        run.start();
        if (c.pauseAtCopy > 0) {
            ASSERT_TRUE(files.waitForPause());
            swap();
            files.resume();
        }
        ASSERT_TRUE(waitUntil([&] { return !harness.reports.empty(); }));
        harness.records.waitUntilKept();
        if (c.pauseAtCopy == 0) {
            swap();
        }
        const UpdateUndo::Result undone = UpdateUndo::undo(run.record(), files, Localizer());

        const auto refused = std::ranges::count_if(run.notInstalled(), [](const auto& entry) {
            // A file copied ahead before the swap fails at its backup, with the same cause.
            return entry.reason.ends_with(systemErrorText(ELOOP)) || entry.reason == systemErrorText(ENOENT);
        });
        const int installed = run.numFilesInstalled();
        EXPECT_GE(installed, c.installedAtLeast);
        EXPECT_EQ(std::make_tuple(installed + run.numFilesFailed(), refused, undone.leftAlone.size(),
                                  undone.removed + undone.restored),
                  std::make_tuple(4, std::ptrdiff_t{4 - installed}, std::size_t(installed), std::size_t{0}));
        EXPECT_EQ(outsideNow(), outside);
    }
}

// The deepest of thirty folders of 200-byte names below base, made where missing: 6,030 bytes, more than a
// path the kernel takes. While this lives, a short path through the process's descriptor names it.
struct DeepFolder {
    explicit DeepFolder(const std::string& base) : fd(::open(base.c_str(), O_PATH | O_DIRECTORY)) {
        for (char level = 'a'; level < 'a' + 30; ++level) {
            const std::string name(200, level);
            ::mkdirat(fd, name.c_str(), 0755);
            const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY);
            ::close(fd), fd = next;
        }
    }
    ~DeepFolder() { ::close(fd); }
    std::string operator/(const char* name) const {
        return "/proc/self/fd/" + std::to_string(fd) + "/" + name;
    }
    int fd;
};

// A tree deeper than a path the kernel takes is installed, updated (its files replaced and backed up) and
// undone, and each of its files is counted once.
TEST(Confinement, TreesDeeperThanAPathAreUpdatedBackedUpAndUndone) {
    RunHarness harness;
    TemporaryFolder& f = harness.folder;
    const std::string game = f.makeInstallation("home/game");
    // Writes the files in the deepest folder below base; answers what a.txt, b.txt and c.txt hold there.
    const auto deep = [](const std::string& base, const Pairs& files = {}) {
        const DeepFolder folder(base);
        for (const auto& [name, text] : files) {
            std::ofstream(folder / name.c_str()) << text;
        }
        return readFile(folder / "a.txt") + " " + readFile(folder / "b.txt") + " " +
               readFile(folder / "c.txt");
    };
    deep(f.makeFolder("drop/Art"), {{"a.txt", "a"}, {"b.txt", "b"}});
    deep(f.makeFolder("drop2/Art"), {{"a.txt", "a2"}, {"b.txt", "b2"}, {"c.txt", "c"}});
    EXPECT_EQ(countsOf(harness.runUpdate(game, {f / "drop/Art"})), (Counts{.added = 31}));
    harness.clock.advance(std::chrono::seconds(1));
    const UpdateRun& update = harness.runUpdate(game, {f / "drop2/Art"});
    EXPECT_EQ(countsOf(update), (Counts{.added = 3, .replaced = 2}));
    EXPECT_EQ(deep(game + "/Art"), "a2 b2 c");
    EXPECT_EQ(deep(game + "/BackupFiles/20070102_090504/Art"), "a b <missing>");
    const UpdateUndo::Result undone = UpdateUndo::undo(update.record(), harness.files, Localizer());
    EXPECT_EQ(std::make_tuple(undone.removed, undone.restored, undone.leftAlone.size()),
              std::make_tuple(1u, 2u, 0u));
    EXPECT_EQ(deep(game + "/Art"), "a b <missing>");
    EXPECT_FALSE(exists(game + "/BackupFiles/20070102_090504"));
}

} // namespace
} // namespace quorvane::test

#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "support/TemporaryFolder.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

// A killed program leaves its copies in progress and extraction folders behind; the next start removes
// them, and only them: nothing else it recorded, nothing a program that still runs recorded.
TEST(CleanupJournal, TheNextStartRemovesWhatAKilledRunLeft) {
    TemporaryFolder folder;
    const std::string state = folder / "state";
    const std::string partial = folder.writeFile("game/Art/.quorvane-partial-7-1f-1", "half");
    const std::string extraction = folder.makeFolder("drop/20070102_090503-2");
    folder.writeFile("drop/20070102_090503-2/Art/a.png", "a");
    const std::string notOurs = folder.writeFile("drop/20070102_090504.txt", "mine");
    const std::string stillRunning = folder.writeFile("game/Art/.quorvane-partial-8-2e-1", "in use");

    const pid_t killed = ::fork();
    if (killed == 0) {
        CleanupJournal journal(state);
        for (const std::string& path : {partial, extraction, notOurs, folder / "game/gone"}) {
            journal.record(path);
        }
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(killed, &status, 0), killed);
    CleanupJournal running(state);
    running.record(stillRunning);

    FileManager files;
    CleanupJournal next(state);
    next.cleanUp(files);
    EXPECT_FALSE(exists(partial));
    EXPECT_FALSE(exists(extraction));
    EXPECT_TRUE(exists(notOurs));
    EXPECT_TRUE(exists(stillRunning));
    EXPECT_EQ(files.directoryContentsAtPath(state)->size(), 1u) << "the killed run's journal is gone";
}

} // namespace
} // namespace quorvane::test

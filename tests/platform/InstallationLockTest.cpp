#include "platform/InstallationLock.h"

#include "support/EventLoopWait.h"
#include "support/TemporaryFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using State = InstallationLock::State;

// One holder at a time, whether the second taker is this process or another (flock(1), as a second
// program would), and a holder's end, a kill included, frees the installation.
TEST(InstallationLock, OneHolderAtATimeAcrossProcessesAndNoneOnceItsHolderEnds) {
    TemporaryFolder folder;
    const std::string game = folder.makeFolder("game");
    EXPECT_EQ(InstallationLock(folder / "none").state(), State::unavailable);
    InstallationLock first(game);
    EXPECT_EQ(first.state(), State::held);
    EXPECT_EQ(InstallationLock(game).state(), State::heldElsewhere);
    InstallationLock moved = std::move(first);
    EXPECT_EQ(InstallationLock(game).state(), State::heldElsewhere) << "a moved lock is still held";
    moved.release();

    QProcess other; // one process holds it: no child of its own outlives a kill
    other.start("flock", {"--no-fork", QString::fromStdString(game), "sh", "-c",
                          ": >\"$0\"; exec sleep 60", QString::fromStdString(folder / "holding")});
    ASSERT_TRUE(waitUntil([&] { return exists(folder / "holding"); }));
    EXPECT_EQ(InstallationLock(game).state(), State::heldElsewhere);
    other.kill();
    other.waitForFinished();
    EXPECT_EQ(InstallationLock(game).state(), State::held);
}

} // namespace
} // namespace quorvane::test

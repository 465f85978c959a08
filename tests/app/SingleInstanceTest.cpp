// One window per user, with real processes of the program: a later start hands its items over and ends,
// a socket left by a killed program blocks nothing, and the command line's options never hand over.
#include "app/SingleInstance.h"

#include "support/TemporaryFolder.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

TEST(SingleInstance, ALaterStartHandsItsItemsToTheRunningWindow) {
    TemporaryFolder folder;
    const std::string socket = folder.makeFolder("run") + "/quorvane-updater.socket";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) { // the user's stay untouched
        environment.insert(name, QString::fromStdString(folder.makeFolder(name)));
    }
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder / "run"));
    const auto start = [&](const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(QString::fromStdString(folder.path()));
        process->start(QUORVANE_PROGRAM, arguments);
        return process;
    };
    auto killed = start({}); // killed outright, it leaves its socket behind
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(socket); }, 30000));
    ::kill(static_cast<pid_t>(killed->processId()), SIGKILL);
    killed->waitForFinished();

    SingleInstance first(socket);
    ASSERT_EQ(first.claim({}), SingleInstance::Role::first) << "the dead socket blocked the start";
    QSignalSpy arrived(&first, &SingleInstance::itemsArrived);
    const std::pair<QStringList, std::vector<std::string>> starts[] = {
        {{"Pack.zip", "/tmp/Second pack\xc3\xa9"}, {folder / "Pack.zip", "/tmp/Second pack\xc3\xa9"}},
        {{}, {}}, // only raises the window
    };
    for (const auto& [arguments, items] : starts) {
        auto later = start(arguments);
        ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.size() == 1; }, 30000));
        EXPECT_EQ(arrived.takeFirst().at(0).value<std::vector<std::string>>(), items);
        ASSERT_TRUE(later->waitForFinished(30000));
        EXPECT_EQ(later->exitCode(), 0);
    }
    auto list = start({"--list"});
    EXPECT_TRUE(list->waitForFinished(30000) && list->exitCode() == 0 && arrived.isEmpty());
}

} // namespace
} // namespace quorvane::test

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

using Paths = std::vector<std::string>;

TEST(SingleInstance, ALaterStartHandsItsItemsToTheRunningWindow) {
    TemporaryFolder folder;
    const std::string socket = folder.makeFolder("run") + "/quorvane-updater.socket";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        environment.insert(name, QString::fromStdString(folder.makeFolder(name)));
    }
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder / "run"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const auto program = [&](const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(QString::fromStdString(folder.path()));
        process->start(QUORVANE_PROGRAM, arguments);
        return process;
    };

    // A window killed outright leaves its socket behind.
    auto killed = program({});
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(socket); }, 30000));
    ::kill(static_cast<pid_t>(killed->processId()), SIGKILL);
    killed->waitForFinished();
    ASSERT_TRUE(exists(socket));

    SingleInstance first(socket);
    ASSERT_EQ(first.claim({}), SingleInstance::Role::first) << "the dead socket blocked the start";
    QSignalSpy arrived(&first, &SingleInstance::itemsArrived);
    const struct {
        QStringList arguments;
        Paths items;
    } starts[] = {
        {{"Pack.zip", "/tmp/Second pack\xc3\xa9"}, {folder / "Pack.zip", "/tmp/Second pack\xc3\xa9"}},
        {{}, {}}, // only raises the window
    };
    for (const auto& start : starts) {
        auto later = program(start.arguments);
        ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.size() == 1; }, 30000));
        EXPECT_EQ(arrived.takeFirst().at(0).value<Paths>(), start.items);
        ASSERT_TRUE(later->waitForFinished(30000));
        EXPECT_EQ(later->exitCode(), 0);
    }
    auto list = program({"--list"});
    ASSERT_TRUE(list->waitForFinished(30000));
    EXPECT_EQ(list->exitCode(), 0);
    EXPECT_TRUE(arrived.isEmpty()) << "the command line handed over";
}

} // namespace
} // namespace quorvane::test

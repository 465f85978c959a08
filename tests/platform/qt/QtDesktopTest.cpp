// Opening a folder where xdg-open is not installed: gio takes over, and with nothing to open it a message
// names the folder instead of silence.
#include "platform/qt/QtDesktop.h"

#include "support/TemporaryFolder.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

TEST(QtDesktop, FallsBackToGioAndSaysWhenNothingOpensTheFolder) {
    TemporaryFolder folder;
    const std::string shown = folder.makeFolder("home/My Game");
    const QByteArray path = qgetenv("PATH"), bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS"); // no file manager to ask over D-Bus either
    qputenv("PATH", QByteArray::fromStdString(folder.makeFolder("bin")));
    QtDesktop desktop;

    folder.writeFile("bin/gio", "#!/bin/sh\necho \"$@\" > \"$0.called\"\n");
    ::chmod((folder / "bin/gio").c_str(), 0755);
    EXPECT_TRUE(desktop.openFolder(shown));
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(folder / "bin/gio.called"); }, 30000));
    EXPECT_EQ(readFile(folder / "bin/gio.called"), "open file://" + folder.path() + "/home/My%20Game\n");

    ::unlink((folder / "bin/gio").c_str());
    EXPECT_FALSE(desktop.openFolder(shown));
    QMessageBox* message = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        message = message ? message : qobject_cast<QMessageBox*>(window);
    }
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text().toStdString(),
              "No file manager could be started to show the folder " + shown + ".");
    delete message;
    qputenv("PATH", path);
    if (!bus.isEmpty()) {
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    }
}

} // namespace
} // namespace quorvane::test

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
    const QByteArray path = qgetenv("PATH");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS"); // no file manager to ask over D-Bus either
    qputenv("PATH", QByteArray::fromStdString(folder.makeFolder("bin")));
    ::chmod(folder.writeFile("bin/gio", "#!/bin/sh\necho \"$@\" > \"$0.called\"\n").c_str(), 0755);
    QtDesktop desktop;
    EXPECT_TRUE(desktop.openFolder(shown));
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(folder / "bin/gio.called"); }, 30000));
    EXPECT_EQ(readFile(folder / "bin/gio.called"), "open file://" + folder.path() + "/home/My%20Game\n");

    ::unlink((folder / "bin/gio").c_str());
    EXPECT_FALSE(desktop.openFolder(shown));
    qputenv("PATH", path);
    const auto windows = QApplication::topLevelWidgets();
    const auto box =
        std::find_if(windows.begin(), windows.end(), [](QWidget* w) { return w->inherits("QMessageBox"); });
    ASSERT_NE(box, windows.end());
    EXPECT_EQ(static_cast<QMessageBox*>(*box)->text().toStdString(),
              "No file manager could be started to show the folder " + shown + ".");
    delete *box;
}

} // namespace
} // namespace quorvane::test

#include "app/UpdaterApplication.h"

#include "platform/UriList.h"
#include "platform/qt/HistoryWindow.h"
#include "platform/qt/QtTableView.h"
#include "support/EventLoopWait.h"
#include "support/TemporaryFolder.h"
#include "support/ZipBuilder.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// The program on a temporary home: preferences listing a damaged and a valid installation.
class UpdaterApplicationTest : public testing::Test {
protected:
    UpdaterApplicationTest() {
        Preferences(folder / "preferences.ini").setStringList("Target_Path_Array", Paths{damaged, valid});
        start("/usr/bin/jar");
    }
    void start(const std::string& jar) {
        UpdaterConfiguration configuration;
        configuration.preferencesPath = folder / "preferences.ini";
        configuration.jarPath = jar;
        configuration.stateFolder = folder / "state";
        updater.reset();
        updater = std::make_unique<UpdaterApplication>(configuration);
        updater->start();
        table().resize(600, 300);
    }

    QtTableView& table() { return updater->mainWindow().table(); }
    QPoint rowMiddle(int row) { return table().visualRect(table().model()->index(row, 1)).center(); }

    // Drags the files over the table to the point and lets go there, as a file manager's drag does.
    bool dragAndDrop(const Paths& paths, QPoint at) {
        QMimeData data;
        data.setData("text/uri-list", QByteArray::fromStdString(urilist::uriListFromLocalPaths(paths)));
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table().viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table().viewport(), &drop);
        return drop.isAccepted();
    }

    QMessageBox* visibleSheet() {
        QMessageBox* open = nullptr;
        for (QMessageBox* box : updater->mainWindow().widget().findChildren<QMessageBox*>()) {
            open = box->isVisible() ? box : open;
        }
        return open;
    }
    QMessageBox* openSheet() {
        waitUntil([&] { return visibleSheet() != nullptr; });
        return visibleSheet();
    }

    void press(QMessageBox* box, const QString& buttonText) {
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == buttonText) {
                button->click();
                waitUntil([&] { return !box->isVisible(); });
                QCoreApplication::processEvents();
                return;
            }
        }
        FAIL() << "no button " << buttonText.toStdString();
    }

    TemporaryFolder folder;
    std::string valid = folder.makeInstallation("home/Games/Quorvane");
    std::string damaged = folder.makeInstallation("home/Old/Quorvane", "1.10");
    std::unique_ptr<UpdaterApplication> updater;
};

TEST_F(UpdaterApplicationTest, StartsWithTheSavedInstallationsAndInstallsADroppedFolderAndArchive) {
    EXPECT_TRUE(updater->mainWindow().widget().isVisible());
    ASSERT_EQ(table().model()->rowCount(), 2);
    EXPECT_EQ(table().model()->index(1, 1).data().toString().toStdString(), damaged + "\nNot version 1.29.");
    const QImage icon = table().viewport()->grab(table().visualRect(table().model()->index(1, 0))).toImage();
    EXPECT_NE(icon.pixelColor(icon.rect().center()), icon.pixelColor(0, 0)) << "the bad folder icon";
    folder.writeFile("home/Games/Quorvane/Art/tree.png", "old tree");
    folder.writeFile("home/Downloads/Forest Pack/Art/tree.png", "new tree");
    ZipBuilder().add("Pack/Text/story.txt", "once upon").writeTo(folder / "home/Downloads/Pack.zip");
    const Paths items = {folder / "home/Downloads/Forest Pack", folder / "home/Downloads/Pack.zip"};

    EXPECT_FALSE(dragAndDrop(items, rowMiddle(1))) << "not onto a damaged row";
    ASSERT_TRUE(dragAndDrop(items, rowMiddle(0)));
    press(openSheet(), "OK");
    waitUntil([&] { return visibleSheet() != nullptr && visibleSheet()->text().startsWith("Application"); });
    ASSERT_NE(visibleSheet(), nullptr);
    EXPECT_EQ(visibleSheet()->text().toStdString(), "Application files updated successfully");
    auto* bar = updater->mainWindow().widget().findChild<QProgressBar*>();
    EXPECT_EQ(bar->value(), bar->maximum()) << "full while the report is open";
    EXPECT_EQ(readFile(valid + "/Art/tree.png"), "new tree");
    EXPECT_EQ(readFile(valid + "/Text/story.txt"), "once upon");
    press(visibleSheet(), "OK");
}

// The confirmation of an update that replaces 5,100 files and leaves out a link lists every one of them,
// each line as the plan words it (the window once stopped at 5,000), behind a button that reads "Show
// Changes…" and, once pressed, "Hide Changes" (the box puts its own labels back on each click); OK still
// starts the update.
TEST_F(UpdaterApplicationTest, TheConfirmationListsEveryChangeBehindShowChanges) {
    std::vector<QString> expected;
    for (int i = 0; i < 5100; ++i) {
        const std::string name = "Art/" + std::to_string(i) + ".png";
        folder.writeFile("home/Games/Quorvane/" + name, "old");
        folder.writeFile("home/Downloads/Pack/" + name, "new");
        expected.push_back(QString::fromStdString(name + ": It replaces the installed file."));
    }
    const std::string link = folder / "home/Downloads/Pack/Art/link.png";
    std::filesystem::create_symlink("/etc/passwd", link);
    expected.push_back(QString::fromStdString(link + ": It is a symbolic link."));
    std::sort(expected.begin(), expected.end());
    ASSERT_TRUE(dragAndDrop({folder / "home/Downloads/Pack"}, rowMiddle(0)));
    QMessageBox* sheet = openSheet();
    auto* list = sheet != nullptr ? sheet->findChild<QListView*>() : nullptr;
    ASSERT_NE(list, nullptr);
    std::vector<QString> rows;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        rows.push_back(list->model()->index(row, 0).data().toString());
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, expected);
    for (const char* label : {"Show Changes…", "Hide Changes", "Show Changes…"}) {
        SCOPED_TRACE(label);
        QAbstractButton* button = nullptr;
        for (QAbstractButton* each : sheet->buttons()) {
            button = each->text() == label ? each : button;
        }
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(list->isVisible(), button->text() == "Hide Changes");
        button->click();
    }
    press(sheet, "OK");
    waitUntil([&] { return visibleSheet() != nullptr && visibleSheet()->text().startsWith("Application"); });
    EXPECT_EQ(readFile(valid + "/Art/5099.png"), "new");
    press(visibleSheet(), "OK");
}

// The menu actions by their shortcuts, on real widgets: Paste takes a file manager's copied files (the
// forms: tests/platform) into the selected installation through the confirmation sheet a drop opens, byte
// for byte, and
// nothing when that sheet is cancelled; it is greyed out on a damaged row; Delete asks before it removes
// the row. The keyboard starts on the first row.
TEST_F(UpdaterApplicationTest, MenuShortcutsActOnTheSelectedRow) {
    folder.writeFile("home/Downloads/Pack \xe9t\xe9/Art/tree.png", "tree"); // a name that is not UTF-8
    const std::string uriList =
        urilist::uriListFromLocalPaths(Paths{folder / "home/Downloads/Pack \xe9t\xe9"});
    std::string copied = uriList;
    copied.erase(copied.find('\r'), 1);
    QWidget& window = updater->mainWindow().widget();
    EXPECT_EQ(window.focusWidget(), &table());
    QTest::keyClick(&table(), Qt::Key_Down);
    EXPECT_EQ(table().selectedRow(), 1) << "Down from the row selected at start";
    QTest::keyClick(&table(), Qt::Key_Home);
    EXPECT_EQ(table().selectedRow(), 0);
    QTest::keyClick(&table(), Qt::Key_End);
    EXPECT_EQ(table().selectedRow(), 1);
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&table(), Qt::Key_F1);
    auto* help = window.findChild<QTextBrowser*>();
    ASSERT_TRUE(help && help->isVisible());
    EXPECT_TRUE(help->toPlainText().contains("From a terminal")) << "the README's sections";
    QApplication::setActiveWindow(help); // offscreen, a window shown is not made active by itself
    QTest::keyClick(help, Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible()) << "Escape closes it";

    const std::string update = "Are you sure you want to update Quorvane?";
    const QKeyCombination paste = Qt::CTRL | Qt::Key_V;
    struct Case {
        const char* name;
        int row;
        QKeyCombination key;
        std::string opens;             // the sheet's text
        const char* button = "Cancel"; // pressed on the sheet
        std::string clipboard = "";    // a list of URLs, or a file manager's files after "copy\n" or "cut\n"
    };
    const Case cases[] = {
        {"uri-list", 0, paste, update, "Cancel", uriList},
        {"damaged row", 1, paste, "", "", uriList},
        {"Delete", 1, Qt::Key_Delete, "Remove " + damaged + " from the list?"},
        {"copied files", 0, paste, update, "OK", "copy\n" + copied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(exists(valid + "/Art/tree.png")) << "installed before the confirmation's OK";
        auto* data = new QMimeData;
        data->setData(c.clipboard.starts_with("c") ? "x-special/gnome-copied-files" : "text/uri-list",
                      QByteArray::fromStdString(c.clipboard));
        QGuiApplication::clipboard()->setMimeData(data);
        table().chooseRow(c.row);
        // Offscreen, no window manager gives the window back its focus when a sheet closes.
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        table().setFocus();
        QTest::keyClick(&table(), c.key.key(), c.key.keyboardModifiers());
        QMessageBox* sheet = c.opens.empty() ? visibleSheet() : openSheet();
        EXPECT_EQ(sheet ? sheet->text().toStdString() : "", c.opens);
        if (sheet) {
            const QString confirmation = QString::fromStdString("Click OK to update " + valid);
            EXPECT_TRUE(c.row != 0 || sheet->informativeText().startsWith(confirmation));
            press(sheet, c.button);
        }
    }
    press(openSheet(), "OK"); // the report
    EXPECT_EQ(readFile(valid + "/Art/tree.png"), "tree");
    EXPECT_EQ(table().model()->rowCount(), 2) << "Cancel kept the row";

    // F5, and coming back to the window, look again for the installations that were not found.
    InstallationList& list = updater->controller().installations();
    list.restoreSaved(Paths{folder / "drive/A", folder / "drive/B"});
    folder.makeInstallation("drive/A");
    QApplication::setActiveWindow(nullptr), QApplication::setActiveWindow(&window);
    EXPECT_EQ(list.validCount(), 2u) << "the window activated again";
    folder.makeInstallation("drive/B");
    QTest::keyClick(&table(), Qt::Key_F5);
    EXPECT_EQ(list.validCount(), 3u) << "F5";
}

// File ▸ Update History… (Ctrl+H) on real widgets: two updates of one file, newest first; undoing the
// older one names the later one in its way and, with "Undo", takes both back.
TEST_F(UpdaterApplicationTest, TheHistoryWindowUndoesAnOlderUpdateWithTheLaterOneInItsWay) {
    folder.writeFile("home/Games/Quorvane/Art/tree.png", "old tree");
    for (const std::string pack : {"Forest Pack", "Oak Pack"}) {
        folder.writeFile("home/Downloads/" + pack + "/Art/tree.png", pack);
        ASSERT_TRUE(dragAndDrop({folder / ("home/Downloads/" + pack)}, rowMiddle(0)));
        press(openSheet(), "OK");
        waitUntil(
            [&] { return visibleSheet() != nullptr && visibleSheet()->text().startsWith("Application"); });
        press(visibleSheet(), "OK");
    }
    QApplication::setActiveWindow(&updater->mainWindow().widget());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&updater->mainWindow().widget()));
    table().chooseRow(0);
    QTest::keyClick(&table(), Qt::Key_H, Qt::ControlModifier);
    HistoryWindow& history = updater->mainWindow().historyWindow();
    ASSERT_TRUE(waitUntil([&] { return history.isVisible(); }));
    const QAbstractItemModel& rows = *history.table().model();
    ASSERT_EQ(rows.rowCount(), 2);
    EXPECT_EQ((rows.index(0, 1).data().toString() + "|" + rows.index(1, 1).data().toString() + "|" +
               rows.index(1, 3).data().toString() + "|" + rows.index(1, 5).data().toString())
                  .toStdString(),
              "Oak Pack|Forest Pack|1|Yes");
    history.table().selectRow(1);
    history.button(HistoryAction::undoUpdate).click();
    QMessageBox* sheet = openSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE((sheet->text() + "|" + sheet->informativeText())
                    .startsWith("Undo Forest Pack?|1 later updates changed the same files and are undone "
                                "first:\n\nOak Pack ("))
        << sheet->informativeText().toStdString(); // the program's plural forms are not loaded here
    press(sheet, "Undo");
    waitUntil([&] { return visibleSheet() != nullptr && visibleSheet()->text().contains("undone"); });
    ASSERT_NE(visibleSheet(), nullptr);
    EXPECT_EQ(visibleSheet()->text().toStdString(), "The update was undone");
    press(visibleSheet(), "OK");
    EXPECT_EQ(rows.rowCount(), 0);
    EXPECT_EQ(readFile(valid + "/Art/tree.png"), "old tree");
}

// The keyboard alone stops an update (here its extraction tool never ends): Tab goes from the rows to the
// Cancel button, Escape presses it from anywhere in the window; a screen reader hears the status change
// and the bar move (their accessible names and values), and the status reads as cancelled at the end.
TEST_F(UpdaterApplicationTest, TheKeyboardStopsARunningUpdateAndAScreenReaderFollowsIt) {
    start(folder.writeFile("tools/jar", "#!/bin/sh\nexec sleep 60\n"));
    ::chmod((folder / "tools/jar").c_str(), 0755);
    ZipBuilder().add("Pack/Art/tree.png", "tree").writeTo(folder.makeFolder("home/Downloads") + "/Pack.zip");
    QWidget& window = updater->mainWindow().widget();
    auto* cancel = window.findChild<QPushButton*>("cancelButton");
    QAccessibleInterface* status =
        QAccessible::queryAccessibleInterface(window.findChild<QLabel*>("activityLabel"));
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window.findChild<QProgressBar*>());
    ASSERT_TRUE(cancel && status && bar && bar->valueInterface());
    for (const bool tab : {true, false}) {
        SCOPED_TRACE(tab ? "Tab, then Space on Cancel" : "Escape");
        ASSERT_TRUE(dragAndDrop(Paths{folder / "home/Downloads/Pack.zip"}, rowMiddle(0)));
        QTest::keyClick(openSheet(), Qt::Key_Return);
        ASSERT_TRUE(waitUntil([&] { return cancel->isEnabled(); }));
        QApplication::setActiveWindow(&window);
        table().setFocus();
        QTest::keyClick(&table(), tab ? Qt::Key_Tab : Qt::Key_Escape);
        if (tab) {
            EXPECT_EQ(window.focusWidget(), cancel);
            QTest::keyClick(cancel, Qt::Key_Space);
        }
        EXPECT_FALSE(cancel->isEnabled());
        ASSERT_NE(openSheet(), nullptr);
        EXPECT_EQ(visibleSheet()->text().toStdString(), "Update cancelled");
        EXPECT_EQ(window.focusWidget(), &table()) << "the keyboard is back on the rows";
        EXPECT_EQ(status->text(QAccessible::Name) + "|" + bar->text(QAccessible::Name),
                  "Update cancelled|Update progress");
        EXPECT_LT(bar->valueInterface()->currentValue().toInt(),
                  bar->valueInterface()->maximumValue().toInt())
            << "not full: the update stopped before its end";
        EXPECT_FALSE(exists(valid + "/Art/tree.png"));
        press(visibleSheet(), "OK");
    }
}

} // namespace
} // namespace quorvane::test

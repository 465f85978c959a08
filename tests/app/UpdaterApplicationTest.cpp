#include "app/UpdaterApplication.h"
#include "platform/UriList.h"
#include "platform/qt/QtTableView.h"
#include "support/EventLoopWait.h"
#include "support/TemporaryFolder.h"
#include "support/ZipBuilder.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QDialog>
#include <QTest>
#include <QApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>
#include <unistd.h>

namespace quorvane::test {
namespace {

using Paths = std::vector<std::string>;

// The program on a temporary home: preferences listing a valid and a damaged installation, and a
// folder of add-ons to drag in.
class UpdaterApplicationTest : public testing::Test {
protected:
    UpdaterApplicationTest() {
        valid = folder.makeInstallation("home/Games/Quorvane");
        damaged = folder.makeInstallation("home/Old/Quorvane", "1.10");
        {
            UserDefaults defaults(folder / "preferences.ini");
            defaults.setObject(Paths{damaged, valid}, "Target_Path_Array");
        }
        UpdaterConfiguration configuration;
        configuration.preferencesPath = folder / "preferences.ini";
        updater = std::make_unique<UpdaterApplication>(configuration);
        updater->start();
        table().resize(600, 300);
    }
    ~UpdaterApplicationTest() override {
        updater.reset();
        [[maybe_unused]] const int ignored = ::chdir("/");
    }

    QtTableView& table() { return updater->mainWindow().appPathSelector(); }
    QPoint rowMiddle(int row) {
        return {table().viewport()->width() / 2, table().rowViewportPosition(row) + table().QTableView::rowHeight(row) / 2};
    }
    QPoint rowTopEdge(int row) { return {table().viewport()->width() / 2, table().rowViewportPosition(row) + 1}; }

    // Drags the files over the table to the point and lets go, as a file manager's drag does.
    bool dragAndDrop(const Paths& paths, QPoint at) {
        QMimeData data;
        const std::string uriList = urilist::uriListFromLocalPaths(paths);
        data.setData("text/uri-list", QByteArray(uriList.data(), static_cast<qsizetype>(uriList.size())));
        QWidget* viewport = table().viewport();
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        if (!move.isAccepted()) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(viewport, &leave);
            return false;
        }
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        return drop.isAccepted();
    }

    // The open sheet, waited for; none when none opens within the wait.
    QMessageBox* openSheet(std::chrono::milliseconds wait = std::chrono::milliseconds(10000)) {
        QMessageBox* open = nullptr;
        waitUntil([&] {
            for (QMessageBox* box : updater->mainWindow().widget().findChildren<QMessageBox*>()) {
                if (box->isVisible()) {
                    open = box;
                }
            }
            return open != nullptr;
        }, wait);
        return open;
    }

    void press(QMessageBox* box, const QString& buttonText) {
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

    QString cellText(int row, int column) {
        return table().model()->index(row, column).data(Qt::DisplayRole).toString();
    }

    TemporaryFolder folder;
    std::string valid;
    std::string damaged;
    std::unique_ptr<UpdaterApplication> updater;
};

TEST_F(UpdaterApplicationTest, ListsTheSavedInstallationsWithIconsAndStatusLines) {
    EXPECT_TRUE(updater->mainWindow().widget().isVisible());
    EXPECT_EQ(updater->mainWindow().widget().windowTitle(), "Quorvane Updater");
    ASSERT_EQ(table().model()->rowCount(), 2);
    EXPECT_EQ(cellText(0, 1).toStdString(), valid + "\n");
    EXPECT_EQ(cellText(1, 1).toStdString(), damaged + "\nNot version 1.29.");
    EXPECT_FALSE(table().model()->index(0, 0).data(Qt::DecorationRole).isNull()) << "the good folder icon";
    EXPECT_FALSE(table().model()->index(1, 0).data(Qt::DecorationRole).isNull()) << "the bad folder icon";
}

TEST_F(UpdaterApplicationTest, AWrapperFolderDroppedOnAnInstallationIsInstalledWithBackups) {
    folder.writeFile("home/Games/Quorvane/Art/tree.png", "old tree");
    folder.writeFile("home/Downloads/Forest Pack/Art/tree.png", "new tree");
    folder.writeFile("home/Downloads/Forest Pack/Art/Maps/forest.map", "map");
    folder.writeFile("home/Downloads/Forest Pack/README.txt", "read me");

    EXPECT_FALSE(dragAndDrop(Paths{folder / "home/Downloads/Forest Pack"}, rowMiddle(1))) << "not onto a damaged row";
    ASSERT_TRUE(dragAndDrop(Paths{folder / "home/Downloads/Forest Pack"}, rowMiddle(0)));
    QMessageBox* confirmation = openSheet();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(confirmation->text().toStdString(), "Are you sure you want to update Quorvane?");
    EXPECT_EQ(confirmation->informativeText().toStdString(), "Click OK to update " + valid + " using:\n\nForest Pack");
    EXPECT_EQ(confirmation->windowModality(), Qt::WindowModal);
    press(confirmation, "OK");

    QMessageBox* report = openSheet();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->text().toStdString(), "Application files updated successfully");
    EXPECT_EQ(report->informativeText().toStdString(), "3 files added\n1 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(readFile(valid + "/Art/tree.png"), "new tree");
    EXPECT_EQ(readFile(valid + "/Art/Maps/forest.map"), "map");
    EXPECT_EQ(readFile(valid + "/README.txt"), "read me");
    const auto backups = *FileManager().directoryContentsAtPath(valid + "/BackupFiles");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(readFile(valid + "/BackupFiles/" + backups[0] + "/Art/tree.png"), "old tree");

    const auto labels = updater->mainWindow().widget().findChildren<QLabel*>();
    QStringList shown;
    for (const QLabel* label : labels) {
        shown << label->text();
    }
    EXPECT_TRUE(shown.contains("Installing:"));
    EXPECT_TRUE(shown.contains("Complete"));
    EXPECT_EQ(updater->mainWindow().widget().findChild<QProgressBar*>()->value(), 0);
    press(report, "OK");
}

TEST_F(UpdaterApplicationTest, ADroppedArchiveIsExtractedAndInstalled) {
    folder.makeFolder("home/Downloads");
    ZipBuilder().add("Pack/Text/story.txt", "once upon").writeTo(folder / "home/Downloads/Pack.zip");
    ASSERT_TRUE(dragAndDrop(Paths{folder / "home/Downloads/Pack.zip"}, rowMiddle(0)));
    press(openSheet(), "OK");
    QMessageBox* report = openSheet();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->informativeText().toStdString(), "1 files added\n0 previous files backed up\n0 duplicate files ignored.");
    EXPECT_EQ(readFile(valid + "/Text/story.txt"), "once upon");
    EXPECT_EQ(treeListing(folder / "home/Downloads"), "Pack.zip\n");
}

TEST_F(UpdaterApplicationTest, CancelInstallsNothing) {
    folder.writeFile("home/Downloads/Art/new.png", "new");
    ASSERT_TRUE(dragAndDrop(Paths{folder / "home/Downloads/Art"}, rowMiddle(0)));
    press(openSheet(), "Cancel");
    EXPECT_FALSE(exists(valid + "/Art/new.png"));
    EXPECT_EQ(openSheet(std::chrono::milliseconds(500)), nullptr) << "no run, so no report";
}

TEST_F(UpdaterApplicationTest, AnInstallationFolderDroppedBetweenRowsJoinsTheListAndIsSaved) {
    const std::string another = folder.makeInstallation("home/Backup Copy/Quorvane");
    ASSERT_TRUE(dragAndDrop(Paths{another}, rowTopEdge(1)));
    ASSERT_EQ(table().model()->rowCount(), 3);
    EXPECT_EQ(cellText(1, 1).toStdString(), another + "\n") << "after the valid rows";
    updater->userDefaults().synchronize();
    EXPECT_EQ(UserDefaults(folder / "preferences.ini").stringArrayForKey("Target_Path_Array"),
              (Paths{valid, damaged, another}));
}

TEST_F(UpdaterApplicationTest, DragsOfOtherThingsAreRefused) {
    QMimeData text;
    text.setText("just text");
    QDragEnterEvent enter(rowMiddle(0), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(table().viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_FALSE(dragAndDrop(Paths{}, rowMiddle(0)));
}

// The menu actions by their shortcuts, on real widgets: Paste takes a file manager's copied files (either
// form) into the selected installation through the confirmation sheet a drop opens, byte for byte; it is
// greyed out on a damaged row; Delete asks before it removes the row; the other keys and a double-click
// open their dialog or menu. The keyboard starts on the first row.
TEST_F(UpdaterApplicationTest, MenuShortcutsActOnTheSelectedRow) {
    folder.writeFile("home/Downloads/Pack \xe9t\xe9/Art/tree.png", "tree"); // a name that is not UTF-8
    const std::string pack = folder / "home/Downloads/Pack \xe9t\xe9";
    std::string uriList = urilist::uriListFromLocalPaths(Paths{pack});
    std::string copied = uriList;
    copied.erase(copied.find('\r'), 1);
    const auto toBytes = [](const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); };
    QWidget& window = updater->mainWindow().widget();
    QStringList menus;
    for (QAction* menu : window.findChild<QMenuBar*>()->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus.join(' ').toStdString(), "&File &Edit &Help");
    EXPECT_EQ(window.focusWidget(), &table());
    QTest::keyClick(&table(), Qt::Key_Down);
    EXPECT_EQ(table().selectedRow(), 1) << "Down from the row selected at start";

    struct Case {
        const char* name;
        int row;
        const char* format;
        std::string data;
        QKeyCombination key; // Key_unknown: a double-click on the row
        std::string title; // of the sheet that opens; "" for none
        const char* button;
        const char* opens = ""; // the title of the dialog or menu that opens instead, closed at once
    };
    const Case cases[] = {
        {"uri-list", 0, "text/uri-list", uriList, Qt::CTRL | Qt::Key_V, "Are you sure you want to update Quorvane?", "Cancel"},
        {"cut files", 0, "x-special/gnome-copied-files", "cut\n" + copied, Qt::CTRL | Qt::Key_V,
         "Are you sure you want to update Quorvane?", "Cancel"},
        {"damaged row", 1, "text/uri-list", uriList, Qt::CTRL | Qt::Key_V, "", ""},
        {"Insert", 0, "", "", QKeyCombination(Qt::Key_Insert), "", "", "Add Installation"},
        {"F1", 0, "", "", QKeyCombination(Qt::Key_F1), "", "", "About"},
        {"F10", 0, "", "", QKeyCombination(Qt::Key_F10), "", "", "&File"},
        {"Return", 0, "", "", QKeyCombination(Qt::Key_Return), "", "", "Install Add-on Files"},
        {"double-click", 0, "", "", QKeyCombination(Qt::Key_unknown), "", "", "Install Add-on Files"},
        {"double-click on a damaged row", 1, "", "", QKeyCombination(Qt::Key_unknown), "", ""},
        {"Delete", 1, "", "", QKeyCombination(Qt::Key_Delete), "Remove " + damaged + " from the list?", "Cancel"},
        {"copied files", 0, "x-special/gnome-copied-files", "copy\n" + copied, Qt::CTRL | Qt::Key_V,
         "Are you sure you want to update Quorvane?", "OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* data = new QMimeData;
        if (*c.format != '\0') {
            data->setData(c.format, toBytes(c.data));
        }
        QGuiApplication::clipboard()->setMimeData(data);
        table().selectRow(c.row, false);
        // Offscreen, no window manager gives the window back its focus when a sheet closes.
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        table().setFocus();
        // A dialog runs its own event loop: it is looked at and closed from there.
        QString opened;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = dialog->windowTitle();
                dialog->reject();
            }
        });
        closer.start(10);
        if (c.key.key() == Qt::Key_unknown) {
            QTest::mouseClick(table().viewport(), Qt::LeftButton, {}, rowMiddle(c.row)); // a double-click's first
            QTest::mouseDClick(table().viewport(), Qt::LeftButton, {}, rowMiddle(c.row));
        } else {
            QTest::keyClick(&table(), c.key.key(), c.key.keyboardModifiers());
        }
        closer.stop();
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            opened = menu->title();
            menu->close();
        }
        EXPECT_EQ(opened.toStdString(), c.opens);
        QMessageBox* sheet = nullptr;
        for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
            sheet = box->isVisible() ? box : sheet;
        }
        if (c.title.empty()) {
            EXPECT_EQ(sheet, nullptr);
            continue;
        }
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->text().toStdString(), c.title);
        if (c.row == 0) {
            EXPECT_EQ(sheet->informativeText().toStdString().substr(0, 19 + valid.size()),
                      "Click OK to update " + valid);
        }
        press(sheet, c.button);
    }
    QMessageBox* report = openSheet();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(readFile(valid + "/Art/tree.png"), "tree");
    press(report, "OK");
    EXPECT_EQ(table().model()->rowCount(), 2) << "Cancel kept the row";
}

} // namespace
} // namespace quorvane::test

#include "platform/qt/MainWindow.h"

#include "platform/UserDefaults.h"
#include "platform/qt/QtTableView.h"
#include "support/TemporaryFolder.h"

#include <QAccessible>
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

class MainWindowTest : public testing::Test {
protected:
    test::TemporaryFolder folder;
    UserDefaults userDefaults{folder / "preferences.ini"};
    MainWindow mainWindow{userDefaults};
};

TEST_F(MainWindowTest, HoldsTheControlsTheControllerUses) {
    EXPECT_EQ(mainWindow.window().title(), "Quorvane Updater");
    QtTableView& table = mainWindow.appPathSelector();
    EXPECT_EQ(table.columnIdentifiers(), QStringList({"icon", "pathDescription"}));
    EXPECT_NE(table.tableColumnWithIdentifier("icon"), nullptr);
    EXPECT_NE(table.tableColumnWithIdentifier("pathDescription"), nullptr);
    EXPECT_EQ(table.tableColumnWithIdentifier("status"), nullptr);
    EXPECT_FALSE(mainWindow.cancelButton().isEnabled());
    EXPECT_EQ(mainWindow.progress().doubleValue(), 0.0);

    auto* cancel = mainWindow.widget().findChild<QPushButton*>("_cancelButton");
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Cancel");
    for (const char* name : {"_file", "_fileLabel"}) {
        auto* label = mainWindow.widget().findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
    }
}

TEST_F(MainWindowTest, ScreenReadersFindANamedFrameWithNamedControls) {
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&mainWindow.widget());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), "Quorvane Updater");
    // Named also while they show nothing; what they show follows the name.
    mainWindow.file().setStringValue("Art/a.png");
    const std::pair<const char*, QAccessible::Role> controls[] = {
        {"_fileLabel", QAccessible::StaticText},
        {"_file", QAccessible::StaticText},
        {"_progress", QAccessible::ProgressBar},
        {"_appPathSelector", QAccessible::Table},
    };
    for (const auto& [name, role] : controls) {
        auto* widget = mainWindow.widget().findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->role(), role) << name;
        EXPECT_FALSE(control->text(QAccessible::Name).isEmpty()) << name;
        EXPECT_NE(control->text(QAccessible::Name), "Art/a.png") << name;
    }
    auto* file = mainWindow.widget().findChild<QWidget*>("_file");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(file)->text(QAccessible::Description), "Art/a.png");
}

TEST_F(MainWindowTest, WindowHasTheProgramsIconInTheDesktopsSizes) {
    const QIcon icon = mainWindow.widget().windowIcon();
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        EXPECT_EQ(icon.pixmap(QSize(size, size)).size(), QSize(size, size)) << size;
    }
    EXPECT_EQ(icon.availableSizes().size(), 6);
}

TEST_F(MainWindowTest, CancelButtonRunsItsAction) {
    int clicks = 0;
    mainWindow.cancelButton().setAction([&clicks] { ++clicks; });
    mainWindow.cancelButton().setEnabled(true);
    mainWindow.widget().findChild<QPushButton*>("_cancelButton")->click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(MainWindowTest, TableGrowsWithTheWindowAlsoBeforeItIsShown) {
    QtTableView& table = mainWindow.appPathSelector();
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        if (shown) {
            mainWindow.window().makeKeyAndOrderFront();
        }
        mainWindow.window().setFrame(Rect{50, 100, 500, 280}, false);
        const Rect frame = mainWindow.window().frame();
        ASSERT_EQ(frame, (Rect{50, 100, 500, 280}));
        const float tableHeight = table.frame().height;
        EXPECT_GT(tableHeight, table.rowHeight());
        mainWindow.window().setFrame(Rect{frame.x, frame.y, frame.width, frame.height + 60}, true);
        EXPECT_EQ(mainWindow.window().frame(), (Rect{frame.x, frame.y, frame.width, frame.height + 60}));
        EXPECT_EQ(table.frame().height, tableHeight + 60);
    }
}

} // namespace
} // namespace quorvane

#include "platform/qt/MainWindow.h"

#include "platform/UserDefaults.h"
#include "platform/qt/QtTableView.h"
#include "support/TemporaryFolder.h"

#include <QApplication>
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

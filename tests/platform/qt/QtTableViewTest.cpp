#include "platform/qt/QtTableView.h"

#include "FakeTableDataSource.h"
#include "platform/TableColumn.h"
#include "platform/qt/QtImageLoader.h"
#include "platform/qt/SystemFont.h"
#include "platform/qt/TableDataSourceModel.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

const TextStyle kStatusLineStyle{10.0, TextColor::Red};

AttributedString description(const std::string& path, const std::string& status) {
    AttributedString text(path + "\n" + status);
    text.setAttributes(kStatusLineStyle, path.size() + 1, status.size());
    return text;
}

bool isRed(QRgb pixel) {
    return qRed(pixel) > 180 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}
bool isFolderBlue(QRgb pixel) {
    return qBlue(pixel) > 150 && qRed(pixel) < 140 && qGreen(pixel) < 200;
}

int countPixels(const QImage& image, const QRect& area, bool (*matches)(QRgb)) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += matches(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

class QtTableViewTest : public testing::Test {
protected:
    QtTableViewTest() {
        table.setColumnIdentifiers({"icon", "pathDescription"});
        table.resize(460, 300);
        table.setDataSource(&source);
        table.show();
    }

    void setRows(std::vector<std::map<std::string, ObjectValue>> rows) {
        source.rows = std::move(rows);
        table.reloadData();
    }

    QImage snapshot() { return table.viewport()->grab().toImage(); }

    QRect cellRect(int row, int column) { return table.visualRect(table.model()->index(row, column)); }

    test::FakeTableDataSource source;
    QtTableView table;
};

TEST_F(QtTableViewTest, ModelShowsTheDataSourceRowsAndCountsThemAgainOnlyOnReload) {
    setRows({{{"pathDescription", description("/games/A", "")}},
             {{"pathDescription", description("/games/B", "Art folder missing")}},
             {{"pathDescription", std::string("Sorry. Cannot find Quorvane version 1.29.")}}});
    QAbstractItemModel& model = *table.model();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.index(1, 1).data().toString(), "/games/B\nArt folder missing");
    EXPECT_EQ(model.index(2, 1).data().toString(), "Sorry. Cannot find Quorvane version 1.29.");
    EXPECT_FALSE(model.index(1, 0).data().isValid());

    source.rows.push_back({});
    EXPECT_EQ(model.rowCount(), 3);
    table.reloadData();
    EXPECT_EQ(model.rowCount(), 4);
}

TEST_F(QtTableViewTest, StyledTextKeepsItsRunsForTheDelegate) {
    setRows({{{"pathDescription", description("/games/B", "Art folder missing")}}});
    const QVariant styled = table.model()->index(0, 1).data(TableDataSourceModel::StyledTextRole);
    ASSERT_TRUE(styled.canConvert<AttributedString>());
    EXPECT_EQ(styled.value<AttributedString>(), description("/games/B", "Art folder missing"));
}

TEST_F(QtTableViewTest, StatusLineIsDrawnRedUnderAPathOfMultiByteCharacters) {
    std::string path = "/home/";
    for (int i = 0; i < 40; ++i) {
        path += "\xc3\xa9"; // é: counting its bytes as characters would put the status line past the text
    }
    setRows({{{"pathDescription", description(path, "Text folder missing")}},
             {{"pathDescription", description("/games/valid", "")}}});
    const QImage image = snapshot();
    const QRect damaged = cellRect(0, 1);
    const QRect upperHalf(damaged.left(), damaged.top(), damaged.width(), damaged.height() / 2);
    const QRect lowerHalf(damaged.left(), damaged.center().y(), damaged.width(), damaged.height() / 2);
    EXPECT_EQ(countPixels(image, upperHalf, isRed), 0);
    EXPECT_GT(countPixels(image, lowerHalf, isRed), 30);
    EXPECT_EQ(countPixels(image, cellRect(1, 1), isRed), 0);
}

TEST_F(QtTableViewTest, IconColumnDrawsItsImageCentredOnceItHasAnImageCell) {
    QtImageLoader loader;
    const ImagePtr folder = loader.imageWithContentsOfFile(":/resources/Zell.icns");
    ASSERT_NE(folder, nullptr);
    setRows({{{"icon", folder}, {"pathDescription", description("/games/A", "")}},
             {{"pathDescription", description("/games/B", "Art folder missing")}}});
    EXPECT_FALSE(qvariant_cast<QIcon>(table.model()->index(0, 0).data(Qt::DecorationRole)).isNull());

    TableColumn* column = table.tableColumnWithIdentifier("icon");
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->identifier(), "icon");
    column->setDataCell(ImageCell{});
    const QImage image = snapshot();

    const QRect cell = cellRect(0, 0);
    QRect drawn;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            if (isFolderBlue(image.pixel(x, y))) {
                drawn |= QRect(x, y, 1, 1);
            }
        }
    }
    ASSERT_FALSE(drawn.isEmpty());
    EXPECT_TRUE(cell.contains(drawn));
    EXPECT_NEAR(drawn.center().x(), cell.center().x(), 2);
    EXPECT_NEAR(drawn.center().y(), cell.center().y(), 3);
    EXPECT_EQ(countPixels(image, cellRect(1, 0), isFolderBlue), 0);
}

TEST_F(QtTableViewTest, RowsFitAPathAndATenPointStatusLine) {
    const int twoLines = table.fontMetrics().lineSpacing() + QFontMetrics(systemFontOfSize(10)).lineSpacing();
    EXPECT_GE(table.rowHeight(), twoLines);
    setRows({{}, {}});
    EXPECT_EQ(table.QTableView::rowHeight(1), static_cast<int>(table.rowHeight()));
    EXPECT_EQ(table.frame().height, table.viewport()->height());
}

TEST_F(QtTableViewTest, DropIndicatorFramesTheRowOrMarksTheGapAboveIt) {
    setRows({{}, {}, {}});
    table.selectRow(2, false);
    const QImage unmarked = snapshot();
    auto marked = [&](int x, int y) { return snapshot().pixel(x, y) != unmarked.pixel(x, y); };
    const int rowHeight = static_cast<int>(table.rowHeight());
    const int middleOfRow1 = table.rowViewportPosition(1) + rowHeight / 2;
    const int middleX = table.viewport()->width() / 2;

    table.setDropRow(1, TableViewDropOperation::NSTableViewDropOn);
    EXPECT_TRUE(marked(1, middleOfRow1));
    EXPECT_TRUE(marked(middleX, table.rowViewportPosition(1) + 1));
    EXPECT_FALSE(marked(middleX, middleOfRow1));

    table.setDropRow(2, TableViewDropOperation::NSTableViewDropOn); // the selected row
    EXPECT_TRUE(marked(1, table.rowViewportPosition(2) + rowHeight / 2));

    table.setDropRow(1, TableViewDropOperation::NSTableViewDropAbove);
    EXPECT_TRUE(marked(middleX, table.rowViewportPosition(1)));
    EXPECT_FALSE(marked(1, middleOfRow1));

    table.setDropRow(3, TableViewDropOperation::NSTableViewDropAbove);
    EXPECT_TRUE(marked(middleX, table.rowViewportPosition(2) + rowHeight));
}

TEST_F(QtTableViewTest, SelectRowSelectsThatRowAlone) {
    setRows({{}, {}, {}});
    table.selectRow(0, false);
    table.selectRow(2, false);
    const QModelIndexList rows = table.selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].row(), 2);
}

TEST_F(QtTableViewTest, ScreenReadersReadEachCellAsItsRowsPathAndStatus) {
    QtImageLoader loader;
    setRows({{{"icon", loader.imageWithContentsOfFile(":/resources/Zell_bad.icns")},
              {"pathDescription", description("/games/B", "Art folder missing")}},
             {{"pathDescription", description("/games/A", "")}}});
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&table);
    ASSERT_NE(accessible, nullptr);
    QAccessibleTableInterface* accessibleTable = accessible->tableInterface();
    ASSERT_NE(accessibleTable, nullptr);
    EXPECT_EQ(accessibleTable->rowCount(), 2);
    for (int column = 0; column < 2; ++column) {
        SCOPED_TRACE(column);
        QAccessibleInterface* damaged = accessibleTable->cellAt(0, column);
        ASSERT_NE(damaged, nullptr);
        EXPECT_EQ(damaged->text(QAccessible::Name), "/games/B\nArt folder missing");
        QAccessibleInterface* valid = accessibleTable->cellAt(1, column);
        ASSERT_NE(valid, nullptr);
        EXPECT_TRUE(valid->text(QAccessible::Name).startsWith("/games/A"));
    }
}

} // namespace
} // namespace quorvane

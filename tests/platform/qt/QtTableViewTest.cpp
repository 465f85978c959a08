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
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

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
    const int twoLines =
        table.fontMetrics().lineSpacing() + QFontMetrics(systemFontOfSize(10, table.font())).lineSpacing();
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

TEST_F(QtTableViewTest, ScreenReadersReadEachRowOnceAsItsPathThenStatus) {
    QtImageLoader loader;
    setRows({{{"icon", loader.imageWithContentsOfFile(":/resources/Zell_bad.icns")},
              {"pathDescription", description("/games/B", "Art folder missing")}},
             {{"pathDescription", description("/games/A", "")}}});
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&table);
    ASSERT_NE(accessible, nullptr);
    QAccessibleTableInterface* accessibleTable = accessible->tableInterface();
    ASSERT_NE(accessibleTable, nullptr);
    ASSERT_EQ(accessibleTable->rowCount(), 2);
    const QStringList expected = {"/games/B\nArt folder missing", "/games/A"};
    for (int row = 0; row < 2; ++row) {
        QStringList names;
        for (int column = 0; column < 2; ++column) {
            QAccessibleInterface* cell = accessibleTable->cellAt(row, column);
            ASSERT_NE(cell, nullptr);
            names.append(cell->text(QAccessible::Name));
        }
        EXPECT_EQ(names, QStringList({"", expected[row]})) << row;
        EXPECT_EQ(table.model()->index(row, 1).data(Qt::ToolTipRole).toString(), expected[row]);
    }
    // The focus, which a screen reader follows, stays on the cell that names the row.
    table.setCurrentIndex(table.model()->index(1, 0));
    EXPECT_EQ(table.currentIndex(), table.model()->index(1, 1));
}

TEST_F(QtTableViewTest, LongPathLosesItsMiddleAndKeepsItsEndAndStatusLine) {
    const std::string middle = "/home/player/" + std::string(200, 'm');
    setRows({{{"pathDescription", description(middle + "/WWWW", "Art folder missing")}},
             {{"pathDescription", description(middle + "/iiii", "Art folder missing")}}});
    const QImage image = snapshot();
    std::vector<QImage> paths;
    for (int row = 0; row < 2; ++row) {
        const QRect cell = cellRect(row, 1);
        const QRect upperHalf(cell.left(), cell.top(), cell.width(), cell.height() / 2);
        const QRect lowerHalf(cell.left(), cell.center().y(), cell.width(), cell.height() / 2);
        paths.push_back(image.copy(upperHalf));
        EXPECT_EQ(countPixels(image, upperHalf, isRed), 0) << row;
        EXPECT_GT(countPixels(image, lowerHalf, isRed), 30) << row;
    }
    EXPECT_NE(paths[0], paths[1]); // the ends differ; cut off, they would look alike
}

// Relative luminance and contrast ratio as accessibility guidelines define them.
double contrast(QColor a, QColor b) {
    const auto luminance = [](QColor color) {
        const auto linear = [](double c) {
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(QtTableViewTest, StatusLineStaysReadableRedOnEveryBackgroundAndFollowsTheFontSize) {
    struct Case {
        const char* name;
        QColor base, text, highlight, highlightedText;
        bool selected;
        double pointSize;
    };
    const QColor lightBlue(48, 140, 198), darkBlue(42, 130, 218), dark(42, 42, 42), light(230, 230, 230);
    const Case cases[] = {
        {"light", Qt::white, Qt::black, lightBlue, Qt::white, false, 13},
        {"light, large font", Qt::white, Qt::black, lightBlue, Qt::white, false, 26},
        {"light, selected", Qt::white, Qt::black, lightBlue, Qt::white, true, 13},
        {"dark", dark, light, darkBlue, Qt::white, false, 13},
        {"dark, selected", dark, light, darkBlue, Qt::white, true, 13},
    };
    std::map<double, int> inkHeights;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QPalette palette = table.palette();
        palette.setColor(QPalette::Base, c.base);
        palette.setColor(QPalette::Text, c.text);
        palette.setColor(QPalette::Highlight, c.highlight);
        palette.setColor(QPalette::HighlightedText, c.highlightedText);
        table.setPalette(palette);
        QFont font = table.font();
        font.setPointSizeF(c.pointSize);
        font.setStyleStrategy(QFont::NoAntialias); // each pixel of the text is the colour drawn
        table.setFont(font);
        setRows({{{"pathDescription", description("/games/B", "Art folder missing")}}});
        table.clearSelection();
        if (c.selected) {
            table.selectRow(0, false);
        }
        const QImage image = snapshot();
        const QRect cell = cellRect(0, 1);
        const QColor background = image.pixelColor(cell.right() - 1, cell.top() + 1);
        EXPECT_EQ(background, c.selected ? c.highlight : c.base);
        int ink = 0, top = cell.bottom(), bottom = cell.top();
        double lowestContrast = 21;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.red() > pixel.green() + 40 && pixel.red() > pixel.blue() + 40) {
                    ++ink;
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                    lowestContrast = std::min(lowestContrast, contrast(pixel, background));
                }
            }
        }
        EXPECT_GT(ink, 30);
        EXPECT_GE(lowestContrast, 4.5);
        inkHeights[c.pointSize] = bottom - top + 1;
    }
    EXPECT_GE(inkHeights[26], inkHeights[13] * 3 / 2);
}

} // namespace
} // namespace quorvane

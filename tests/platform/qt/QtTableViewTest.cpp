#include "platform/qt/QtTableView.h"

#include "controller/InstallationListModel.h"
#include "platform/UriList.h"
#include "platform/qt/InstallationTextDelegate.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QStandardItemModel>
#include <QStringListModel>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

using Placement = DropPosition::Placement;
using Paths = std::vector<std::string>;

// Answers drags as told and records what the table asked.
class FakeDropHandler : public DropHandler {
public:
    using Call = std::pair<DropPosition, std::optional<Paths>>;
    std::optional<DropPosition> judgeDrag(const std::optional<Paths>& items, DropPosition proposed) override {
        judgements.emplace_back(proposed, items);
        return verdict ? std::optional(verdict->row < 0 ? proposed : *verdict) : std::nullopt;
    }
    bool drop(const std::optional<Paths>& items, DropPosition position) override {
        drops.emplace_back(position, items);
        return true;
    }
    void dragLeft() override {}

    // None: refused; a row below 0: taken where proposed.
    std::optional<DropPosition> verdict = DropPosition{-1, Placement::onRow};
    std::vector<Call> judgements, drops;
};

class QtTableViewTest : public testing::Test {
protected:
    QtTableViewTest() {
        table.setModel(&rows);
        table.setItemDelegate(new InstallationTextDelegate(&table));
        table.resize(460, 300);
        table.setDropHandler(&handler);
        table.show();
    }
    void setRows(const QStringList& descriptions, const QString& statusLine = {}) {
        rows.clear();
        rows.setColumnCount(2);
        for (const QString& description : descriptions) {
            auto* item = new QStandardItem(description);
            item->setData(statusLine, InstallationListModel::StatusLineRole);
            rows.appendRow({new QStandardItem(), item});
        }
    }

    QPoint inRow(int row, double fraction) const {
        return {table.viewport()->width() / 2,
                table.rowViewportPosition(row) + int(fraction * table.rowHeight(0))};
    }

    FakeDropHandler handler;
    QStandardItemModel rows;
    QtTableView table;
};

// A drag enters, moves and drops at one point, as the window system delivers it.
TEST_F(QtTableViewTest, DragsAreOfferedAtTheRowUnderThePointerAndOnlyLocalFilesToCopyAreTaken) {
    setRows({"a", "b", "c"});
    const Paths paths = {"/home/me/Art", "/tmp/drop/caf\xe9 \xff #1%.zip"}; // byte for byte, not UTF-8
    const QByteArray files = QByteArray::fromStdString(urilist::uriListFromLocalPaths(paths));
    const QByteArray remote = "https://example.com/add-on.zip\r\nfile://elsewhere/home/me/Art\r\n";
    const auto on = Placement::onRow, above = Placement::aboveRow;
    const auto copyOrMove = Qt::CopyAction | Qt::MoveAction;
    struct Case {
        const char* name;
        QPoint at;
        QByteArray uriList; // empty: the drag carries only text
        int row;            // proposed to the handler, with the placement; -1: never asked
        Placement placement;
        bool dropped;
        Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        std::optional<DropPosition> verdict = DropPosition{-1, Placement::onRow};
    };
    const Case cases[] = {
        {"middle of row 1", inRow(1, 0.5), files, 1, on, true},
        {"top edge of row 1", inRow(1, 0.1), files, 1, above, true},
        {"bottom edge of row 1", inRow(1, 0.9), files, 2, above, true},
        {"below the last row", inRow(2, 1.5), files, 3, above, true},
        {"refused by the handler", inRow(1, 0.5), files, 1, on, false, copyOrMove, std::nullopt},
        {"moved by the handler onto row 2", inRow(1, 0.1), files, 1, above, true, copyOrMove,
         DropPosition{2, on}},
        {"move only", inRow(1, 0.5), files, 1, on, false, Qt::MoveAction},
        {"remote files", inRow(1, 0.5), remote, -1, on, false},
        {"text", inRow(1, 0.5), "", -1, on, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        handler.judgements.clear();
        handler.drops.clear();
        handler.verdict = c.verdict;
        table.clearSelection();
        QMimeData data;
        c.uriList.isEmpty() ? data.setText("/home/me/Art") : data.setData("text/uri-list", c.uriList);
        QDragEnterEvent enter(c.at, c.actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table.viewport(), &enter);
        // Taken whenever it carries files, also where it cannot land, or the moves would not reach the table.
        EXPECT_EQ(enter.isAccepted(), c.row >= 0);
        QDragMoveEvent move(c.at, c.actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table.viewport(), &move);
        QDropEvent drop(c.at, copyOrMove, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table.viewport(), &drop);
        EXPECT_EQ(drop.isAccepted() && drop.dropAction() == Qt::CopyAction, c.dropped);

        const DropPosition proposed{c.row, c.placement};
        const DropPosition landed = c.verdict && c.verdict->row >= 0 ? *c.verdict : proposed;
        EXPECT_EQ(handler.judgements, std::vector(c.row < 0 ? 0 : 2, FakeDropHandler::Call{proposed, paths}));
        EXPECT_EQ(handler.drops, std::vector(c.dropped ? 1 : 0, FakeDropHandler::Call{landed, paths}));
        EXPECT_EQ(table.selectedRow(), c.dropped && landed.placement == on ? landed.row : -1)
            << "the row a drop onto a row goes to is selected";
    }
}

// The status line under a path of characters outside ASCII is red, and nothing of the path is.
TEST_F(QtTableViewTest, StatusLineIsDrawnRedUnderAMultiBytePathSelectedOrNot) {
    QFont font = table.font();
    font.setStyleStrategy(QFont::NoAntialias); // each pixel of the text is the colour drawn
    table.setFont(font);
    QString path = "/home/";
    for (int i = 0; i < 40; ++i) {
        path += QChar(0xe9);
    }
    setRows({path + "\nArt folder missing"}, "Art folder missing");
    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected ? "selected" : "not selected");
        table.clearSelection();
        if (selected) {
            table.chooseRow(0);
        }
        const QImage image = table.viewport()->grab().toImage();
        const QRect cell = table.visualRect(table.model()->index(0, 1));
        int ink = 0, inkAbove = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                const bool red = pixel.red() > pixel.green() + 40 && pixel.red() > pixel.blue() + 40;
                ink += red;
                inkAbove += red && y < cell.center().y();
            }
        }
        EXPECT_GT(ink, 30);
        EXPECT_EQ(inkAbove, 0) << "red in the path line";
    }
}

// The rows are read again whenever the list changes: the selection stays where it was.
TEST_F(QtTableViewTest, TheSelectedRowStaysSelectedWhenTheRowsAreReadAgain) {
    QStringListModel names({"a", "b", "c"});
    table.setModel(&names);
    table.chooseRow(1);
    names.setStringList({"a", "b", "c", "d"});
    EXPECT_EQ(table.selectedRow(), 1);
}

} // namespace
} // namespace quorvane

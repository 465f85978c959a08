#include "platform/qt/QtTableView.h"

#include "platform/DragTypes.h"
#include "platform/DraggingInfo.h"
#include "platform/TableDataSource.h"
#include "platform/UriList.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

using Operation = TableViewDropOperation;
using Paths = std::vector<std::string>;

// Rows of cells by column identifier; answers drops as told and records what the table asked.
class FakeDataSource : public TableDataSource {
public:
    using Call = std::tuple<int, Operation, std::optional<Paths>>; // row, operation, file names
    int numberOfRowsInTableView(TableView&) override { return static_cast<int>(rows.size()); }
    ObjectValue objectValueForTableColumn(TableView&, const std::string& column, int row) override {
        return column == "pathDescription" ? rows.at(static_cast<std::size_t>(row)) : ObjectValue();
    }
    DragOperation validateDrop(TableView&, const DraggingInfo& info, int row, Operation operation) override {
        validations.emplace_back(row, operation, info.propertyListForType(NSFilenamesPboardType));
        return verdict;
    }
    bool acceptDrop(TableView&, const DraggingInfo& info, int row, Operation operation) override {
        acceptances.emplace_back(row, operation, info.propertyListForType(NSFilenamesPboardType));
        return true;
    }

    std::vector<ObjectValue> rows; // the path and status cells
    DragOperation verdict = DragOperation::NSDragOperationCopy;
    std::vector<Call> validations, acceptances;
};

class QtTableViewTest : public testing::Test {
protected:
    QtTableViewTest() {
        table.setColumnIdentifiers({"icon", "pathDescription"});
        table.resize(460, 300);
        table.setDataSource(&source);
        table.registerForDraggedTypes({NSFilenamesPboardType});
        table.show();
    }

    QPoint inRow(int row, double fraction) const {
        return {table.viewport()->width() / 2, table.rowViewportPosition(row) + int(fraction * table.rowHeight())};
    }

    FakeDataSource source;
    QtTableView table;
};

// A drag enters, moves and drops at one point, as the window system delivers it.
TEST_F(QtTableViewTest, DragsAreOfferedAtTheRowUnderThePointerAndOnlyLocalFilesToCopyAreTaken) {
    source.rows.resize(3);
    table.reloadData();
    const Paths paths = {"/home/me/Art", "/tmp/drop/caf\xe9 \xff #1%.zip"}; // byte for byte, not UTF-8
    const QByteArray files = QByteArray::fromStdString(urilist::uriListFromLocalPaths(paths));
    const QByteArray remote = "https://example.com/add-on.zip\r\nfile://elsewhere/home/me/Art\r\n";
    const auto on = Operation::NSTableViewDropOn, above = Operation::NSTableViewDropAbove;
    const auto copyOrMove = Qt::CopyAction | Qt::MoveAction;
    struct Case {
        const char* name;
        QPoint at;
        QByteArray uriList; // empty: the drag carries only text
        int row; // proposed to the data source, with the operation; -1: never asked
        Operation operation;
        bool dropped;
        Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        DragOperation verdict = DragOperation::NSDragOperationCopy;
    };
    const Case cases[] = {
        {"middle of row 1", inRow(1, 0.5), files, 1, on, true},
        {"top edge of row 1", inRow(1, 0.1), files, 1, above, true},
        {"bottom edge of row 1", inRow(1, 0.9), files, 2, above, true},
        {"below the last row", inRow(2, 1.5), files, 3, above, true},
        {"refused by the data source", inRow(1, 0.5), files, 1, on, false, copyOrMove, DragOperation::NSDragOperationNone},
        {"move only", inRow(1, 0.5), files, 1, on, false, Qt::MoveAction},
        {"remote files", inRow(1, 0.5), remote, -1, on, false},
        {"text", inRow(1, 0.5), "", -1, on, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        source.validations.clear();
        source.acceptances.clear();
        source.verdict = c.verdict;
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

        const FakeDataSource::Call call{c.row, c.operation, paths};
        EXPECT_EQ(source.validations, std::vector(c.row < 0 ? 0 : 2, call));
        EXPECT_EQ(source.acceptances, std::vector(c.dropped ? 1 : 0, call));
    }
}

// The status line's run starts at a byte offset: under a path of multi-byte characters, counted as
// characters, it would begin past the end of the text.
TEST_F(QtTableViewTest, StatusLineIsDrawnRedUnderAMultiBytePathSelectedOrNot) {
    QFont font = table.font();
    font.setStyleStrategy(QFont::NoAntialias); // each pixel of the text is the colour drawn
    table.setFont(font);
    std::string path = "/home/";
    for (int i = 0; i < 40; ++i) {
        path += "\xc3\xa9";
    }
    AttributedString text(path + "\nArt folder missing");
    text.setAttributes(TextStyle{10.0, TextColor::Red}, path.size() + 1, 18);
    source.rows = {text};
    table.reloadData();
    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected ? "selected" : "not selected");
        table.clearSelection();
        if (selected) {
            table.selectRow(0, false);
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

} // namespace
} // namespace quorvane

#include "FakeTableDataSource.h"
#include "platform/UriList.h"
#include "platform/qt/QtTableView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

using Operation = TableViewDropOperation;
using Paths = std::vector<std::string>;

std::unique_ptr<QMimeData> fileDrag(const Paths& paths) {
    auto data = std::make_unique<QMimeData>();
    data->setData("text/uri-list", QByteArray::fromStdString(urilist::uriListFromLocalPaths(paths)));
    return data;
}

// Sends drags to the table's viewport as the window system's drag and drop delivers them.
class TableDragAndDropTest : public testing::Test {
protected:
    TableDragAndDropTest() {
        table.setColumnIdentifiers({"icon", "pathDescription"});
        table.resize(460, 300);
        source.rows.resize(3);
        table.setDataSource(&source);
        table.registerForDraggedTypes({NSFilenamesPboardType});
        table.show();
    }

    ~TableDragAndDropTest() override {
        // Ends any drag a test left open, as leaving the window would.
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(table.viewport(), &leave);
    }

    QPoint inRow(int row, double fraction) const {
        return QPoint(table.viewport()->width() / 2,
                      table.rowViewportPosition(row) + static_cast<int>(fraction * table.rowHeight()));
    }

    QPoint belowLastRow() const { return inRow(2, 1.5); }

    // Accepted, and the drop action it was accepted with.
    std::pair<bool, Qt::DropAction> enter(const QMimeData& data, QPoint position,
                                          Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
        QDragEnterEvent event(position, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table.viewport(), &event);
        return {event.isAccepted(), event.dropAction()};
    }

    bool move(const QMimeData& data, QPoint position,
              Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
        QDragMoveEvent event(position, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table.viewport(), &event);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    }

    bool drop(const QMimeData& data, QPoint position) {
        QDropEvent event(position, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table.viewport(), &event);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    }

    test::FakeTableDataSource source;
    QtTableView table;
};

TEST_F(TableDragAndDropTest, PointerPositionProposesARowOrTheGapAboveIt) {
    struct Case {
        const char* where;
        QPoint position;
        int row;
        Operation operation;
    };
    const Case cases[] = {
        {"middle of row 1", inRow(1, 0.5), 1, Operation::NSTableViewDropOn},
        {"top edge of row 1", inRow(1, 0.1), 1, Operation::NSTableViewDropAbove},
        {"bottom edge of row 1", inRow(1, 0.9), 2, Operation::NSTableViewDropAbove},
        {"top edge of row 0", inRow(0, 0.05), 0, Operation::NSTableViewDropAbove},
        {"below the last row", belowLastRow(), 3, Operation::NSTableViewDropAbove},
    };
    const Paths paths = {"/home/me/Art", "/home/me/add-on.zip"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        source.validations.clear();
        source.acceptances.clear();
        const auto data = fileDrag(paths);

        EXPECT_EQ(enter(*data, c.position), std::make_pair(true, Qt::CopyAction));
        EXPECT_TRUE(move(*data, c.position));
        EXPECT_TRUE(drop(*data, c.position));

        ASSERT_EQ(source.validations.size(), 2u);
        for (const auto& validation : source.validations) {
            EXPECT_EQ(validation.row, c.row);
            EXPECT_EQ(validation.operation, c.operation);
            EXPECT_EQ(validation.fileNames, paths);
        }
        ASSERT_EQ(source.acceptances.size(), 1u);
        EXPECT_EQ(source.acceptances[0].row, c.row);
        EXPECT_EQ(source.acceptances[0].operation, c.operation);
        EXPECT_EQ(source.acceptances[0].fileNames, paths);
    }
}

TEST_F(TableDragAndDropTest, DropGoesWhereTheDataSourceRetargetedIt) {
    source.retarget = std::make_pair(0, Operation::NSTableViewDropAbove);
    const auto data = fileDrag({"/home/me/Quorvane 2"});
    enter(*data, inRow(2, 0.5));
    EXPECT_TRUE(move(*data, inRow(2, 0.5)));
    EXPECT_TRUE(drop(*data, inRow(2, 0.5)));
    ASSERT_FALSE(source.validations.empty());
    EXPECT_EQ(source.validations.back().row, 2);
    EXPECT_EQ(source.validations.back().operation, Operation::NSTableViewDropOn);
    ASSERT_EQ(source.acceptances.size(), 1u);
    EXPECT_EQ(source.acceptances[0].row, 0);
    EXPECT_EQ(source.acceptances[0].operation, Operation::NSTableViewDropAbove);
}

TEST_F(TableDragAndDropTest, RefusedDropIsNotTakenButTheTableKeepsFollowingTheDrag) {
    source.verdict = DragOperation::NSDragOperationNone;
    const auto data = fileDrag({"/home/me/readme.txt"});
    EXPECT_EQ(enter(*data, inRow(0, 0.5)), std::make_pair(true, Qt::IgnoreAction));
    EXPECT_FALSE(move(*data, inRow(0, 0.5)));

    // Further along, the data source takes it after all.
    source.verdict = DragOperation::NSDragOperationCopy;
    EXPECT_TRUE(move(*data, inRow(1, 0.5)));
    source.verdict = DragOperation::NSDragOperationNone;
    EXPECT_FALSE(move(*data, inRow(2, 0.5)));
    EXPECT_FALSE(drop(*data, inRow(2, 0.5)));
    EXPECT_EQ(source.validations.size(), 4u);
    EXPECT_TRUE(source.acceptances.empty());
}

TEST_F(TableDragAndDropTest, DropIsRefusedWhenTheDataSourceDoesNotTakeIt) {
    source.takesDrop = false;
    const auto data = fileDrag({"/home/me/Art"});
    enter(*data, inRow(1, 0.5));
    EXPECT_TRUE(move(*data, inRow(1, 0.5)));
    EXPECT_FALSE(drop(*data, inRow(1, 0.5)));
    EXPECT_EQ(source.acceptances.size(), 1u);
}

TEST_F(TableDragAndDropTest, DragThatCannotBeCopiedIsRefused) {
    const auto data = fileDrag({"/home/me/Art"});
    enter(*data, inRow(1, 0.5), Qt::MoveAction);
    EXPECT_FALSE(move(*data, inRow(1, 0.5), Qt::MoveAction));
    EXPECT_FALSE(drop(*data, inRow(1, 0.5)));
    EXPECT_TRUE(source.acceptances.empty());
}

TEST_F(TableDragAndDropTest, DragsWithoutLocalFilesAreIgnored) {
    QMimeData remote;
    remote.setData("text/uri-list", "https://example.com/add-on.zip\r\nfile://elsewhere/home/me/Art\r\n");
    QMimeData text;
    text.setText("/home/me/Art");
    QMimeData empty;
    for (const QMimeData* data : {&remote, &text, &empty}) {
        EXPECT_FALSE(enter(*data, inRow(1, 0.5)).first);
        EXPECT_FALSE(move(*data, inRow(1, 0.5)));
        EXPECT_FALSE(drop(*data, inRow(1, 0.5)));
    }
    EXPECT_TRUE(source.validations.empty());
    EXPECT_TRUE(source.acceptances.empty());
}

TEST_F(TableDragAndDropTest, TableNotRegisteredForFileNamesIgnoresFileDrags) {
    QtTableView unregistered;
    unregistered.setColumnIdentifiers({"pathDescription"});
    unregistered.setDataSource(&source);
    unregistered.resize(300, 200);
    unregistered.show();
    const auto data = fileDrag({"/home/me/Art"});
    QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(unregistered.viewport(), &event);
    EXPECT_FALSE(event.isAccepted());
    EXPECT_TRUE(source.validations.empty());
}

TEST_F(TableDragAndDropTest, FileNamesArriveByteForByte) {
    const std::string latin1Name = "/tmp/drop/caf\xe9 \xff.zip";
    const std::string utf8Name = "/tmp/drop/Z\xc3\xbcrich #1%.zip";
    auto byUriList = fileDrag({latin1Name, utf8Name});
    QMimeData byUrls;
    byUrls.setUrls({QUrl::fromLocalFile(QString::fromStdString(utf8Name))});

    EXPECT_TRUE(enter(*byUriList, inRow(0, 0.5)).first);
    EXPECT_TRUE(drop(*byUriList, inRow(0, 0.5)));
    EXPECT_TRUE(enter(byUrls, inRow(0, 0.5)).first);
    EXPECT_TRUE(drop(byUrls, inRow(0, 0.5)));

    ASSERT_EQ(source.acceptances.size(), 2u);
    EXPECT_EQ(source.acceptances[0].fileNames, (Paths{latin1Name, utf8Name}));
    EXPECT_EQ(source.acceptances[1].fileNames, (Paths{utf8Name}));
}

} // namespace
} // namespace quorvane

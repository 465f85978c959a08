#pragma once

#include "platform/DropHandler.h"

#include <QTableView>
#include <optional>
#include <string>
#include <vector>

class QMimeData;

namespace quorvane {

// The installation rows: two lines a row (a path, and under it a status line), selected whole, one at a
// time. The selected row stays selected while the model is reset. The arrow keys move between the rows,
// Home and End go to the first and the last; Tab and Shift+Tab leave the table for the next control.
//
// Drags of local files are offered to the drop handler: at every enter and move it judges the drop at the
// row under the pointer (onto the row's middle, or into the gap above a row near a row's edge or below
// the last row) and may move it elsewhere. The table shows where the drop would land, selects the row a
// drop onto a row would go to, takes the drop only as a copy and only where the handler would, and hands
// the handler the drop where it last put it.
class QtTableView : public QTableView {
    Q_OBJECT

public:
    explicit QtTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    // None: no drag is taken.
    void setDropHandler(DropHandler* handler);
    // The selected row, or -1.
    int selectedRow() const;
    // Selects the row and makes it current, so that the arrow keys go on from it.
    void chooseRow(int row);
    // The local files a drag or the clipboard names, byte for byte; none when it names none.
    static std::optional<std::vector<std::string>> localFiles(const QMimeData* data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The current cell is kept in the description, which is the one a screen reader reads.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    // Rows as high as a path and a status line in the table's font.
    void fitRowsToFont();
    DropPosition proposedPosition(QPoint point) const;
    // Asks the handler about a drop at the event's position; answers whether it would take it as a copy.
    bool judge(const std::vector<std::string>& files, const QDropEvent& event);
    void clearDropPosition();
    int gapPosition(int row) const;

    DropHandler* _dropHandler = nullptr;
    std::optional<DropPosition> _dropPosition;
    // The row selected when the model began its reset.
    int _rowBeforeReset = -1;
};

} // namespace quorvane

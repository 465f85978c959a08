#include "platform/qt/QtTableView.h"

#include "platform/UriList.h"
#include "platform/qt/SystemFont.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <algorithm>

namespace quorvane {
namespace {

// The rows show two lines: a path, and under it a status line in the 10-point system font (scaled with
// the user's font).
constexpr double kStatusLinePointSize = 10.0;
constexpr int kRowPadding = 6;
constexpr int kDropIndicatorWidth = 2;
constexpr int kDropIndicatorDarkness = 160;

} // namespace

QtTableView::QtTableView(QWidget* parent) : QTableView(parent) {
    setShowGrid(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false); // Tab goes on to the window's other controls
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setStretchLastSection(true);
    fitRowsToFont();
}

void QtTableView::fitRowsToFont() {
    const int height = fontMetrics().lineSpacing() +
                       QFontMetrics(systemFontOfSize(kStatusLinePointSize, font())).lineSpacing() +
                       kRowPadding;
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setDefaultSectionSize(height);
}

void QtTableView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitRowsToFont();
    }
}

void QtTableView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    if (model == nullptr) {
        return;
    }
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { _rowBeforeReset = selectedRow(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { chooseRow(_rowBeforeReset); });
}

void QtTableView::setDropHandler(DropHandler* handler) {
    _dropHandler = handler;
    setAcceptDrops(handler != nullptr);
    viewport()->setAcceptDrops(handler != nullptr);
}

void QtTableView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    const int described = model()->columnCount() - 1;
    if (current.isValid() && current.column() != described) {
        selectionModel()->setCurrentIndex(current.siblingAtColumn(described), QItemSelectionModel::NoUpdate);
        return;
    }
    QTableView::currentChanged(current, previous);
}

QModelIndex QtTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // A row is one line of the list: Home and End go to its first and last rows, not cells.
    const int rows = model() ? model()->rowCount() : 0;
    if ((action == MoveHome || action == MoveEnd) && rows > 0) {
        return model()->index(action == MoveHome ? 0 : rows - 1, model()->columnCount() - 1);
    }
    return QTableView::moveCursor(action, modifiers);
}

int QtTableView::selectedRow() const {
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void QtTableView::chooseRow(int row) {
    const QModelIndex index = model() ? model()->index(row, 0) : QModelIndex();
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(index,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

std::optional<std::vector<std::string>> QtTableView::localFiles(const QMimeData* data) {
    if (data == nullptr || !data->hasFormat(QStringLiteral("text/uri-list"))) {
        return std::nullopt;
    }
    const QByteArray uriList = data->data(QStringLiteral("text/uri-list"));
    std::vector<std::string> files =
        urilist::localPathsFromUriList(std::string_view(uriList.constData(), uriList.size()));
    return files.empty() ? std::nullopt : std::optional(std::move(files));
}

void QtTableView::dragEnterEvent(QDragEnterEvent* event) {
    const auto files = localFiles(event->mimeData());
    if (!_dropHandler || !files) {
        event->ignore();
        return;
    }
    // Taken for any drag of local files, or the moves that follow would never reach the table; the drop
    // action tells whether the drop could land where the drag entered.
    event->setDropAction(judge(*files, *event) ? Qt::CopyAction : Qt::IgnoreAction);
    event->accept();
}

void QtTableView::dragMoveEvent(QDragMoveEvent* event) {
    const auto files = localFiles(event->mimeData());
    if (_dropHandler && files && judge(*files, *event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void QtTableView::dragLeaveEvent(QDragLeaveEvent* event) {
    clearDropPosition();
    if (_dropHandler) {
        _dropHandler->dragLeft();
    }
    event->accept();
}

void QtTableView::dropEvent(QDropEvent* event) {
    const auto files = localFiles(event->mimeData());
    const std::optional<DropPosition> position = _dropPosition;
    clearDropPosition();
    if (!_dropHandler || !position || !files || !_dropHandler->drop(files, *position)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void QtTableView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (!_dropPosition) {
        return;
    }
    QPainter painter(viewport());
    // Darker than the selection, so that it shows on a selected row too.
    painter.setPen(
        QPen(palette().color(QPalette::Highlight).darker(kDropIndicatorDarkness), kDropIndicatorWidth));
    const int row = _dropPosition->row;
    const int width = viewport()->width();
    if (_dropPosition->placement == DropPosition::Placement::onRow && row >= 0 && row < model()->rowCount()) {
        const QRect rowRect(0, rowViewportPosition(row), width, rowHeight(row));
        painter.drawRect(rowRect.adjusted(1, 1, -1, -1));
    } else {
        const int y = std::clamp(gapPosition(row), 1, std::max(1, viewport()->height() - 1));
        painter.drawLine(0, y, width, y);
    }
}

DropPosition QtTableView::proposedPosition(QPoint point) const {
    using Placement = DropPosition::Placement;
    const int row = rowAt(point.y());
    if (row < 0) {
        return {model()->rowCount(), Placement::aboveRow};
    }
    const int offset = point.y() - rowViewportPosition(row);
    const int edge = rowHeight(row) / 4;
    if (offset < edge) {
        return {row, Placement::aboveRow};
    }
    if (offset >= rowHeight(row) - edge) {
        return {row + 1, Placement::aboveRow};
    }
    return {row, Placement::onRow};
}

bool QtTableView::judge(const std::vector<std::string>& files, const QDropEvent& event) {
    _dropPosition = _dropHandler->judgeDrag(files, proposedPosition(event.position().toPoint()));
    if (!(event.possibleActions() & Qt::CopyAction)) {
        _dropPosition.reset();
    }
    if (_dropPosition && _dropPosition->placement == DropPosition::Placement::onRow) {
        chooseRow(_dropPosition->row);
    }
    viewport()->update();
    return _dropPosition.has_value();
}

void QtTableView::clearDropPosition() {
    _dropPosition.reset();
    viewport()->update();
}

// The y of the line between row - 1 and row; below the last row for row == rowCount.
int QtTableView::gapPosition(int row) const {
    const int rows = model()->rowCount();
    if (rows == 0) {
        return 0;
    }
    if (row < rows) {
        return rowViewportPosition(std::max(row, 0));
    }
    return rowViewportPosition(rows - 1) + rowHeight(rows - 1);
}

} // namespace quorvane

#include "platform/qt/QtTableView.h"

#include "platform/TableDataSource.h"
#include "platform/qt/QtDraggingInfo.h"
#include "platform/qt/QtTableColumn.h"
#include "platform/qt/StyledTextDelegate.h"
#include "platform/qt/SystemFont.h"
#include "platform/qt/TableDataSourceModel.h"

#include <QDragEnterEvent>
#include <QHeaderView>
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

QtTableView::QtTableView(QWidget* parent)
    : QTableView(parent), _model(new TableDataSourceModel(*this, this)) {
    setModel(_model);
    setItemDelegate(new StyledTextDelegate(this));
    setShowGrid(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
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

QtTableView::~QtTableView() = default;

void QtTableView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (current.isValid() && current.column() != _model->firstTextColumn(current.row())) {
        selectionModel()->setCurrentIndex(current.siblingAtColumn(_model->firstTextColumn(current.row())),
                                          QItemSelectionModel::NoUpdate);
        return;
    }
    QTableView::currentChanged(current, previous);
}

QStringList QtTableView::columnIdentifiers() const {
    QStringList identifiers;
    for (const std::string& identifier : _model->columnIdentifiers()) {
        identifiers.append(QString::fromStdString(identifier));
    }
    return identifiers;
}

void QtTableView::setColumnIdentifiers(const QStringList& identifiers) {
    std::vector<std::string> names;
    _columns.clear();
    for (const QString& identifier : identifiers) {
        names.push_back(identifier.toStdString());
        _columns.push_back(
            std::make_unique<QtTableColumn>(*this, static_cast<int>(_columns.size()), names.back()));
    }
    _model->setColumnIdentifiers(std::move(names));
}

void QtTableView::setDataSource(TableDataSource* dataSource) {
    _model->setDataSource(dataSource);
}

TableDataSource* QtTableView::dataSource() const {
    return _model->dataSource();
}

Rect QtTableView::frame() const {
    // Measured from the table's own size, which is current even before the window is first shown.
    const QSize size = maximumViewportSize();
    return Rect{0, 0, static_cast<float>(size.width()), static_cast<float>(size.height())};
}

float QtTableView::rowHeight() const {
    return static_cast<float>(verticalHeader()->defaultSectionSize());
}

void QtTableView::registerForDraggedTypes(const std::vector<std::string>& types) {
    _draggedTypes = types;
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

TableColumn* QtTableView::tableColumnWithIdentifier(const std::string& identifier) {
    const auto column = std::find_if(_columns.begin(), _columns.end(), [&](const auto& candidate) {
        return candidate->identifier() == identifier;
    });
    return column == _columns.end() ? nullptr : column->get();
}

void QtTableView::reloadData() {
    // The selected row stays selected while its cells are read again; the owner moves it when rows come
    // or go.
    const int selected = selectedRow();
    _model->reload();
    selectRow(selected, false);
}

void QtTableView::setDropRow(int row, TableViewDropOperation operation) {
    _dropTarget = DropTarget{row, operation};
    viewport()->update();
}

void QtTableView::selectRow(int row, bool byExtendingSelection) {
    const QModelIndex index = _model->index(row, 0);
    if (!index.isValid()) {
        return;
    }
    const QItemSelectionModel::SelectionFlags command =
        byExtendingSelection ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect;
    // The current row follows, so that the arrow keys go on from the selected row.
    selectionModel()->setCurrentIndex(index, command | QItemSelectionModel::Rows);
}

int QtTableView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void QtTableView::dragEnterEvent(QDragEnterEvent* event) {
    const QtDraggingInfo info(event->mimeData());
    if (!carriesRegisteredType(info)) {
        event->ignore();
        return;
    }
    // Taken for any drag of a registered type, or the moves that follow would never reach the table;
    // the drop action tells whether the drop could land where the drag entered.
    event->setDropAction(validateDrop(info, *event) ? Qt::CopyAction : Qt::IgnoreAction);
    event->accept();
}

void QtTableView::dragMoveEvent(QDragMoveEvent* event) {
    const QtDraggingInfo info(event->mimeData());
    if (carriesRegisteredType(info) && validateDrop(info, *event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void QtTableView::dragLeaveEvent(QDragLeaveEvent* event) {
    clearDropTarget();
    event->accept();
}

void QtTableView::dropEvent(QDropEvent* event) {
    const QtDraggingInfo info(event->mimeData());
    const std::optional<DropTarget> target = _dropTarget;
    clearDropTarget();
    if (!target || !carriesRegisteredType(info) ||
        !dataSource()->acceptDrop(*this, info, target->row, target->operation)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void QtTableView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (!_dropTarget) {
        return;
    }
    QPainter painter(viewport());
    // Darker than the selection, so that it shows on a selected row too.
    painter.setPen(
        QPen(palette().color(QPalette::Highlight).darker(kDropIndicatorDarkness), kDropIndicatorWidth));
    const int row = _dropTarget->row;
    const int width = viewport()->width();
    if (_dropTarget->operation == TableViewDropOperation::NSTableViewDropOn && row >= 0 &&
        row < _model->rowCount()) {
        const QRect rowRect(0, rowViewportPosition(row), width, QTableView::rowHeight(row));
        painter.drawRect(rowRect.adjusted(1, 1, -1, -1));
    } else {
        const int y = std::clamp(gapPosition(row), 1, std::max(1, viewport()->height() - 1));
        painter.drawLine(0, y, width, y);
    }
}

bool QtTableView::carriesRegisteredType(const DraggingInfo& info) const {
    if (dataSource() == nullptr) {
        return false;
    }
    const std::vector<std::string> types = info.pasteboardTypes();
    return std::any_of(types.begin(), types.end(), [this](const std::string& type) {
        return std::find(_draggedTypes.begin(), _draggedTypes.end(), type) != _draggedTypes.end();
    });
}

QtTableView::DropTarget QtTableView::proposedDropTarget(QPoint position) const {
    const int row = rowAt(position.y());
    if (row < 0) {
        return {_model->rowCount(), TableViewDropOperation::NSTableViewDropAbove};
    }
    const int offset = position.y() - rowViewportPosition(row);
    const int edge = QTableView::rowHeight(row) / 4;
    if (offset < edge) {
        return {row, TableViewDropOperation::NSTableViewDropAbove};
    }
    if (offset >= QTableView::rowHeight(row) - edge) {
        return {row + 1, TableViewDropOperation::NSTableViewDropAbove};
    }
    return {row, TableViewDropOperation::NSTableViewDropOn};
}

bool QtTableView::validateDrop(const DraggingInfo& info, const QDropEvent& event) {
    _dropTarget = proposedDropTarget(event.position().toPoint());
    const DragOperation operation =
        dataSource()->validateDrop(*this, info, _dropTarget->row, _dropTarget->operation);
    const bool copy =
        operation == DragOperation::NSDragOperationCopy && (event.possibleActions() & Qt::CopyAction);
    if (!copy) {
        _dropTarget.reset();
    }
    viewport()->update();
    return copy;
}

void QtTableView::clearDropTarget() {
    _dropTarget.reset();
    viewport()->update();
}

// The y of the line between row - 1 and row; below the last row for row == rowCount.
int QtTableView::gapPosition(int row) const {
    const int rows = _model->rowCount();
    if (rows == 0) {
        return 0;
    }
    if (row < rows) {
        return rowViewportPosition(std::max(row, 0));
    }
    return rowViewportPosition(rows - 1) + QTableView::rowHeight(rows - 1);
}

} // namespace quorvane

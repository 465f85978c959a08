#pragma once

#include "platform/TableView.h"

#include <QStringList>
#include <QTableView>
#include <memory>
#include <optional>

namespace quorvane {

class DraggingInfo;
class QtTableColumn;
class TableDataSource;
class TableDataSourceModel;

// A table fed by a TableDataSource: one row per row of the source, one line of cells per column
// identifier. Text cells are drawn with their styled runs, image columns by their image cell.
//
// Drags of a registered type are offered to the data source: at every enter and move it is asked to
// validate the drop at the row under the pointer (onto the row's middle, or into the gap above a row
// near a row's edge or below the last row); it may retarget the drop with setDropRow. The table shows
// where the drop would land, takes it only when the source answers copy, and hands the source the
// drop as last retargeted.
class QtTableView : public QTableView, public TableView {
    Q_OBJECT
    Q_PROPERTY(QStringList columnIdentifiers READ columnIdentifiers WRITE setColumnIdentifiers)

public:
    explicit QtTableView(QWidget* parent = nullptr);
    ~QtTableView() override;

    QStringList columnIdentifiers() const;
    void setColumnIdentifiers(const QStringList& identifiers);
    // The source of the rows and the target of drops; none leaves the table empty.
    void setDataSource(TableDataSource* dataSource);

    // The visible area for rows, in the table's own coordinates.
    Rect frame() const override;
    float rowHeight() const override;
    void registerForDraggedTypes(const std::vector<std::string>& types) override;
    TableColumn* tableColumnWithIdentifier(const std::string& identifier) override;
    void reloadData() override;
    void setDropRow(int row, TableViewDropOperation operation) override;
    void selectRow(int row, bool byExtendingSelection) override;
    int selectedRow() const override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The current cell is kept in the cell that names its row, which is the one a screen reader reads.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    struct DropTarget {
        int row;
        TableViewDropOperation operation;
    };

    // Rows as high as a path and a status line in the table's font.
    void fitRowsToFont();
    TableDataSource* dataSource() const;
    bool carriesRegisteredType(const DraggingInfo& info) const;
    DropTarget proposedDropTarget(QPoint position) const;
    // Asks the data source about a drop at the position; answers whether it would take it as a copy.
    bool validateDrop(const DraggingInfo& info, const QDropEvent& event);
    void clearDropTarget();
    int gapPosition(int row) const;

    TableDataSourceModel* _model;
    std::vector<std::unique_ptr<QtTableColumn>> _columns;
    std::vector<std::string> _draggedTypes;
    std::optional<DropTarget> _dropTarget;
};

} // namespace quorvane

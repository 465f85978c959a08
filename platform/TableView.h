#pragma once

#include "platform/DragTypes.h"
#include "platform/Geometry.h"

#include <string>
#include <vector>

namespace quorvane {

class TableColumn;

class TableView {
public:
    virtual ~TableView() = default;
    virtual Rect frame() const = 0;
    virtual float rowHeight() const = 0;
    // Only drags that carry one of these types reach the drop callbacks.
    virtual void registerForDraggedTypes(const std::vector<std::string>& types) = 0;
    // The column with that identifier, or none.
    virtual TableColumn* tableColumnWithIdentifier(const std::string& identifier) = 0;
    // Asks the data source again for every row and cell.
    virtual void reloadData() = 0;
    // Retargets the drag that is over the table: onto a row, or into the gap above it.
    virtual void setDropRow(int row, TableViewDropOperation operation) = 0;
    virtual void selectRow(int row, bool byExtendingSelection) = 0;
    // The selected row; -1 when none is.
    virtual int selectedRow() const = 0;
};

} // namespace quorvane

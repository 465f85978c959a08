#pragma once

#include "platform/TableColumn.h"
#include "platform/TableView.h"

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane::test {

class FakeTableColumn : public TableColumn {
public:
    explicit FakeTableColumn(std::string identifier) : _identifier(std::move(identifier)) {}
    std::string identifier() const override { return _identifier; }
    void setDataCell(const ImageCell& cell) override { dataCell = cell; }
    std::optional<ImageCell> dataCell;

private:
    std::string _identifier;
};

// A table with the columns "icon" and "pathDescription" that records reloads, drop targets and selection.
class FakeTableView : public TableView {
public:
    FakeTableView();
    Rect frame() const override { return tableFrame; }
    float rowHeight() const override { return tableRowHeight; }
    void registerForDraggedTypes(const std::vector<std::string>& types) override { draggedTypes = types; }
    TableColumn* tableColumnWithIdentifier(const std::string& identifier) override;
    void reloadData() override { ++reloads; }
    void setDropRow(int row, TableViewDropOperation operation) override { dropTarget = std::make_pair(row, operation); }
    void selectRow(int row, bool byExtendingSelection) override;
    int selectedRow() const override { return selectedRows.empty() ? -1 : selectedRows.back(); }

    Rect tableFrame{0, 0, 480, 100};
    float tableRowHeight = 34;
    std::vector<std::string> draggedTypes;
    std::map<std::string, std::unique_ptr<FakeTableColumn>> columns;
    int reloads = 0;
    std::optional<std::pair<int, TableViewDropOperation>> dropTarget;
    std::vector<int> selectedRows;
};

} // namespace quorvane::test

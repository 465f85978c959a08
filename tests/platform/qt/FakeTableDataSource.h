#pragma once

#include "platform/DragTypes.h"
#include "platform/DraggingInfo.h"
#include "platform/TableDataSource.h"
#include "platform/TableView.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::test {

// Rows of cell values keyed by column identifier; records what the table asks about drops.
class FakeTableDataSource : public TableDataSource {
public:
    struct DropCall {
        int row;
        TableViewDropOperation operation;
        std::optional<std::vector<std::string>> fileNames;
    };

    int numberOfRowsInTableView(TableView&) override { return static_cast<int>(rows.size()); }

    ObjectValue objectValueForTableColumn(TableView&, const std::string& columnIdentifier, int row) override {
        const auto& cells = rows.at(static_cast<std::size_t>(row));
        const auto cell = cells.find(columnIdentifier);
        return cell == cells.end() ? ObjectValue() : cell->second;
    }

    DragOperation validateDrop(TableView& tableView, const DraggingInfo& info, int proposedRow,
                               TableViewDropOperation operation) override {
        validations.push_back({proposedRow, operation, info.propertyListForType(NSFilenamesPboardType)});
        if (retarget) {
            tableView.setDropRow(retarget->first, retarget->second);
        }
        return verdict;
    }

    bool acceptDrop(TableView&, const DraggingInfo& info, int row,
                    TableViewDropOperation operation) override {
        acceptances.push_back({row, operation, info.propertyListForType(NSFilenamesPboardType)});
        return takesDrop;
    }

    std::vector<std::map<std::string, ObjectValue>> rows;
    DragOperation verdict = DragOperation::NSDragOperationCopy;
    std::optional<std::pair<int, TableViewDropOperation>> retarget;
    bool takesDrop = true;
    std::vector<DropCall> validations;
    std::vector<DropCall> acceptances;
};

} // namespace quorvane::test

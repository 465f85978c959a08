#pragma once

#include "platform/DragTypes.h"
#include "platform/ObjectValue.h"

#include <string>

namespace quorvane {

class DraggingInfo;
class TableView;

// What the table asks of the object that feeds it and takes its drops.
class TableDataSource {
public:
    virtual ~TableDataSource() = default;
    virtual int numberOfRowsInTableView(TableView& tableView) = 0;
    virtual ObjectValue objectValueForTableColumn(TableView& tableView, const std::string& columnIdentifier,
                                                  int row) = 0;
    virtual DragOperation validateDrop(TableView& tableView, const DraggingInfo& info, int proposedRow,
                                       TableViewDropOperation operation) = 0;
    virtual bool acceptDrop(TableView& tableView, const DraggingInfo& info, int row,
                            TableViewDropOperation operation) = 0;
};

} // namespace quorvane

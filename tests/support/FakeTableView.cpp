#include "support/FakeTableView.h"

namespace quorvane::test {

FakeTableView::FakeTableView() {
    for (const char* identifier : {"icon", "pathDescription"}) {
        columns[identifier] = std::make_unique<FakeTableColumn>(identifier);
    }
}

TableColumn* FakeTableView::tableColumnWithIdentifier(const std::string& identifier) {
    const auto it = columns.find(identifier);
    return it == columns.end() ? nullptr : it->second.get();
}

void FakeTableView::selectRow(int row, bool byExtendingSelection) {
    if (!byExtendingSelection) {
        selectedRows.clear();
    }
    selectedRows.push_back(row);
}

} // namespace quorvane::test

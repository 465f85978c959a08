#pragma once

#include "platform/TableColumn.h"

class QAbstractItemView;

namespace quorvane {

class ImageCellDelegate;

// One column of a QtTableView, known by its identifier.
class QtTableColumn : public TableColumn {
public:
    QtTableColumn(QAbstractItemView& view, int index, std::string identifier);
    std::string identifier() const override { return _identifier; }
    // The column draws its images centred and shrunk in proportion from now on.
    void setDataCell(const ImageCell& cell) override;

private:
    QAbstractItemView& _view;
    int _index;
    std::string _identifier;
    ImageCellDelegate* _dataCell = nullptr; // owned by the view
};

} // namespace quorvane

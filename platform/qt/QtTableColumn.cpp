#include "platform/qt/QtTableColumn.h"

#include "platform/qt/ImageCellDelegate.h"

#include <QAbstractItemView>
#include <utility>

namespace quorvane {

QtTableColumn::QtTableColumn(QAbstractItemView& view, int index, std::string identifier)
    : _view(view), _index(index), _identifier(std::move(identifier)) {}

void QtTableColumn::setDataCell(const ImageCell&) {
    auto* dataCell = new ImageCellDelegate(&_view);
    _view.setItemDelegateForColumn(_index, dataCell);
    delete std::exchange(_dataCell, dataCell);
}

} // namespace quorvane

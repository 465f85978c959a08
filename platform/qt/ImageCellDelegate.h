#pragma once

#include <QStyledItemDelegate>

namespace quorvane {

// Draws a cell's image as an image cell does: centred, and shrunk in proportion to fit the cell when it
// is larger (never enlarged). Those are the only alignment and scaling an ImageCell has.
class ImageCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace quorvane

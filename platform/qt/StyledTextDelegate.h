#pragma once

#include <QStyledItemDelegate>

namespace quorvane {

// Draws a cell's text with its styled runs (fonts and colours), one line per line of the text, without
// wrapping; what does not fit is cut off.
class StyledTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace quorvane

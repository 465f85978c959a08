#pragma once

#include <QStyledItemDelegate>

namespace quorvane {

// Draws an installation's description: its path, shortened in the middle when it is wider than the cell
// so that both its start and its name stay visible, and under it the status line in the 10-point system
// font, red as the background lets red be readable.
class InstallationTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace quorvane

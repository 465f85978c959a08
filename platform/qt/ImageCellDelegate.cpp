#include "platform/qt/ImageCellDelegate.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>

namespace quorvane {
namespace {

constexpr int kImageMargin = 2;

} // namespace

void ImageCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem itemOption = option;
    initStyleOption(&itemOption, index);
    const QIcon icon = itemOption.icon;
    itemOption.icon = QIcon();
    itemOption.text.clear();
    itemOption.state &= ~QStyle::State_HasFocus; // rows are selected whole; no frame around one cell
    itemOption.features &= ~(QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay);
    const QWidget* widget = itemOption.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &itemOption, painter, widget);
    if (icon.isNull()) {
        return;
    }
    // QIcon draws the best of its sizes, shrunk in proportion when it is too large for the area.
    const QRect area = itemOption.rect.adjusted(kImageMargin, kImageMargin, -kImageMargin, -kImageMargin);
    const QIcon::Mode mode = itemOption.state & QStyle::State_Selected ? QIcon::Selected : QIcon::Normal;
    icon.paint(painter, area, Qt::AlignCenter, mode);
}

} // namespace quorvane

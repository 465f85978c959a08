#include "platform/qt/InstallationTextDelegate.h"

#include "controller/InstallationListModel.h"
#include "platform/qt/ReadableColor.h"
#include "platform/qt/SystemFont.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace quorvane {
namespace {

constexpr double kStatusLinePointSize = 10.0;

// The colour the style draws behind the cell's text.
QColor backgroundColor(const QStyleOptionViewItem& option) {
    QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(option.state & QStyle::State_Active)) {
        group = QPalette::Inactive;
    }
    if (option.state & QStyle::State_Selected) {
        return option.palette.color(group, QPalette::Highlight);
    }
    if (option.backgroundBrush.style() != Qt::NoBrush) {
        return option.backgroundBrush.color();
    }
    return option.palette.color(
        group, option.features & QStyleOptionViewItem::Alternate ? QPalette::AlternateBase : QPalette::Base);
}

// The text to draw, one line per line of the description, and the status line's format.
struct ShownText {
    QString text;
    QList<QTextLayout::FormatRange> formats;
};

ShownText shownText(const QString& description, const QString& statusLine, const QStyleOptionViewItem& option,
                    int width) {
    QStringList lines = description.split('\n');
    const bool hasStatus = !statusLine.isEmpty() && lines.size() > 1 && lines.back() == statusLine;
    const QFontMetrics metrics(option.font);
    for (qsizetype i = 0; i < lines.size() - (hasStatus ? 1 : 0); ++i) {
        lines[i] = metrics.elidedText(lines[i], Qt::ElideMiddle, width);
    }
    ShownText shown{lines.join(QChar::LineSeparator), {}};
    if (hasStatus) {
        QTextCharFormat format;
        format.setFont(systemFontOfSize(kStatusLinePointSize, option.font));
        format.setForeground(readableColor(QColor(Qt::red), backgroundColor(option)));
        const auto length = static_cast<int>(statusLine.size());
        shown.formats.append({static_cast<int>(shown.text.size()) - length, length, format});
    }
    return shown;
}

} // namespace

void InstallationTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QStyleOptionViewItem itemOption = option;
    initStyleOption(&itemOption, index);
    const QString description = index.data(Qt::DisplayRole).toString();
    itemOption.text.clear();                     // drawn below, with the status line's format
    itemOption.state &= ~QStyle::State_HasFocus; // rows are selected whole; no frame around one cell
    const QWidget* widget = itemOption.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &itemOption, painter, widget);
    if (description.isEmpty()) {
        return;
    }
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &itemOption, widget) + 1;
    const QRect area = itemOption.rect.adjusted(margin, 0, -margin, 0);
    const ShownText shown = shownText(
        description, index.data(InstallationListModel::StatusLineRole).toString(), itemOption, area.width());

    QTextLayout layout(shown.text, itemOption.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.setFormats(shown.formats);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();

    const bool selected = itemOption.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        itemOption.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setClipRect(area);
    painter->setPen(itemOption.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, QPointF(area.left(), area.top() + (area.height() - height) / 2));
    painter->restore();
}

} // namespace quorvane

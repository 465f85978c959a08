#include "platform/qt/StyledTextDelegate.h"

#include "platform/qt/SystemFont.h"
#include "platform/qt/TableDataSourceModel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace quorvane {
namespace {

// The position in the UTF-16 text of a byte offset into the UTF-8 text.
int textPosition(const std::string& utf8, std::size_t byteOffset) {
    return static_cast<int>(
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(std::min(byteOffset, utf8.size()))).size());
}

QTextCharFormat charFormat(const TextStyle& style) {
    QTextCharFormat format;
    if (style.systemFontSize) {
        format.setFont(systemFontOfSize(*style.systemFontSize));
    }
    if (style.foregroundColor == TextColor::Red) {
        format.setForeground(QColor(Qt::red));
    }
    return format;
}

QList<QTextLayout::FormatRange> formatRanges(const AttributedString& text) {
    QList<QTextLayout::FormatRange> ranges;
    for (const AttributedString::Run& run : text.runs()) {
        const int start = textPosition(text.string(), run.location);
        const int end = textPosition(text.string(), run.location + run.length);
        ranges.append({start, end - start, charFormat(run.style)});
    }
    return ranges;
}

} // namespace

void StyledTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem itemOption = option;
    initStyleOption(&itemOption, index);
    itemOption.text.clear();                     // drawn below, with its runs
    itemOption.state &= ~QStyle::State_HasFocus; // rows are selected whole; no frame around one cell
    const QWidget* widget = itemOption.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &itemOption, painter, widget);

    const QVariant value = index.data(TableDataSourceModel::StyledTextRole);
    if (!value.canConvert<AttributedString>()) {
        return;
    }
    const auto text = value.value<AttributedString>();
    // Same length as "\n", so the positions of the runs stay valid.
    const QString shown = QString::fromStdString(text.string()).replace('\n', QChar::LineSeparator);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &itemOption, widget) + 1;
    const QRect area = itemOption.rect.adjusted(margin, 0, -margin, 0);

    QTextLayout layout(shown, itemOption.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.setFormats(formatRanges(text));
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

#include "platform/qt/StyledTextDelegate.h"

#include "platform/qt/ReadableColor.h"
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

// What a run's style looks like in this cell: sizes follow the cell's font, and red is as red as the
// cell's background lets it be while staying readable.
QTextCharFormat charFormat(const TextStyle& style, const QStyleOptionViewItem& option,
                           const QColor& background) {
    QTextCharFormat format;
    if (style.systemFontSize) {
        format.setFont(systemFontOfSize(*style.systemFontSize, option.font));
    }
    if (style.foregroundColor == TextColor::Red) {
        format.setForeground(readableColor(QColor(Qt::red), background));
    }
    return format;
}

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

// The text to show and its runs' formats. A line without styled runs (a path) that is wider than the
// cell loses characters in its middle, so that both its start and its name stay visible.
struct ShownText {
    QString text;
    QList<QTextLayout::FormatRange> formats;
};

ShownText shownText(const AttributedString& styled, const QStyleOptionViewItem& option, int width) {
    QList<QTextLayout::FormatRange> formats;
    for (const AttributedString::Run& run : styled.runs()) {
        const int start = textPosition(styled.string(), run.location);
        const int end = textPosition(styled.string(), run.location + run.length);
        formats.append({start, end - start, charFormat(run.style, option, backgroundColor(option))});
    }
    const QFontMetrics metrics(option.font);
    ShownText shown{{}, formats};
    int lineStart = 0;
    for (const QString& line : QString::fromStdString(styled.string()).split('\n')) {
        const int lineEnd = lineStart + static_cast<int>(line.size());
        const bool styledLine = std::any_of(formats.begin(), formats.end(), [&](const auto& range) {
            return range.start < lineEnd && range.start + range.length > lineStart;
        });
        const QString drawn = styledLine ? line : metrics.elidedText(line, Qt::ElideMiddle, width);
        for (int i = 0; i < formats.size(); ++i) {
            if (formats[i].start >= lineEnd) {
                shown.formats[i].start += static_cast<int>(drawn.size() - line.size());
            }
        }
        if (lineStart > 0) {
            shown.text += QChar::LineSeparator; // one character, as "\n" was
        }
        shown.text += drawn;
        lineStart = lineEnd + 1;
    }
    return shown;
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
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &itemOption, widget) + 1;
    const QRect area = itemOption.rect.adjusted(margin, 0, -margin, 0);
    const ShownText shown = shownText(value.value<AttributedString>(), itemOption, area.width());

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

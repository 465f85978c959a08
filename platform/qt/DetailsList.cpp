#include "platform/qt/DetailsList.h"

#include "platform/qt/TextLinesModel.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextEdit>
#include <algorithm>

namespace quorvane {
namespace {

// The rows shown at once, and the characters of a line at least.
constexpr int kVisibleRows = 12;
constexpr int kVisibleColumns = 60;

} // namespace

DetailsList::DetailsList(QMessageBox& box, std::string details, const QString& showLabel,
                         const QString& hideLabel)
    : _lines(new TextLinesModel(std::move(details), this)), _showLabel(showLabel), _hideLabel(hideLabel) {
    // The box makes its details button and area for any text; the area's text editor is then left empty
    // and hidden, and the list shown in its place (below the box's buttons, should it have no editor).
    box.setDetailedText(QStringLiteral(" "));
    auto* editor = box.findChild<QTextEdit*>();
    QWidget* area = editor != nullptr ? editor->parentWidget() : &box;
    if (editor != nullptr) {
        editor->clear();
        editor->hide();
    }
    area->layout()->addWidget(this);

    setModel(_lines);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Every row is as wide as the line with the most bytes, so that the list scrolls to the end of the
    // longest lines rather than cutting them at the width of one.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QSize row = itemDelegate()->sizeHint(option, _lines->index(_lines->longestRow()));
    setGridSize(row);
    setMinimumSize(fontMetrics().averageCharWidth() * kVisibleColumns,
                   row.height() * kVisibleRows + 2 * frameWidth());

    // The box puts its own label back on its button each time it shows or hides the area: the label is
    // set again once it has. The button is as wide as the longer of the labels given.
    const QList<QAbstractButton*> buttons = box.buttons();
    _button = buttons.isEmpty() ? nullptr : buttons.front();
    if (editor != nullptr && _button != nullptr && !_showLabel.isEmpty() && !_hideLabel.isEmpty()) {
        int width = 0;
        for (const QString& label : {_showLabel, _hideLabel}) {
            QStyleOptionButton labelled;
            labelled.initFrom(_button);
            labelled.text = label;
            const QSize text = _button->fontMetrics().size(Qt::TextShowMnemonic, label);
            width = std::max(
                width,
                _button->style()->sizeFromContents(QStyle::CT_PushButton, &labelled, text, _button).width());
        }
        _button->setMinimumWidth(width);
        _button->setText(_showLabel);
        area->installEventFilter(this);
    }
}

bool DetailsList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
        _button->setText(event->type() == QEvent::ShowToParent ? _hideLabel : _showLabel);
    }
    return QListView::eventFilter(watched, event);
}

bool DetailsList::event(QEvent* event) {
    // Ctrl+C copies the selected lines rather than running a shortcut of the window.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QListView::event(event);
}

void DetailsList::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        if (const QModelIndexList rows = selectionModel()->selectedIndexes(); !rows.isEmpty()) {
            QGuiApplication::clipboard()->setText(_lines->lines(rows));
        }
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace quorvane

#include "platform/qt/QtTextField.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

namespace quorvane {

QtTextField::QtTextField(QLabel& label) : _label(label) {
    _label.setTextFormat(Qt::PlainText);
}

void QtTextField::setStringValue(const std::string& text) {
    _stringValue = text;
    _label.setText(QString::fromStdString(text));
    // Screen readers read the label's name (what it shows) and then this (what it shows now).
    _label.setAccessibleDescription(_label.text());
}

void QtTextField::displayIfNeeded() {
    // The window's pending changes, this one's among them, are drawn now in one pass, as the event loop
    // would draw them at its next turn; a second call finds nothing left to draw.
    if (QWidget* window = _label.window()) {
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
    }
}

} // namespace quorvane

#include "platform/qt/QtTextField.h"

#include <QLabel>

namespace quorvane {

QtTextField::QtTextField(QLabel& label) : _label(label) {
    _label.setTextFormat(Qt::PlainText);
}

void QtTextField::setStringValue(const std::string& text) {
    _stringValue = text;
    _label.setText(QString::fromStdString(text));
}

void QtTextField::displayIfNeeded() {
    _label.repaint();
}

} // namespace quorvane

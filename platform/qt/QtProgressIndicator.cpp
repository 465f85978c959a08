#include "platform/qt/QtProgressIndicator.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

namespace quorvane {

QtProgressIndicator::QtProgressIndicator(QProgressBar& bar) : _bar(bar) {
    _bar.setRange(0, kBarSteps);
    showProportion();
}

void QtProgressIndicator::setMaxValue(double value) {
    _maxValue = value;
    showProportion();
}

void QtProgressIndicator::setDoubleValue(double value) {
    _doubleValue = value;
    showProportion();
}

void QtProgressIndicator::displayIfNeeded() {
    // The window's pending changes, this one's among them, are drawn now in one pass, as the event loop
    // would draw them at its next turn; a second call finds nothing left to draw.
    if (QWidget* window = _bar.window()) {
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
    }
}

void QtProgressIndicator::showProportion() {
    double proportion = _maxValue > 0.0 ? _doubleValue / _maxValue : 0.0;
    if (std::isnan(proportion)) {
        proportion = 0.0;
    }
    proportion = std::clamp(proportion, 0.0, 1.0);
    const int value = static_cast<int>(std::lround(proportion * kBarSteps));
    if (value == _bar.value()) {
        return;
    }
    // QProgressBar repaints itself at once for every step that shows, which in a run of thousands of
    // files costs more than the files. The bar takes its value quietly and is drawn with the next
    // displayIfNeeded or the window's next paint, like any other widget.
    const bool updates = _bar.updatesEnabled();
    _bar.setUpdatesEnabled(false);
    _bar.setValue(value);
    _bar.setUpdatesEnabled(updates);
    _bar.update();
}

} // namespace quorvane

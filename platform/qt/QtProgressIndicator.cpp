#include "platform/qt/QtProgressIndicator.h"

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
    _bar.repaint();
}

void QtProgressIndicator::showProportion() {
    double proportion = _maxValue > 0.0 ? _doubleValue / _maxValue : 0.0;
    if (std::isnan(proportion)) {
        proportion = 0.0;
    }
    proportion = std::clamp(proportion, 0.0, 1.0);
    _bar.setValue(static_cast<int>(std::lround(proportion * kBarSteps)));
}

} // namespace quorvane

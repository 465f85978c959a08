#include "platform/qt/ProgressBarScale.h"

#include <QProgressBar>
#include <algorithm>
#include <cmath>

namespace quorvane {

ProgressBarScale::ProgressBarScale(QProgressBar& bar) : _bar(bar) {
    _bar.setRange(0, kBarSteps);
    _bar.setValue(0);
}

void ProgressBarScale::show(double value, double maximum) {
    double proportion = maximum > 0.0 ? value / maximum : 0.0;
    if (std::isnan(proportion)) {
        proportion = 0.0;
    }
    proportion = std::clamp(proportion, 0.0, 1.0);
    const int steps = static_cast<int>(std::lround(proportion * kBarSteps));
    if (steps == _bar.value()) {
        return;
    }
    // QProgressBar repaints itself at once for every step that shows, which in a run of thousands of files
    // costs more than the files. The bar takes its value quietly and is drawn with the window's next
    // paint, like any other widget.
    const bool updates = _bar.updatesEnabled();
    _bar.setUpdatesEnabled(false);
    _bar.setValue(steps);
    _bar.setUpdatesEnabled(updates);
    _bar.update();
}

} // namespace quorvane

#pragma once

#include "platform/ProgressIndicator.h"

class QProgressBar;

namespace quorvane {

// A progress indicator shown by a progress bar. The bar shows the value in proportion to the maximum:
// empty for values at or below 0, full for values at or above the maximum.
class QtProgressIndicator : public ProgressIndicator {
public:
    explicit QtProgressIndicator(QProgressBar& bar);
    void setMaxValue(double value) override;
    void setDoubleValue(double value) override;
    double maxValue() const override { return _maxValue; }
    double doubleValue() const override { return _doubleValue; }
    void displayIfNeeded() override;

    // The bar's own range, 0 to this: fine enough for any width the bar can have.
    static constexpr int kBarSteps = 10000;

private:
    void showProportion();

    QProgressBar& _bar;
    double _maxValue = 100.0;
    double _doubleValue = 0.0;
};

} // namespace quorvane

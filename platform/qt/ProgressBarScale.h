#pragma once

class QProgressBar;

namespace quorvane {

// Shows a run's progress figures on a progress bar: the value in proportion to the maximum, empty for
// values at or below 0, full for values at or above the maximum.
class ProgressBarScale {
public:
    explicit ProgressBarScale(QProgressBar& bar);

    void show(double value, double maximum);

    // The bar's own range, 0 to this: fine enough for any width the bar can have.
    static constexpr int kBarSteps = 10000;

private:
    QProgressBar& _bar;
};

} // namespace quorvane

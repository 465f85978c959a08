#pragma once

#include "platform/ProgressIndicator.h"

namespace quorvane::test {

class FakeProgressIndicator : public ProgressIndicator {
public:
    void setMaxValue(double value) override { max = value; }
    void setDoubleValue(double value) override { this->value = value; }
    double maxValue() const override { return max; }
    double doubleValue() const override { return value; }
    void displayIfNeeded() override { ++redraws; }
    double max = 100;
    double value = 0;
    int redraws = 0;
};

} // namespace quorvane::test

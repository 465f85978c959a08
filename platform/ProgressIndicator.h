#pragma once

namespace quorvane {

class ProgressIndicator {
public:
    virtual ~ProgressIndicator() = default;
    virtual void setMaxValue(double value) = 0;
    virtual void setDoubleValue(double value) = 0;
    virtual double maxValue() const = 0;
    virtual double doubleValue() const = 0;
    virtual void displayIfNeeded() = 0;
};

} // namespace quorvane

#pragma once

#include "platform/TextField.h"

class QLabel;

namespace quorvane {

// A text field shown by a label, always as plain text.
class QtTextField : public TextField {
public:
    explicit QtTextField(QLabel& label);
    void setStringValue(const std::string& text) override;
    // The text as it was set, byte for byte.
    std::string stringValue() const override { return _stringValue; }
    void displayIfNeeded() override;

private:
    QLabel& _label;
    std::string _stringValue;
};

} // namespace quorvane

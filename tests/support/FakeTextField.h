#pragma once

#include "platform/TextField.h"

#include <vector>

namespace quorvane::test {

class FakeTextField : public TextField {
public:
    void setStringValue(const std::string& text) override {
        value = text;
        history.push_back(text);
    }
    std::string stringValue() const override { return value; }
    void displayIfNeeded() override {
        ++redraws;
        shown = value;
    }
    std::string value;
    std::string shown; // what the last redraw put on screen
    int redraws = 0;
    std::vector<std::string> history; // every text set, in order
};

} // namespace quorvane::test

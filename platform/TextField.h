#pragma once

#include <string>

namespace quorvane {

class TextField {
public:
    virtual ~TextField() = default;
    // Shows the text literally.
    virtual void setStringValue(const std::string& text) = 0;
    virtual std::string stringValue() const = 0;
    // Redraws at once, though the event loop may be busy.
    virtual void displayIfNeeded() = 0;
};

} // namespace quorvane

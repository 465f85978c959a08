#pragma once

#include "platform/TextStyle.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {

// Text with styled ranges. Offsets and lengths count bytes of the UTF-8 text.
class AttributedString {
public:
    struct Run {
        std::size_t location = 0;
        std::size_t length = 0;
        TextStyle style;
        bool operator==(const Run&) const = default;
    };

    AttributedString() = default;
    explicit AttributedString(std::string string) : _string(std::move(string)) {}

    const std::string& string() const { return _string; }
    const std::vector<Run>& runs() const { return _runs; }

    // Gives [location, location + length) the style; ranges outside the text are clipped.
    void setAttributes(const TextStyle& style, std::size_t location, std::size_t length);

    bool operator==(const AttributedString&) const = default;

private:
    std::string _string;
    std::vector<Run> _runs;
};

} // namespace quorvane

#pragma once

#include <optional>

namespace quorvane {

enum class TextColor { Red };

// The attributes a run of styled text can carry: a system font size and a foreground colour.
struct TextStyle {
    std::optional<double> systemFontSize;
    std::optional<TextColor> foregroundColor;

    bool operator==(const TextStyle&) const = default;
};

} // namespace quorvane

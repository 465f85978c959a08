#pragma once

namespace quorvane {

// A rectangle in screen points with its origin at the lower-left corner and y growing upward.
struct Rect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;

    bool operator==(const Rect&) const = default;
};

} // namespace quorvane

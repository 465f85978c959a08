#pragma once

namespace quorvane {

enum class ImageAlignment : int { NSImageAlignCenter = 0 };
enum class ImageScaling : int { NSScaleProportionally = 0 };

// How a column draws the images of its rows.
struct ImageCell {
    ImageAlignment imageAlignment = ImageAlignment::NSImageAlignCenter;
    ImageScaling imageScaling = ImageScaling::NSScaleProportionally;
};

} // namespace quorvane

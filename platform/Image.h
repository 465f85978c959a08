#pragma once

#include <memory>

namespace quorvane {

// An image the toolkit can draw. The logic only holds and hands it on.
class Image {
public:
    virtual ~Image() = default;
};

using ImagePtr = std::shared_ptr<const Image>;

} // namespace quorvane

#pragma once

#include "platform/Image.h"

#include <string>

namespace quorvane {

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    // The image in the file, or none when the file cannot be read as an image.
    virtual ImagePtr imageWithContentsOfFile(const std::string& path) = 0;
};

} // namespace quorvane

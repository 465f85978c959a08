#pragma once

#include "platform/ImageLoader.h"

namespace quorvane {

// Reads image files, resources (":/...") included, with Qt's image format plugins. A file with several
// images, such as an .icns icon, gives one image with all of its sizes.
class QtImageLoader : public ImageLoader {
public:
    ImagePtr imageWithContentsOfFile(const std::string& path) override;
};

} // namespace quorvane

#pragma once

#include "platform/ImageLoader.h"

#include <fstream>
#include <string>

namespace quorvane::test {

// An image that remembers the file it came from.
class FakeImage : public Image {
public:
    explicit FakeImage(std::string path) : path(std::move(path)) {}
    std::string path;
};

// Loads any readable, non-empty file as an image.
class FakeImageLoader : public ImageLoader {
public:
    ImagePtr imageWithContentsOfFile(const std::string& path) override {
        ++loads;
        std::ifstream in(path, std::ios::binary);
        if (!in || in.peek() == std::ifstream::traits_type::eof()) {
            return nullptr;
        }
        return std::make_shared<FakeImage>(path);
    }
    int loads = 0;
};

} // namespace quorvane::test

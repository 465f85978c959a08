#pragma once

#include "platform/AttributedString.h"
#include "platform/Image.h"
#include "platform/ObjectValue.h"

#include <optional>
#include <string>

namespace quorvane {

// One row of the installation list, keyed like the table's columns: "path", "pathDescription",
// "status" and "icon". The searching placeholder holds a description alone.
struct AppRecord {
    std::optional<std::string> path;
    std::optional<AttributedString> pathDescription;
    std::optional<int> status;
    ImagePtr icon;

    // The value held under the key, or nothing.
    ObjectValue valueForKey(const std::string& key) const {
        if (key == "path" && path) {
            return *path;
        }
        if (key == "pathDescription" && pathDescription) {
            return *pathDescription;
        }
        if (key == "status" && status) {
            return *status;
        }
        if (key == "icon" && icon) {
            return icon;
        }
        return std::monostate{};
    }
};

} // namespace quorvane

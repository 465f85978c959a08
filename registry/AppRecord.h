#pragma once

#include "platform/AttributedString.h"
#include "platform/Image.h"
#include "platform/ObjectValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quorvane {

// One row of the installation list, keyed like the table's columns: "path", "pathDescription",
// "status" and "icon". The searching placeholder holds a description alone.
struct AppRecord {
    std::optional<std::string> path;
    std::optional<AttributedString> pathDescription;
    std::optional<int> status;
    ImagePtr icon;
    // The folder (device and inode) that was judged, to tell it from another one put at its path later.
    // No column shows it.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> identity;

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

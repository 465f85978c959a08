#pragma once

#include "registry/InstallationStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quorvane {

// One listed installation: its folder and the verdict on it.
struct Installation {
    std::string path;
    InstallationStatus status = InstallationStatus::notFound;
    // The folder (device and inode) that was judged, to tell it from another one put at its path later.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> identity;

    bool takesItems() const { return status == InstallationStatus::valid; }
};

} // namespace quorvane

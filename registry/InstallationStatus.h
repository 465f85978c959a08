#pragma once

#include <cstdint>

namespace quorvane {

// The verdict on a folder: valid, a sum of defects (1, 2, 3, 4 or 8), or no installation at all.
enum class InstallationStatus : std::int32_t {
    notFound = -1,
    valid = 0,
    artMissing = 1,
    textMissing = 2,
    artAndTextMissing = 3,
    versionFileMissing = 4,
    wrongVersion = 8,
};

} // namespace quorvane

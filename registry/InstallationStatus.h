#pragma once

#include <cstdint>

namespace quorvane {

// The verdict on a folder: 0 valid, a sum of defects (1, 2, 3, 4 or 8), or -1 for no installation.
using InstallationStatus = std::int32_t;

inline constexpr InstallationStatus InstallationStatusNotFound = -1;
inline constexpr InstallationStatus InstallationStatusValid = 0;
inline constexpr InstallationStatus InstallationStatusArtMissing = 1;
inline constexpr InstallationStatus InstallationStatusTextMissing = 2;
inline constexpr InstallationStatus InstallationStatusArtAndTextMissing = 3;
inline constexpr InstallationStatus InstallationStatusVersionFileMissing = 4;
inline constexpr InstallationStatus InstallationStatusWrongVersion = 8;

} // namespace quorvane

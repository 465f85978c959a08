#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvane {

// The bytes an ordinary user may still write on the file system that holds path; none when unknown.
std::optional<std::uint64_t> freeSpace(const std::string& path);
// The disk that holds path, as the folder it is mounted on; path itself when that cannot be told.
std::string diskOf(const std::string& path);

} // namespace quorvane

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::urilist {

// The local files named by a text/uri-list, byte for byte as the file system spells them, in order.
// Comment lines, URLs of other schemes and file URLs of other hosts are left out.
std::vector<std::string> localPathsFromUriList(std::string_view uriList);

// A text/uri-list naming the given absolute paths, as file managers write it.
std::string uriListFromLocalPaths(const std::vector<std::string>& paths);

} // namespace quorvane::urilist

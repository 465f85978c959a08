#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::urilist {

// The local files named by a text/uri-list, byte for byte as the file system spells them, in order.
// Comment lines, URLs of other schemes and file URLs of other hosts are left out.
std::vector<std::string> localPathsFromUriList(std::string_view uriList);

// The files named by a text copied as plain text: one absolute path or file URL a line, quoted or not (a
// terminal, a file manager's "Copy Location"). None when a line names no local file: such a text is no
// list of files.
std::vector<std::string> localPathsFromText(std::string_view text);

// The clipboard's data in a format; empty when it has none.
using ClipboardData = std::function<std::string(const char* format)>;
// The local files on the clipboard: a file manager's copied or cut files, a list of file URLs, or paths
// copied as plain text, in that order of preference.
std::vector<std::string> localPathsFromClipboard(const ClipboardData& data);

// A text/uri-list naming the given absolute paths, as file managers write it.
std::string uriListFromLocalPaths(const std::vector<std::string>& paths);

} // namespace quorvane::urilist

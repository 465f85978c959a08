#pragma once

#include <string>
#include <string_view>

namespace quorvane::path {

// Slash-separated path text, taken apart and joined the usual way. Bytes are never re-encoded.

// "a/b" + "c" is "a/b/c"; "" + "c" is "c"; a trailing slash of the base is not doubled.
std::string join(std::string_view base, std::string_view component);
// "/a/b/" gives "b"; "/" gives "/"; "" gives "".
std::string fileName(std::string_view path);
// "/a/b" gives "/a"; "/a" gives "/"; "a" gives ""; "/" gives "/".
std::string parent(std::string_view path);
// "x.zip" gives "zip"; "x.tar.gz" gives "gz"; ".zip", "x." and "a.b/c" give "".
std::string extension(std::string_view path);

// Slash-separated parts none of which is empty, "." or "..": a relative path that stays inside its folder
// ("a/b"; not "", "/a", "a//b", "a/./b" or "../a").
bool hasPlainParts(std::string_view parts);
// Whether path lies somewhere below folder ("/a/b/c" is below "/a/b"; "/a/bc" and "/a/b" are not).
bool isInsideFolder(std::string_view folder, std::string_view path);

} // namespace quorvane::path

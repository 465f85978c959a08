#pragma once

#include <string>

namespace quorvane {

// A file name or path as it shows on one line of a report or of output, quoted the way ls quotes for a
// shell: as it is, unless it holds a control character (a line break would split the line) or a single
// quote; then in single quotes, with each control character as $'\n' or $'\ooo' and each quote as \'.
// 'a'$'\n''b' is "a", a line break, "b".
std::string quotedName(const std::string& name);

} // namespace quorvane

#pragma once

#include <cstdio>
#include <string>

namespace quorvane {

// Writes text to a standard stream byte for byte. On a terminal, control characters other than line
// breaks and tabs show as "?": a hostile file name must not steer the terminal.
void writeConsoleText(std::FILE* stream, const std::string& text);

// A file name or path as one line of output, the way ls quotes for a shell: as it is, unless it holds
// a control character (a line break would split the line) or a single quote; then in single quotes, with
// each control character as $'\n' or $'\ooo' and each quote as \'. 'a'$'\n''b' is "a", a line
// break, "b".
std::string quotedName(const std::string& name);

// Whether the stream is a terminal.
bool isTerminal(std::FILE* stream);

} // namespace quorvane

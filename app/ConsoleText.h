#pragma once

#include <cstdio>
#include <string>

namespace quorvane {

// Writes text to a standard stream byte for byte. On a terminal, control characters other than line
// breaks and tabs show as "?": a hostile file name must not steer the terminal.
void writeConsoleText(std::FILE* stream, const std::string& text);

// Whether the stream is a terminal.
bool isTerminal(std::FILE* stream);

} // namespace quorvane

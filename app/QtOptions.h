#pragma once

#include <string>

namespace quorvane::qtoptions {

// The options Qt's window takes for itself (-style, -platform, -stylesheet, …), with one dash or two,
// their value after "=" or in the next argument. The window hands them to Qt; the command line passes
// over them.

// How many arguments from argv[index] on make one Qt option with its value; 0 when it is none.
int argumentsTaken(int argc, char** argv, int index);

// Their lines for --help-all.
std::string helpText();

} // namespace quorvane::qtoptions

#pragma once

#include <string>

namespace quorvane {

// The text of a system error number, as the system words it; "Unknown error" for 0.
std::string systemErrorText(int error);

} // namespace quorvane

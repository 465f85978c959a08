#pragma once

#include "platform/AttributedString.h"
#include "platform/Image.h"

#include <string>
#include <variant>

namespace quorvane {

// What a table cell shows: nothing, plain text, styled text, an image or a number.
using ObjectValue = std::variant<std::monostate, std::string, AttributedString, ImagePtr, int>;

} // namespace quorvane

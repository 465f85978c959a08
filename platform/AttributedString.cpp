#include "platform/AttributedString.h"

#include <algorithm>

namespace quorvane {

void AttributedString::setAttributes(const TextStyle& style, std::size_t location, std::size_t length) {
    if (location >= _string.size() || length == 0) {
        return;
    }
    length = std::min(length, _string.size() - location);
    _runs.push_back(Run{location, length, style});
}

} // namespace quorvane

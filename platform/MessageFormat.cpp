#include "platform/MessageFormat.h"

namespace quorvane {
namespace {

std::string asText(const FormatArgument& argument) {
    if (const auto* text = std::get_if<std::string>(&argument)) {
        return *text;
    }
    return std::to_string(std::get<int>(argument));
}

} // namespace

std::string formatMessage(std::string_view messageTemplate, const std::vector<FormatArgument>& arguments) {
    std::string result;
    result.reserve(messageTemplate.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < messageTemplate.size(); ++i) {
        const char c = messageTemplate[i];
        if (c != '%' || i + 1 == messageTemplate.size()) {
            result += c;
            continue;
        }
        const char kind = messageTemplate[i + 1];
        if (kind == '%') {
            result += '%';
            ++i;
        } else if (kind == '@' || kind == 'd') {
            if (next < arguments.size()) {
                result += asText(arguments[next]);
            }
            ++next;
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace quorvane

#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvane {

using FormatArgument = std::variant<std::string, int>;

// Fills a message template: each "%@" and "%d" takes the next argument (text as it is, a number as a
// signed decimal), "%%" gives "%". Inserted text is never scanned again, so a name holding "%@" stays
// as it is. A placeholder without an argument gives nothing; any other "%" sequence stays as written.
std::string formatMessage(std::string_view messageTemplate, const std::vector<FormatArgument>& arguments);

} // namespace quorvane

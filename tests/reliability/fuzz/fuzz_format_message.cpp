// The message formatter over any template and arguments: every argument's text appears as it is, and the
// result never holds more than the template and all arguments together.
#include "platform/MessageFormat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Pieces separated by a 0xff byte: the template first, then the arguments. An argument whose first
    // byte is '#' is a number, read from its next four bytes.
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xff) {
            pieces.emplace_back();
        } else {
            pieces.back().push_back(static_cast<char>(data[i]));
        }
    }
    std::vector<quorvane::FormatArgument> arguments;
    std::size_t budget = pieces[0].size();
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        if (!piece.empty() && piece[0] == '#' && piece.size() >= 5) {
            std::int32_t number = 0;
            std::memcpy(&number, piece.data() + 1, sizeof number);
            arguments.emplace_back(static_cast<int>(number));
            budget += 11;
        } else {
            arguments.emplace_back(piece);
            budget += piece.size();
        }
    }
    const std::string result = quorvane::formatMessage(pieces[0], arguments);
    if (result.size() > budget) {
        std::abort();
    }
    // A template without any '%' comes back unchanged.
    if (pieces[0].find('%') == std::string::npos && result != pieces[0]) {
        std::abort();
    }
    // Text taken in is never scanned again: a lone "%@" with one text argument gives that text exactly.
    if (pieces[0] == "%@" && arguments.size() == 1 && std::holds_alternative<std::string>(arguments[0]) &&
        result != std::get<std::string>(arguments[0])) {
        std::abort();
    }
    return 0;
}

#include "app/ConsoleText.h"

#include <unistd.h>

namespace quorvane {

bool isTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

void writeConsoleText(std::FILE* stream, const std::string& text) {
    if (!isTerminal(stream)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::string shown = text;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7f) {
            c = '?';
        }
    }
    std::fwrite(shown.data(), 1, shown.size(), stream);
}

} // namespace quorvane

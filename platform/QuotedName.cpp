#include "platform/QuotedName.h"

#include <algorithm>

namespace quorvane {

namespace {

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

std::string escapedControl(char c) {
    switch (c) {
    case '\n':
        return "\\n";
    case '\t':
        return "\\t";
    case '\r':
        return "\\r";
    default: {
        const auto byte = static_cast<unsigned char>(c);
        return {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
                static_cast<char>('0' + (byte & 7))};
    }
    }
}

} // namespace

std::string quotedName(const std::string& name) {
    if (std::none_of(name.begin(), name.end(), [](char c) { return isControl(c) || c == '\''; })) {
        return name;
    }
    std::string quoted;
    bool open = false;
    for (const char c : name) {
        const bool plain = !isControl(c) && c != '\'';
        if (plain != open) {
            quoted += '\'';
            open = plain;
        }
        if (plain) {
            quoted += c;
        } else if (c == '\'') {
            quoted += "\\'";
        } else {
            quoted += "$'" + escapedControl(c) + "'";
        }
    }
    return open ? quoted + '\'' : quoted;
}

} // namespace quorvane

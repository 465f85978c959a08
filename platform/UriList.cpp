#include "platform/UriList.h"

#include <cctype>

namespace quorvane::urilist {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// The path of a file URL on this machine, or empty.
std::string localPath(std::string_view uri) {
    if (!startsWithNoCase(uri, "file:")) {
        return {};
    }
    uri.remove_prefix(5);
    if (uri.substr(0, 2) == "//") {
        uri.remove_prefix(2);
        const auto slash = uri.find('/');
        if (slash == std::string_view::npos) {
            return {};
        }
        const std::string_view host = uri.substr(0, slash);
        if (!host.empty() && !startsWithNoCase(host, "localhost")) {
            return {};
        }
        if (!host.empty() && host.size() != 9) {
            return {};
        }
        uri.remove_prefix(slash);
    }
    if (uri.empty() || uri.front() != '/') {
        return {};
    }
    std::string path = percentDecoded(uri);
    if (path.find('\0') != std::string::npos) {
        return {};
    }
    return path;
}

// Blanks around a line; NUL counts as one: some file managers end their clipboard data with it.
bool isBlank(char c) {
    return c == '\r' || c == ' ' || c == '\t' || c == '\0';
}

// The lines of the text without the blanks around them; empty lines and comments left out.
std::vector<std::string_view> trimmedLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && isBlank(line.back())) {
            line.remove_suffix(1);
        }
        while (!line.empty() && isBlank(line.front())) {
            line.remove_prefix(1);
        }
        if (!line.empty() && line.front() != '#') {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace

std::vector<std::string> localPathsFromUriList(std::string_view uriList) {
    std::vector<std::string> paths;
    for (const std::string_view line : trimmedLines(uriList)) {
        std::string path = localPath(line);
        if (!path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

std::vector<std::string> localPathsFromText(std::string_view text) {
    std::vector<std::string> paths;
    for (std::string_view line : trimmedLines(text)) {
        // A terminal may quote a name with blanks in it.
        if (line.size() > 2 && (line.front() == '\'' || line.front() == '"') && line.back() == line.front()) {
            line = line.substr(1, line.size() - 2);
        }
        std::string path = line.front() == '/' ? std::string(line) : localPath(line);
        if (path.empty() || path.find('\0') != std::string::npos) {
            return {};
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

std::vector<std::string> localPathsFromClipboard(const ClipboardData& data) {
    // A file manager's copy: "copy" or "cut" on the first line, then one file URL a line.
    const std::string copied = data("x-special/gnome-copied-files");
    const auto lineEnd = copied.find('\n');
    if (const std::string operation = copied.substr(0, lineEnd);
        (operation == "copy" || operation == "cut") && lineEnd != std::string::npos) {
        if (auto paths = localPathsFromUriList(std::string_view(copied).substr(lineEnd + 1));
            !paths.empty()) {
            return paths;
        }
    }
    if (auto paths = localPathsFromUriList(data("text/uri-list")); !paths.empty()) {
        return paths;
    }
    if (auto paths = localPathsFromText(data("text/plain;charset=utf-8")); !paths.empty()) {
        return paths;
    }
    return localPathsFromText(data("text/plain"));
}

std::string uriListFromLocalPaths(const std::vector<std::string>& paths) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string list;
    for (const std::string& path : paths) {
        list += "file://";
        for (const char c : path) {
            const auto byte = static_cast<unsigned char>(c);
            if (std::isalnum(byte) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
                list += c;
            } else {
                list += '%';
                list += kHex[byte >> 4];
                list += kHex[byte & 15];
            }
        }
        list += "\r\n";
    }
    return list;
}

} // namespace quorvane::urilist

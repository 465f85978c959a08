#include "platform/PathUtilities.h"

#include <algorithm>

namespace quorvane::path {
namespace {

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

} // namespace

std::string join(std::string_view base, std::string_view component) {
    while (!component.empty() && component.front() == '/') {
        component.remove_prefix(1);
    }
    if (base.empty()) {
        return std::string(component);
    }
    base = withoutTrailingSlashes(base);
    std::string joined(base);
    if (component.empty()) {
        return joined;
    }
    if (joined.back() != '/') {
        joined += '/';
    }
    joined += component;
    return joined;
}

std::string fileName(std::string_view path) {
    path = withoutTrailingSlashes(path);
    if (path == "/") {
        return "/";
    }
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string parent(std::string_view path) {
    path = withoutTrailingSlashes(path);
    if (path == "/") {
        return "/";
    }
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return "";
    }
    if (slash == 0) {
        return "/";
    }
    return std::string(withoutTrailingSlashes(path.substr(0, slash)));
}

std::string extension(std::string_view path) {
    const std::string name = fileName(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) {
        return "";
    }
    return name.substr(dot + 1);
}

bool hasPlainParts(std::string_view parts) {
    for (std::size_t start = 0; start <= parts.size();) {
        const std::size_t end = std::min(parts.find('/', start), parts.size());
        const std::string_view part = parts.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool isInsideFolder(std::string_view folder, std::string_view path) {
    folder = withoutTrailingSlashes(folder);
    if (folder.empty() || path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) {
        return false;
    }
    return folder == "/" || path[folder.size()] == '/';
}

} // namespace quorvane::path

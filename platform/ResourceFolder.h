#pragma once

#include <optional>
#include <string>

namespace quorvane {

// The program's own resource files, found under one folder (a Qt resource folder such as ":/resources"
// or a folder on disk).
class ResourceFolder {
public:
    explicit ResourceFolder(std::string folder) : _folder(std::move(folder)) {}
    // The path of the resource name.type, or none when there is no such resource.
    std::optional<std::string> resourcePath(const std::string& name, const std::string& type) const;

private:
    std::string _folder;
};

} // namespace quorvane

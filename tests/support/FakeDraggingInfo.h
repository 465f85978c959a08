#pragma once

#include "platform/DragTypes.h"
#include "platform/DraggingInfo.h"

namespace quorvane::test {

// A drag of file names, or of something else when no paths are given.
class FakeDraggingInfo : public DraggingInfo {
public:
    explicit FakeDraggingInfo(std::optional<std::vector<std::string>> paths = {}) : paths(std::move(paths)) {}
    std::vector<std::string> pasteboardTypes() const override { return {paths ? NSFilenamesPboardType : "text/plain"}; }
    std::optional<std::vector<std::string>> propertyListForType(const std::string& type) const override {
        return type == NSFilenamesPboardType ? paths : std::nullopt;
    }
    std::optional<std::vector<std::string>> paths;
};

} // namespace quorvane::test

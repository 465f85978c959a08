#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// What a drag over the table carries.
class DraggingInfo {
public:
    virtual ~DraggingInfo() = default;
    // The type names on the drag pasteboard.
    virtual std::vector<std::string> pasteboardTypes() const = 0;
    // For the file names type: the dragged items as absolute paths, in drag order; none otherwise.
    virtual std::optional<std::vector<std::string>> propertyListForType(const std::string& type) const = 0;
};

} // namespace quorvane

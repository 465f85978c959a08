#pragma once

#include "platform/DraggingInfo.h"

class QMimeData;

namespace quorvane {

// What a Qt drag carries. It carries the file names type when its "text/uri-list" names at least one
// local file; the paths are taken from the list's raw bytes, so they stay exactly as the file system
// spells them.
class QtDraggingInfo : public DraggingInfo {
public:
    explicit QtDraggingInfo(const QMimeData* mimeData);
    std::vector<std::string> pasteboardTypes() const override { return _types; }
    std::optional<std::vector<std::string>> propertyListForType(const std::string& type) const override;

private:
    std::vector<std::string> _types;
    std::vector<std::string> _fileNames;
};

} // namespace quorvane

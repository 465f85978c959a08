#include "platform/ResourceFolder.h"

#include "platform/PathUtilities.h"

#include <QFileInfo>

namespace quorvane {

std::optional<std::string> ResourceFolder::resourcePath(const std::string& name,
                                                        const std::string& type) const {
    if (name.empty() || _folder.empty()) {
        return std::nullopt;
    }
    const std::string file = type.empty() ? name : name + "." + type;
    std::string path = path::join(_folder, file);
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists() || info.isDir()) {
        return std::nullopt;
    }
    return path;
}

} // namespace quorvane

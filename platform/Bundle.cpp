#include "platform/Bundle.h"

#include "platform/PathUtilities.h"

#include <QFileInfo>

namespace quorvane {

std::optional<std::string> Bundle::resourcePath(const std::string& name, const std::string& type) const {
    if (name.empty() || _resourceFolder.empty()) {
        return std::nullopt;
    }
    const std::string file = type.empty() ? name : name + "." + type;
    std::string path = path::join(_resourceFolder, file);
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists() || info.isDir()) {
        return std::nullopt;
    }
    return path;
}

} // namespace quorvane

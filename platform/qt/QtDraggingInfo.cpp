#include "platform/qt/QtDraggingInfo.h"

#include "platform/DragTypes.h"
#include "platform/UriList.h"

#include <QMimeData>

namespace quorvane {

QtDraggingInfo::QtDraggingInfo(const QMimeData* mimeData) {
    if (mimeData == nullptr) {
        return;
    }
    for (const QString& format : mimeData->formats()) {
        if (format == QLatin1String(NSFilenamesPboardType)) {
            const QByteArray uriList = mimeData->data(format);
            _fileNames =
                urilist::localPathsFromUriList(std::string_view(uriList.constData(), uriList.size()));
            if (_fileNames.empty()) {
                continue;
            }
        }
        _types.push_back(format.toStdString());
    }
}

std::optional<std::vector<std::string>> QtDraggingInfo::propertyListForType(const std::string& type) const {
    if (type != NSFilenamesPboardType || _fileNames.empty()) {
        return std::nullopt;
    }
    return _fileNames;
}

} // namespace quorvane

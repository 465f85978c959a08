#include "platform/qt/QtDesktop.h"

#include <QDesktopServices>
#include <QUrl>

namespace quorvane {

bool QtDesktop::openFolder(const std::string& path) {
    // The URL is built from the path's bytes, percent-encoded, so that a name that is not UTF-8 survives.
    QUrl url;
    url.setScheme(QStringLiteral("file"));
    url.setPath(QString::fromLatin1(
                    QByteArray(path.data(), static_cast<qsizetype>(path.size())).toPercentEncoding("/")),
                QUrl::TolerantMode);
    return QDesktopServices::openUrl(url);
}

} // namespace quorvane

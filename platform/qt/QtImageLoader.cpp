#include "platform/qt/QtImageLoader.h"

#include "platform/qt/QtImage.h"

#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

bool openForReading(QFile& file, const std::string& path) {
    if (path.starts_with(':')) { // compiled into the program
        file.setFileName(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly);
    }
    // Opened by its bytes, so that a name that is not valid UTF-8 is found as well.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    if (file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        return true;
    }
    ::close(descriptor);
    return false;
}

} // namespace

ImagePtr QtImageLoader::imageWithContentsOfFile(const std::string& path) {
    QFile file;
    if (!openForReading(file, path)) {
        return nullptr;
    }
    QImageReader reader(&file);
    QIcon icon;
    do {
        const QImage image = reader.read();
        if (image.isNull()) {
            break;
        }
        icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    if (icon.isNull()) {
        return nullptr;
    }
    return std::make_shared<QtImage>(std::move(icon));
}

} // namespace quorvane

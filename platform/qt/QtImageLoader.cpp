#include "platform/qt/QtImageLoader.h"

#include "platform/qt/QtImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <fstream>
#include <iterator>
#include <optional>

namespace quorvane {
namespace {

std::optional<QByteArray> contentsOfFile(const std::string& path) {
    if (path.starts_with(':')) { // compiled into the program
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        return file.readAll();
    }
    // Opened by its bytes, so that a name that is not valid UTF-8 is found as well.
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(stream), {}));
}

} // namespace

ImagePtr QtImageLoader::imageWithContentsOfFile(const std::string& path) {
    std::optional<QByteArray> contents = contentsOfFile(path);
    if (!contents) {
        return nullptr;
    }
    QBuffer buffer(&*contents);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
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

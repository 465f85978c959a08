#include "platform/qt/InstallationIconDelegate.h"

#include "controller/InstallationListModel.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr int kImageMargin = 2;

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

InstallationIconDelegate::InstallationIconDelegate(QIcon validIcon, QIcon damagedIcon, QObject* parent)
    : QStyledItemDelegate(parent), _validIcon(std::move(validIcon)), _damagedIcon(std::move(damagedIcon)) {}

QIcon InstallationIconDelegate::load(const std::string& path) {
    QFile file;
    if (!openForReading(file, path)) {
        return {};
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
    return icon;
}

void InstallationIconDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QStyleOptionViewItem itemOption = option;
    initStyleOption(&itemOption, index);
    itemOption.icon = QIcon();
    itemOption.text.clear();
    itemOption.state &= ~QStyle::State_HasFocus; // rows are selected whole; no frame around one cell
    itemOption.features &= ~(QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay);
    const QWidget* widget = itemOption.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &itemOption, painter, widget);
    const QVariant status = index.data(InstallationListModel::StatusRole);
    const QIcon& icon = !status.isValid() ? QIcon() : status.toInt() == 0 ? _validIcon : _damagedIcon;
    if (icon.isNull()) {
        return;
    }
    // QIcon draws the best of its sizes, shrunk in proportion when it is too large for the area.
    const QRect area = itemOption.rect.adjusted(kImageMargin, kImageMargin, -kImageMargin, -kImageMargin);
    const QIcon::Mode mode = itemOption.state & QStyle::State_Selected ? QIcon::Selected : QIcon::Normal;
    icon.paint(painter, area, Qt::AlignCenter, mode);
}

} // namespace quorvane

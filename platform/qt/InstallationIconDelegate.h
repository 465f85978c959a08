#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

namespace quorvane {

// Draws an installation's icon from its status: one for a valid installation, one for any other; none on
// a row that is no installation. The icon fits the cell in proportion.
class InstallationIconDelegate : public QStyledItemDelegate {
public:
    InstallationIconDelegate(QIcon validIcon, QIcon damagedIcon, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The images in the file, every size it holds; a null icon when it cannot be read as an image. The
    // path is taken as the file system's bytes, or as a Qt resource when it starts with ':'.
    static QIcon load(const std::string& path);

private:
    QIcon _validIcon;
    QIcon _damagedIcon;
};

} // namespace quorvane

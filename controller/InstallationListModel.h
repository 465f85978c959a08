#pragma once

#include <QAbstractTableModel>

namespace quorvane {

class InstallationList;
class Localizer;

// The installation list as the window's table shows it: a row per installation, an icon column and a
// description column (the path, and under it the status line). While the list is empty, one row says why:
// the installations are being looked for, or none was found and how to add one. Icons and colours are the
// presentation's: it draws them from the status.
class InstallationListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { IconColumn, DescriptionColumn, ColumnCount };
    enum Role {
        // The installation's verdict (InstallationStatus as int); none on the row of an empty list.
        StatusRole = Qt::UserRole + 1,
        // The description's last line that says what is wrong with the installation; "" when nothing is.
        StatusLineRole,
    };

    InstallationListModel(const InstallationList& list, const Localizer& localizer,
                          QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display: the description. Tool tip: the whole description, which the cell may show shortened.
    // Accessible text: the description, given by its cell alone, so that a screen reader reads the row once
    // (path, then status); the icon's cell is named empty.
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QString description(int row) const;
    QString statusLine(int row) const;

    const InstallationList& _list;
    const Localizer& _localizer;
};

} // namespace quorvane

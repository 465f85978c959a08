#include "controller/InstallationListModel.h"

#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "registry/InstallationList.h"

namespace quorvane {

InstallationListModel::InstallationListModel(const InstallationList& list, const Localizer& localizer,
                                             QObject* parent)
    : QAbstractTableModel(parent), _list(list), _localizer(localizer) {
    connect(&list, &InstallationList::aboutToChange, this, &InstallationListModel::beginResetModel);
    connect(&list, &InstallationList::changed, this, &InstallationListModel::endResetModel);
}

int InstallationListModel::rowCount(const QModelIndex& parent) const {
    // An empty list still has the row that says why.
    return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(_list.installations().size()));
}

int InstallationListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant InstallationListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const bool describes = index.column() == DescriptionColumn;
    const Installation* installation = _list.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return describes ? QVariant(description(index.row())) : QVariant();
    case Qt::ToolTipRole: {
        const QString text = description(index.row()).trimmed();
        return describes && !text.isEmpty() ? QVariant(text) : QVariant();
    }
    case Qt::AccessibleTextRole:
        return describes ? description(index.row()).trimmed() : QString();
    case StatusRole:
        return installation ? QVariant(static_cast<int>(installation->status)) : QVariant();
    case StatusLineRole:
        return describes ? QVariant(statusLine(index.row())) : QVariant();
    default:
        return {};
    }
}

QString InstallationListModel::statusLine(int row) const {
    const Installation* installation = _list.at(row);
    return installation ? QString::fromStdString(_list.check().statusText(installation->status)) : QString();
}

QString InstallationListModel::description(int row) const {
    const auto localized = [this](const char* key) { return _localizer.text(key); };
    if (const Installation* installation = _list.at(row)) {
        return QString::fromStdString(installation->path) + '\n' + statusLine(row);
    }
    if (_list.searching()) {
        return QString::fromStdString(
            formatMessage(localized("Looking for your %@ installation. Please wait ..."), {"Quorvane"}));
    }
    // Below the apology, how to add an installation.
    return QString::fromStdString(formatMessage(
        "%@\n%@", {formatMessage(localized("Sorry. Cannot find %@ version %@."), {"Quorvane", "1.29"}),
                   localized("Drag an installation's folder here, or use File ▸ Add Installation…")}));
}

} // namespace quorvane

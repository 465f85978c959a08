#include "controller/HistoryModel.h"

#include "controller/UndoQuestion.h"
#include "platform/Localizer.h"

#include <QLocale>

namespace quorvane {

void HistoryModel::setEntries(std::vector<UpdateHistory::Entry> entries) {
    beginResetModel();
    _entries = std::move(entries);
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(_entries.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Column::columns;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::TextAlignmentRole)) {
        return {};
    }
    const bool number = index.column() >= Column::filesAdded && index.column() <= Column::backup;
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    const UpdateHistory::Entry& entry = _entries[static_cast<std::size_t>(index.row())];
    const auto text = [this](const char* key) { return QString::fromStdString(_localizer.text(key)); };
    switch (index.column()) {
    case Column::date:
        return QString::fromStdString(UndoQuestion::dateText(entry.date));
    case Column::addOns:
        return entry.damaged
                   ? text("(damaged record)")
                   : QString::fromStdString(entry.addOnNames.empty() ? "" : UndoQuestion::addOnsText(entry));
    case Column::filesAdded:
        return QString::number(entry.filesAdded);
    case Column::filesReplaced:
        return QString::number(entry.filesReplaced);
    case Column::backup:
        return QLocale().formattedDataSize(static_cast<qint64>(entry.backupBytes));
    case Column::undoable:
        return entry.undoable ? text("Yes") : text("No");
    }
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const titles[] = {"Date",           "Add-ons", "Files Added",
                                         "Files Replaced", "Backup",  "Can Be Undone"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
        return {};
    }
    return QString::fromStdString(_localizer.text(titles[section]));
}

} // namespace quorvane

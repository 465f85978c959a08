#pragma once

#include "engine/UpdateHistory.h"

#include <QAbstractTableModel>
#include <vector>

namespace quorvane {

class Localizer;

// The rows of the history window: an installation's updates, newest first, with their date, add-on
// names, files added, files replaced, the size of their backup and whether they can still be undone.
class HistoryModel : public QAbstractTableModel {
public:
    enum Column { date, addOns, filesAdded, filesReplaced, backup, undoable, columns };

    explicit HistoryModel(const Localizer& localizer) : _localizer(localizer) {}

    void setEntries(std::vector<UpdateHistory::Entry> entries);
    const std::vector<UpdateHistory::Entry>& entries() const { return _entries; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const Localizer& _localizer;
    std::vector<UpdateHistory::Entry> _entries;
};

} // namespace quorvane

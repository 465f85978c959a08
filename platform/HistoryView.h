#pragma once

#include "platform/Sheet.h"

#include <string>

class QAbstractItemModel;

namespace quorvane {

// What the history window's buttons ask for, each on the selected update (a row, -1 for none).
enum class HistoryAction { undoUpdate, restoreAll, removeOldBackups };

// The receiver of the history window's buttons.
class HistoryActions {
public:
    virtual ~HistoryActions() = default;
    // The action would be taken now; the window greys out the others.
    virtual bool historyActionEnabled(HistoryAction action, int row) = 0;
    virtual void takeHistoryAction(HistoryAction action, int row) = 0;
};

// The window that lists an installation's updates, as its controller sees it.
class HistoryView {
public:
    virtual ~HistoryView() = default;
    // Shows the window in front over the installation's updates, a row each, its buttons going to actions.
    virtual void showHistory(const std::string& installation, QAbstractItemModel& updates,
                             HistoryActions& actions) = 0;
    // Opens the sheet on the history window and returns at once.
    virtual void openSheet(Sheet sheet) = 0;
};

} // namespace quorvane

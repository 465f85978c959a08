#pragma once

#include <string>
#include <vector>

namespace quorvane {

// What the window's menus, shortcuts and context menu can ask for. Each acts on the selected row.
enum class UserAction {
    installItems,
    addInstallation,
    removeFromList,
    showInFileManager,
    undoLastUpdate,
    showHistory,
};

// The receiver of the window's actions.
class UserActions {
public:
    virtual ~UserActions() = default;

    // The action would be taken now; a menu greys out the others.
    virtual bool actionEnabled(UserAction action) = 0;
    // Opens the confirmation of an update of the selected installation with these items; no when refused.
    virtual bool installItems(const std::vector<std::string>& paths) = 0;
    // Lists the folder as an installation; no when refused or not added.
    virtual bool addInstallation(const std::string& path) = 0;
    virtual void removeSelectedInstallation() = 0;
    virtual void showSelectedInFileManager() = 0;
    virtual void undoLastUpdate() = 0;
    // File ▸ Update History…: the selected installation's updates in a window of their own.
    virtual void showUpdateHistory() = 0;
    // Return or a double-click on a row: the items waiting for an installation go into it, or a sheet
    // says why the row takes none. No when neither: nothing waits and the row takes items.
    virtual bool activateSelectedRow() = 0;
    // View ▸ Refresh and the window's activation: the installations that were not found are looked for
    // again.
    virtual void judgeInstallationsAgain() = 0;
};

} // namespace quorvane

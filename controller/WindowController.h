#pragma once

#include "controller/DropTarget.h"
#include "controller/HistoryController.h"
#include "controller/InstallationListModel.h"
#include "controller/UpdateCoordinator.h"
#include "controller/WindowServices.h"
#include "platform/UserActions.h"
#include "registry/AbsentInstallationWatch.h"
#include "registry/InstallationList.h"
#include "registry/InstallationSearch.h"

#include <QObject>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class WindowView;

// The controller of the program's window: it starts the list of installations, keeps the rows' selection
// useful, grows the window for the rows, and takes the menus' actions on the selected row. The jobs go to
// the update coordinator, the drags to the drop target; the rows come from the list's model.
class WindowController : public QObject, public UserActions {
    Q_OBJECT

public:
    WindowController(WindowServices services, WindowView& view);

    // Lists the saved installations, or looks for them at a first start, and shows the window.
    void start();
    // Items the program was started with: with one valid installation its confirmation opens at once;
    // otherwise the waiting line says they wait for a row to be chosen.
    void offerWaitingItems(std::vector<std::string> items);
    const std::vector<std::string>& waitingItems() const { return _waitingItems; }

    InstallationList& installations() { return _list; }
    InstallationListModel& model() { return _model; }
    UpdateCoordinator& coordinator() { return _coordinator; }
    DropTarget& dropTarget() { return _dropTarget; }
    HistoryController& history() { return _history; }

    // The menus' actions, each refused exactly where a drop onto the selected row would be.
    bool actionEnabled(UserAction action) override;
    bool installItems(const std::vector<std::string>& paths) override;
    bool addInstallation(const std::string& path) override;
    void removeSelectedInstallation() override;
    void showSelectedInFileManager() override;
    void undoLastUpdate() override;
    void showUpdateHistory() override;
    bool activateSelectedRow() override;
    void judgeInstallationsAgain() override { _list.judgeAbsentAgain(); }

private:
    const Installation* selectedInstallation() const;
    // Room for every row, the window's bottom edge kept where it is.
    void growFor(std::size_t rows);
    // With no row selected, the first installation is, so that the keys act at once.
    void selectFirstInstallation();
    void selectRowNear(int row);
    void tellNotSaved(int error);
    // Says why the folder was not added, and offers the installations one level below it, if any.
    void tellNotInstallation(const std::string& folder);
    void showWaitingLine();

    WindowServices _services;
    WindowView& _view;
    InstallationList _list;
    AbsentInstallationWatch _absentWatch;
    InstallationListModel _model;
    InstallationSearch _search;
    UpdateCoordinator _coordinator;
    DropTarget _dropTarget;
    HistoryController _history;
    std::vector<std::string> _waitingItems;
};

} // namespace quorvane

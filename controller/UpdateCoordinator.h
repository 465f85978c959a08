#pragma once

#include "engine/UndoJob.h"
#include "engine/UpdateRecordStore.h"
#include "engine/UpdateRun.h"
#include "engine/UpdateRunDelegate.h"
#include "engine/UpdateServices.h"
#include "platform/InstallationLock.h"
#include "platform/Sheet.h"
#include "registry/InstallationStatus.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class Desktop;
class InstallationList;
class UpdateView;

// The one place that knows which job the window is doing, one at a time: a question waiting for an
// answer (a confirmation), an update run, or an undo. It confirms and starts updates, cancels them,
// puts them back, undoes the latest update of an installation, and tells its view what to show. The view
// never starts a job itself.
class UpdateCoordinator : public QObject, private UpdateRunDelegate {
    Q_OBJECT

public:
    UpdateCoordinator(UpdateServices services, InstallationList& list, UpdateView& view, Desktop& desktop);
    // A run still going stops, its extraction folders go with it; an undo under way is waited for.
    ~UpdateCoordinator() override;

    // A job is under way: no drop nor action takes items now.
    bool busy() const { return _job != Job::none; }
    bool updating() const { return _job == Job::update; }
    // The plan of a drop is being made; its confirmation follows.
    bool planning() const { return _job == Job::planning; }
    // The update running, or the last one until the next starts; none before the first.
    const UpdateRun* lastRun() const { return _run.get(); }

    // Plans the update of the installation with the items on the run's thread, then asks whether to carry
    // it out, showing the plan; no when refused (busy, nothing to install).
    bool confirmUpdate(const std::string& installation, std::vector<std::string> items);
    // The Cancel button: the planning is given up; the update stops between two items and reports what it
    // did so far.
    void cancel();
    // Asked when the user closes the window. During an update a sheet asks first; yes cancels it and closes
    // the window once it has ended. During an undo the window closes once it is done.
    bool mayClose();
    // Asks whether to undo the installation's latest recorded update, and does it.
    void undoLatest(const std::string& installation);
    // A job of the history window (an undo or a removal of backups) begins: it holds the installation's
    // lock and no other job starts until endHistoryJob. No, with a sheet told through tell, while busy or
    // while another window or command holds the lock.
    bool beginHistoryJob(const std::string& installation, const std::function<void(Sheet)>& tell);
    void endHistoryJob();
    // Opens the sheet as a question: no other job starts until it is answered.
    void ask(Sheet sheet);
    // Opens the sheet to inform; it holds up nothing.
    void tell(Sheet sheet);
    // Tells with a sheet that has only an OK button.
    void inform(std::string title, std::string message);

signals:
    // The user confirmed an update with these items.
    void updateConfirmed(const std::vector<std::string>& items);

private:
    // A sheet that only informs: an OK button alone.
    Sheet informing(std::string title, std::string message) const;
    enum class Job { none, planning, question, update, undo, history };

    void updateRunProgressed(const std::string& status, const std::string& file, double value,
                             double maxValue) override;
    void updateRunEnded(const UpdateReport& report) override;
    void updateRunPlanned(const UpdatePlan& plan) override;
    // Shows the plan made: the question whether to carry it out, or why it cannot be.
    void startUpdate(const std::string& installation, const std::vector<std::string>& items);
    // Says why the confirmed installation is not updated: its new status, or another folder at its path.
    void tellTargetChanged(const std::string& path, InstallationStatus status);
    // Undoes the cancelled run that has ended.
    void putBack(const UpdateRun* run);
    void undone(const UpdateReport& report);
    // Takes the installation's lock for an update or undo; no, with a sheet, while another process or
    // window holds it.
    bool lockInstallation(const std::string& installation, const std::function<void(Sheet)>& tell);
    bool lockInstallation(const std::string& installation) {
        return lockInstallation(installation, [this](Sheet sheet) { this->tell(std::move(sheet)); });
    }
    // Asks whether to undo the update the installation's latest record tells of, or says why there is none.
    void offerUndo(const std::string& installation, std::optional<UpdateRecordStore::Kept> kept);
    std::string localized(const char* key) const;

    UpdateServices _services;
    InstallationList& _list;
    UpdateView& _view;
    Desktop& _desktop;
    Job _job = Job::none;
    // Held while an update or undo of its installation runs.
    InstallationLock _lock;
    // The user chose to quit during a job: the window closes once it has ended.
    bool _closeWhenDone = false;
    // The question whether to stop the update and quit is open: the update's end closes it.
    bool _quitAsked = false;
    // The furthest the running update's bar went: its end shows it again, the bar's last report empties it.
    double _valueReached = 0;
    // Declared before the run: an undo of the run waits for it.
    UndoJob _undo;
    // A run that has ended stays until the next one starts: it calls the coordinator from inside its own
    // operations, so it is never destroyed during such a call.
    std::unique_ptr<UpdateRun> _run;
};

} // namespace quorvane

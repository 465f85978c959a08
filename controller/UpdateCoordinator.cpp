#include "controller/UpdateCoordinator.h"

#include "controller/UndoQuestion.h"
#include "engine/PlanReport.h"
#include "engine/UpdateRecordStore.h"
#include "platform/Desktop.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/UpdateView.h"
#include "registry/InstallationList.h"

#include <algorithm>
#include <ctime>

namespace quorvane {
namespace {

// The confirmation names at most this many items, then how many more: thousands of names would push its
// buttons off the screen.
constexpr std::size_t kMaxConfirmedNames = 15;

// A sheet whose details are the plan's changes, every line of them, behind a button that says so.
Sheet withChanges(Sheet sheet, const Localizer& localizer) {
    sheet.showDetailsButton = localizer.text("Show Changes…");
    sheet.hideDetailsButton = localizer.text("Hide Changes");
    return sheet;
}

} // namespace

UpdateCoordinator::UpdateCoordinator(UpdateServices services, InstallationList& list, UpdateView& view,
                                     Desktop& desktop)
    : _services(std::move(services)), _list(list), _view(view), _desktop(desktop),
      _undo(_services.fileManager, _services.localizer, _services.recordStore) {}

UpdateCoordinator::~UpdateCoordinator() = default;

std::string UpdateCoordinator::localized(const char* key) const {
    return _services.localizer.text(key);
}

void UpdateCoordinator::ask(Sheet sheet) {
    _job = Job::question;
    sheet.answered = [this, answered = std::move(sheet.answered)](SheetAnswer answer) {
        _job = Job::none;
        if (answered) {
            answered(answer);
        }
    };
    _view.openSheet(std::move(sheet));
}

void UpdateCoordinator::tell(Sheet sheet) {
    _view.openSheet(std::move(sheet));
}

bool UpdateCoordinator::confirmUpdate(const std::string& installation, std::vector<std::string> items) {
    if (busy() || items.empty()) {
        return false;
    }
    // The plan is made on the run's thread: the window answers meanwhile, and Cancel gives it up.
    _job = Job::planning;
    _view.setCancelEnabled(true);
    _view.showProgress(localized("Looking at the items:"), path::fileName(items.front()), 0, 0);
    _run = std::make_unique<UpdateRun>(_services, static_cast<UpdateRunDelegate&>(*this), installation,
                                       std::move(items));
    _run->makePlan();
    return true;
}

void UpdateCoordinator::updateRunPlanned(const UpdatePlan& plan) {
    if (_job != Job::planning) {
        return;
    }
    _job = Job::none;
    _view.setCancelEnabled(false);
    const std::string installation = _run->targetPath();
    const std::vector<std::string>& items = _run->items();
    if (const auto tooLarge = PlanReport::spaceRefusal(plan, installation, _services.localizer)) {
        tell(withChanges(Sheet{localized("The update does not fit on its disk"), *tooLarge, localized("OK"),
                               std::nullopt, std::nullopt, PlanReport::changes(plan, _services.localizer),
                               nullptr},
                         _services.localizer));
        return;
    }
    std::string message = formatMessage(localized("Click OK to update %@ using:\n\n%@"),
                                        {installation, path::fileName(items.front())});
    const std::size_t shown = std::min(items.size(), kMaxConfirmedNames);
    for (std::size_t i = 1; i < shown; ++i) {
        message = formatMessage("%@\n%@", {message, path::fileName(items[i])});
    }
    if (items.size() > shown) {
        const std::string more =
            formatMessage(localized("… and %d more."), {static_cast<std::int32_t>(items.size() - shown)});
        message = formatMessage("%@\n%@", {message, more});
    }
    message = formatMessage("%@\n\n%@", {message, PlanReport::summary(plan, _services.localizer)});
    ask(withChanges(Sheet{formatMessage(localized("Are you sure you want to update %@?"), {"Quorvane"}),
                          message, localized("OK"), localized("Cancel"), std::nullopt,
                          PlanReport::changes(plan, _services.localizer),
                          [this, installation, items, run = _run.get()](SheetAnswer answer) {
                              if (answer == SheetAnswer::ok && run == _run.get()) {
                                  emit updateConfirmed(items);
                                  startUpdate(installation, items);
                              }
                          }},
                    _services.localizer));
}

void UpdateCoordinator::startUpdate(const std::string& installation, const std::vector<std::string>& items) {
    if (busy()) {
        return;
    }
    // The installation may have gone, changed or been replaced by another folder since it was listed.
    const InstallationList::Verdict verdict = _list.judgeAgain(installation);
    if (verdict.status != InstallationStatus::valid || verdict.replaced) {
        tellTargetChanged(installation, verdict.status);
        return;
    }
    if (!lockInstallation(installation)) {
        return;
    }
    _view.setCancelEnabled(true);
    _job = Job::update;
    _valueReached = 0;
    // The run planned for the confirmation carries out its plan; only a disk changed since makes an entry
    // fail.
    if (!_run || _run->targetPath() != installation || _run->items() != items) {
        _run = std::make_unique<UpdateRun>(_services, static_cast<UpdateRunDelegate&>(*this), installation,
                                           items);
    }
    _run->start();
}

void UpdateCoordinator::tellTargetChanged(const std::string& path, InstallationStatus status) {
    Sheet sheet{localized("This installation can no longer be updated"),
                formatMessage(localized("%@ is no longer a valid installation. %@"),
                              {path, _list.check().statusText(status)}),
                localized("OK"),
                std::nullopt,
                std::nullopt,
                {},
                nullptr};
    if (status == InstallationStatus::valid) {
        sheet.title = localized("This installation has changed since it was listed");
        sheet.message = formatMessage(
            localized("Another folder now stands at %@. Drop the items onto its row again to update it."),
            {path});
    }
    tell(std::move(sheet));
}

void UpdateCoordinator::updateRunProgressed(const std::string& status, const std::string& file, double value,
                                            double maxValue) {
    _valueReached = std::max(_valueReached, value);
    _view.showProgress(status, file, value, maxValue);
}

void UpdateCoordinator::updateRunEnded(const UpdateReport& report) {
    _job = Job::none;
    _lock.release();
    _view.setCancelEnabled(false);
    if (_quitAsked) {
        _view.closeSheet(); // there is nothing left to stop
    }
    if (std::exchange(_closeWhenDone, false)) {
        _view.closeWindow();
        return;
    }
    // What the window says while the report is open: a full bar at the end, where it stopped after Cancel.
    const double maximum = _run->progressMaxValue();
    if (report.cancelled) {
        _view.showProgress(report.title, "", _valueReached, maximum);
    } else {
        _view.showProgress(localized("Installing:"), localized("Complete"), maximum, maximum);
    }
    // A cancelled or incomplete run that changed the installation can be put back at once; a complete run
    // that backed something up shows where the old items went.
    const UpdateRun* run = _run.get();
    const bool changed = run->numFilesInstalled() + run->numFilesReplaced() > 0;
    const bool backedUp = run->record().backupFolder() && run->record().replacedCount() > 0;
    std::optional<std::string> furtherAction;
    const bool incomplete = (report.cancelled || run->numFilesFailed() > 0) && !run->takenBack();
    if (incomplete && changed) {
        furtherAction = localized("Put Back");
    } else if (!report.cancelled && backedUp) {
        furtherAction = localized("Show Backup Folder");
    }
    tell(Sheet{report.title, report.message, localized("OK"), std::nullopt, furtherAction, report.details,
               [this, run, incomplete](SheetAnswer answer) {
                   if (answer != SheetAnswer::furtherAction || run != _run.get()) {
                       return;
                   }
                   if (incomplete) {
                       putBack(run);
                   } else if (run->record().backupFolder()) {
                       _desktop.openFolder(*run->record().backupFolder());
                   }
               }});
}

void UpdateCoordinator::putBack(const UpdateRun* run) {
    if (busy() || run != _run.get() || !lockInstallation(run->record().installation())) {
        return;
    }
    _job = Job::undo;
    _run->putBack(_undo, [this](const UpdateReport& report) { undone(report); });
}

void UpdateCoordinator::undoLatest(const std::string& installation) {
    if (busy() || !_services.recordStore) {
        return;
    }
    // The records are read on the undo's thread; nothing else starts meanwhile.
    _job = Job::undo;
    _undo.findLatest(installation, [this, installation](std::optional<UpdateRecordStore::Kept> kept) {
        _job = Job::none;
        if (std::exchange(_closeWhenDone, false)) {
            _view.closeWindow();
            return;
        }
        offerUndo(installation, std::move(kept));
    });
}

void UpdateCoordinator::offerUndo(const std::string& installation,
                                  std::optional<UpdateRecordStore::Kept> kept) {
    if (!kept) {
        inform(localized("There is no update to undo"),
               formatMessage(localized("No update of %@ is left to undo."), {installation}));
        return;
    }
    if (!kept->record) {
        inform(localized("The update cannot be undone"),
               formatMessage(localized("The record of the latest update of %@ is damaged."), {installation}));
        return;
    }
    const UpdateRecord& record = *kept->record;
    Sheet sheet = UndoQuestion::sheet(
        {UpdateHistory::Entry{UpdateRecordStore::idOf(kept->file), record.date(), record.addOnNames(),
                              record.filesAdded(), record.replacedCount(), 0, false, true}},
        _services.localizer);
    sheet.answered = [this, kept = std::move(*kept)](SheetAnswer answer) {
        if (answer != SheetAnswer::ok || busy() || !lockInstallation(kept.record->installation())) {
            return;
        }
        _job = Job::undo;
        _undo.start(*kept.record, kept.file, [this](const UpdateReport& report) { undone(report); });
    };
    ask(std::move(sheet));
}

void UpdateCoordinator::undone(const UpdateReport& report) {
    _job = Job::none;
    _lock.release();
    if (std::exchange(_closeWhenDone, false)) {
        _view.closeWindow();
        return;
    }
    tell(Sheet{report.title, report.message, localized("OK"), std::nullopt, std::nullopt, report.details,
               nullptr});
}

bool UpdateCoordinator::beginHistoryJob(const std::string& installation,
                                        const std::function<void(Sheet)>& tell) {
    if (busy() || !lockInstallation(installation, tell)) {
        return false;
    }
    _job = Job::history;
    return true;
}

void UpdateCoordinator::endHistoryJob() {
    if (_job == Job::history) {
        _job = Job::none;
        _lock.release();
        if (std::exchange(_closeWhenDone, false)) {
            _view.closeWindow();
        }
    }
}

bool UpdateCoordinator::lockInstallation(const std::string& installation,
                                         const std::function<void(Sheet)>& tell) {
    _lock = InstallationLock(installation);
    if (_lock.state() != InstallationLock::State::heldElsewhere) {
        return true; // held, or a file system without locks: nothing to wait for
    }
    // Told where the attempt was made: the history window's own jobs there.
    tell(informing(localized("Another update of this installation is running."),
                   formatMessage(localized("%@ is being updated or undone in another window or by a command. "
                                           "Try again when it has finished."),
                                 {installation})));
    return false;
}

void UpdateCoordinator::inform(std::string title, std::string message) {
    tell(informing(std::move(title), std::move(message)));
}

Sheet UpdateCoordinator::informing(std::string title, std::string message) const {
    return Sheet{std::move(title), std::move(message), localized("OK"), std::nullopt, std::nullopt, {},
                 nullptr};
}

void UpdateCoordinator::cancel() {
    if (_job == Job::planning) { // nothing was written: the plan is dropped
        _run.reset();
        _job = Job::none;
        _view.setCancelEnabled(false);
        return;
    }
    if (updating() && _run->inProgress()) {
        _run->cancel();
        _view.setCancelEnabled(false);
    }
}

bool UpdateCoordinator::mayClose() {
    if (_job == Job::planning) {
        cancel();
        return true;
    }
    if (_job == Job::undo || _job == Job::history || (updating() && _run->cancelled())) {
        // Being undone or cancelled already: the window closes when that is done.
        _closeWhenDone = true;
        return false;
    }
    if (!updating()) {
        return true;
    }
    if (_closeWhenDone || _quitAsked) { // asked already
        return false;
    }
    _quitAsked = true;
    tell(Sheet{localized("An update is running. Stop it and quit?"),
               localized("What it has installed so far stays, with its backups."),
               localized("Stop and Quit"),
               localized("Continue"),
               std::nullopt,
               {},
               [this](SheetAnswer answer) {
                   _quitAsked = false;
                   if (answer != SheetAnswer::ok) {
                       return;
                   }
                   if (updating()) {
                       _closeWhenDone = true;
                       cancel();
                   } else {
                       _view.closeWindow();
                   }
               }});
    return false;
}

} // namespace quorvane

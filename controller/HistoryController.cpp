#include "controller/HistoryController.h"

#include "controller/UndoQuestion.h"
#include "controller/UpdateCoordinator.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"

#include <QLocale>

namespace quorvane {
namespace {

std::vector<UpdateHistory::Entry> entriesAt(const UpdateHistory& history,
                                            const std::vector<std::size_t>& rows) {
    std::vector<UpdateHistory::Entry> entries;
    for (const std::size_t row : rows) {
        entries.push_back(history.entries()[row]);
    }
    return entries;
}

std::vector<std::string> idsOf(const std::vector<UpdateHistory::Entry>& entries) {
    std::vector<std::string> ids;
    for (const UpdateHistory::Entry& entry : entries) {
        ids.push_back(entry.id);
    }
    return ids;
}

std::string sizeText(std::uint64_t bytes) {
    return QLocale().formattedDataSize(static_cast<qint64>(bytes)).toStdString();
}

} // namespace

HistoryController::HistoryController(const UpdateServices& services, UpdateCoordinator& coordinator,
                                     HistoryView* view)
    : _services(services), _coordinator(coordinator), _view(view), _model(services.localizer) {
    if (_services.recordStore) {
        _job.emplace(_services.fileManager, *_services.recordStore);
    }
}

std::string HistoryController::localized(const char* key) const {
    return _services.localizer.text(key);
}

void HistoryController::open(const std::string& installation) {
    if (!_job || !_view || working()) {
        return;
    }
    _installation = installation;
    run(
        [](UpdateHistory& history) {
            Outcome outcome;
            outcome.entries = history.entries();
            return outcome;
        },
        [this](const Outcome&) { _view->showHistory(_installation, _model, *this); });
}

void HistoryController::run(Work work, std::function<void(const Outcome&)> done) {
    ++_tasks;
    _job->start<Outcome>(_installation, std::move(work), [this, done = std::move(done)](Outcome outcome) {
        --_tasks;
        _model.setEntries(outcome.entries);
        done(outcome);
    });
}

bool HistoryController::historyActionEnabled(HistoryAction action, int row) {
    const auto& entries = _model.entries();
    if (working() || _coordinator.busy() || entries.empty()) {
        return false;
    }
    switch (action) {
    case HistoryAction::undoUpdate:
        return row >= 0 && static_cast<std::size_t>(row) < entries.size() &&
               entries[static_cast<std::size_t>(row)].undoable;
    case HistoryAction::restoreAll:
        return entries.front().undoable;
    case HistoryAction::removeOldBackups:
        // The backups older than the selected update; with none selected, all but the newest.
        return static_cast<std::size_t>(std::max(row, 0)) + 1 < entries.size();
    }
    return false;
}

void HistoryController::takeHistoryAction(HistoryAction action, int row) {
    if (!historyActionEnabled(action, row)) {
        return;
    }
    switch (action) {
    case HistoryAction::undoUpdate:
        askUndo(Scope::oneUpdate, _model.entries()[static_cast<std::size_t>(row)].id);
        break;
    case HistoryAction::restoreAll:
        askUndo(Scope::allUpdates, {});
        break;
    case HistoryAction::removeOldBackups:
        askRemoval(static_cast<std::size_t>(std::max(row, 0)) + 1);
        break;
    }
}

void HistoryController::askUndo(Scope scope, const std::string& id) {
    // The plan for the history as it is now, and again once confirmed: the undo runs only if it is the same.
    const auto planned = [scope, id](UpdateHistory& history, Outcome& outcome) {
        const auto index = history.indexOf(id);
        const UpdateHistory::Plan plan = scope == Scope::allUpdates ? history.restorePlan()
                                         : index                    ? history.undoPlan(*index)
                                                                    : UpdateHistory::Plan{};
        outcome.entries = history.entries();
        outcome.plan = entriesAt(history, plan.updates);
        outcome.blocked = entriesAt(history, plan.blocked);
        return plan;
    };
    run(
        [planned](UpdateHistory& history) {
            Outcome outcome;
            planned(history, outcome);
            return outcome;
        },
        [this, scope, planned](const Outcome& asked) {
            if (asked.plan.empty()) {
                return;
            }
            if (!asked.blocked.empty()) {
                std::string names;
                for (const UpdateHistory::Entry& entry : asked.blocked) {
                    names += formatMessage(
                        "\n%@ (%@)", {UndoQuestion::addOnsText(entry), UndoQuestion::dateText(entry.date)});
                }
                tell(localized("This update cannot be undone"),
                     localized("These updates changed the same files and can no longer be undone: their "
                               "backups were removed or their records are damaged.") +
                         "\n" + names);
                return;
            }
            Sheet sheet = scope == Scope::allUpdates
                              ? UndoQuestion::restoreSheet(_installation, asked.plan,
                                                           asked.entries.size() - asked.plan.size(),
                                                           _services.localizer)
                              : UndoQuestion::sheet(asked.plan, _services.localizer);
            sheet.answered = [this, planned, ids = idsOf(asked.plan)](SheetAnswer answer) {
                if (answer != SheetAnswer::ok) {
                    return;
                }
                runHeld(
                    [this, planned, ids](UpdateHistory& history) {
                        Outcome outcome;
                        const UpdateHistory::Plan plan = planned(history, outcome);
                        outcome.changed = idsOf(outcome.plan) != ids;
                        if (!outcome.changed) {
                            outcome.report = UpdateUndo::report(history.undo(plan, _services.localizer),
                                                                _services.localizer);
                            outcome.entries = history.entries();
                        }
                        return outcome;
                    },
                    [this](const Outcome& done) {
                        if (done.report) {
                            tell(done.report->title, done.report->message, done.report->details);
                        }
                    });
            };
            _view->openSheet(std::move(sheet));
        });
}

void HistoryController::askRemoval(std::size_t keep) {
    run(
        [keep](UpdateHistory& history) {
            Outcome outcome;
            outcome.entries = history.entries();
            outcome.removal = history.backupsBeyond(keep);
            return outcome;
        },
        [this, keep](const Outcome& asked) {
            if (asked.removal.updates == 0) {
                tell(localized("There are no old backups to remove"),
                     localized("The updates older than the one chosen can no longer be undone already."));
                return;
            }
            const std::string message =
                _services.localizer.message(
                    "The backups of the %d oldest updates are removed and those updates can no longer be "
                    "undone.",
                    {static_cast<std::int32_t>(asked.removal.updates)}) +
                "\n" + formatMessage(localized("%@ will be freed."), {sizeText(asked.removal.freedBytes)});
            _view->openSheet(Sheet{localized("Remove old backups?"),
                                   message,
                                   localized("Remove Backups"),
                                   localized("Cancel"),
                                   std::nullopt,
                                   {},
                                   [this, keep](SheetAnswer answer) {
                                       if (answer == SheetAnswer::ok) {
                                           askedRemoval(keep);
                                       }
                                   }});
        });
}

void HistoryController::askedRemoval(std::size_t keep) {
    runHeld(
        [keep](UpdateHistory& history) {
            Outcome outcome;
            outcome.removal = history.removeBackups(keep);
            outcome.entries = history.entries();
            return outcome;
        },
        [this](const Outcome& done) {
            std::string details;
            for (const std::string& left : done.removal.notRemoved) {
                details += formatMessage(localized("%@ could not be removed."), {left}) + "\n";
            }
            tell(details.empty() ? localized("Old backups removed") : localized("Old backups partly removed"),
                 _services.localizer.message("%d updates can no longer be undone.",
                                             {static_cast<std::int32_t>(done.removal.updates)}) +
                     "\n" + formatMessage(localized("%@ freed."), {sizeText(done.removal.freedBytes)}),
                 details);
        });
}

void HistoryController::runHeld(Work work, std::function<void(const Outcome&)> done) {
    if (!_coordinator.beginHistoryJob(_installation,
                                      [this](Sheet sheet) { _view->openSheet(std::move(sheet)); })) {
        return;
    }
    run(std::move(work), [this, done = std::move(done)](const Outcome& outcome) {
        _coordinator.endHistoryJob();
        if (outcome.changed) {
            tell(localized("The history has changed"),
                 formatMessage(localized("%@ was updated or undone meanwhile. Look at its history again."),
                               {_installation}));
            return;
        }
        done(outcome);
    });
}

void HistoryController::tell(const std::string& title, const std::string& message,
                             const std::string& details) {
    _view->openSheet(Sheet{title, message, localized("OK"), std::nullopt, std::nullopt, details, nullptr});
}

} // namespace quorvane

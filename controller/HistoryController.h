#pragma once

#include "controller/HistoryModel.h"
#include "engine/HistoryJob.h"
#include "engine/UpdateReport.h"
#include "engine/UpdateServices.h"
#include "platform/HistoryView.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class UpdateCoordinator;

// The history window's controller (File ▸ Update History…): it shows an installation's updates, undoes
// one of them (with the later ones in its way, once asked), restores the installation to before all of
// them, and removes old backups. Records are read and files moved by its job, off the window's thread;
// an undo or removal holds the installation through the coordinator, so that nothing else runs meanwhile.
class HistoryController : public HistoryActions {
public:
    HistoryController(const UpdateServices& services, UpdateCoordinator& coordinator, HistoryView* view);

    // Reads the installation's history and shows it; nothing without a record store or a view.
    void open(const std::string& installation);
    HistoryModel& model() { return _model; }
    // A task of the job is under way.
    bool working() const { return _tasks > 0; }

    bool historyActionEnabled(HistoryAction action, int row) override;
    void takeHistoryAction(HistoryAction action, int row) override;

private:
    // What a task of the job hands back: the history as it then was, and what the task found or did.
    struct Outcome {
        std::vector<UpdateHistory::Entry> entries;
        std::vector<UpdateHistory::Entry> plan;    // the updates an undo takes back, newest first
        std::vector<UpdateHistory::Entry> blocked; // those of them that can no longer be undone
        UpdateHistory::Removal removal;
        std::optional<UpdateReport> report;
        // The history no longer calls for the undo that was asked: another window or command changed it.
        bool changed = false;
    };
    using Work = std::function<Outcome(UpdateHistory&)>;

    void run(Work work, std::function<void(const Outcome&)> done);
    // Which updates an undo takes back: the one with the id and those in its way, or all of them.
    enum class Scope { oneUpdate, allUpdates };
    void askUndo(Scope scope, const std::string& id);
    void askRemoval(std::size_t keep);
    void askedRemoval(std::size_t keep);
    // Starts the confirmed work under the installation's lock and tells its report.
    void runHeld(Work work, std::function<void(const Outcome&)> done);
    void tell(const std::string& title, const std::string& message, const std::string& details = {});
    std::string localized(const char* key) const;

    const UpdateServices& _services;
    UpdateCoordinator& _coordinator;
    HistoryView* _view;
    HistoryModel _model;
    std::string _installation;
    int _tasks = 0;
    // Declared last: destroyed first, waiting for its task.
    std::optional<HistoryJob> _job;
};

} // namespace quorvane

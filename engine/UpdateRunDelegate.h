#pragma once

#include "engine/UpdatePlan.h"
#include "engine/UpdateReport.h"

#include <string>

namespace quorvane {

// Whoever shows an update run: the run tells it what it is doing and how it ended, and never reaches a
// window itself. A run calls its delegate from inside its own operations; the delegate must not destroy
// the run during such a call.
class UpdateRunDelegate {
public:
    virtual ~UpdateRunDelegate() = default;

    // status: the activity word ("Installing:", "Unzipping:"); file: the item it concerns; value and
    // maxValue: the run's progress figures, unclamped.
    virtual void updateRunProgressed(const std::string& status, const std::string& file, double value,
                                     double maxValue) = 0;
    // The plan asked for by UpdateRun::makePlan is made (or was given up: not complete); nothing is
    // written yet.
    virtual void updateRunPlanned(const UpdatePlan& /*plan*/) {}
    // The run is over: nothing of it runs any more, its temporary folders are gone. Called once.
    virtual void updateRunEnded(const UpdateReport& report) = 0;
};

} // namespace quorvane

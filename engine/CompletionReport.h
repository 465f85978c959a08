#pragma once

#include "engine/UpdateReport.h"
#include "engine/UpdateServices.h"

namespace quorvane {

class UpdateRun;

// Words the report of an update run that has ended: its title, the counts and, for each item that was
// not installed, a line with the reason.
class CompletionReport {
public:
    // The lines of the details go to the log as well.
    static UpdateReport compose(const UpdateRun& run, const UpdateServices& services);

private:
    // One line per item not installed, at most kMaxDetailLines of them and then how many more.
    static std::string failureDetails(const UpdateRun& run, const UpdateServices& services);
    // The installation's top folders as the report names them: sorted, joined, hidden ones left out.
    static std::string topFolderNames(const UpdateRun& run, const UpdateServices& services);
};

} // namespace quorvane

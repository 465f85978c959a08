#pragma once

#include "engine/UpdateReport.h"
#include "engine/UpdateServices.h"
#include "engine/WalkGuard.h"
#include "platform/FileManager.h"

#include <optional>
#include <string>

namespace quorvane {

class UpdateRun;

// Words the report of an update run that has ended: its title, the counts and, for each item that was
// not installed, a line with the reason; and the reasons themselves, as the run notes them.
class CompletionReport {
public:
    // The lines of the details go to the log as well.
    static UpdateReport compose(const UpdateRun& run, const UpdateServices& services);
    // Why a dropped item must not be installed: it is the installation, holds it, or lies in its backups.
    static std::optional<std::string> refusalText(WalkGuard::Refusal refusal, const UpdateServices& services);
    // Why an entry was not installed: a link or special file is never installed; else the system's error.
    static std::string notInstalledReason(FileManager::EntryKind kind, int error,
                                          const UpdateServices& services);

private:
    // One line per item not installed, at most kMaxDetailLines of them and then how many more.
    static std::string failureDetails(const UpdateRun& run, const UpdateServices& services);
    // The installation's top folders as the report names them: sorted, joined, hidden ones left out.
    static std::string topFolderNames(const UpdateRun& run, const UpdateServices& services);
};

} // namespace quorvane

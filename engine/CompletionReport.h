#pragma once

#include "engine/RunFigures.h"
#include "engine/UpdateReport.h"
#include "engine/UpdateServices.h"
#include "engine/WalkGuard.h"
#include "platform/FileManager.h"

#include <optional>
#include <string>

namespace quorvane {

// Words the report of an update run that has ended: its title, the counts and, for each item that was
// not installed, a line with the reason; and the reasons themselves, as the run notes them.
namespace CompletionReport {

// The lines of the details go to the log as well.
UpdateReport compose(const RunFigures& run, const std::string& installation, const UpdateServices& services);
// Why a dropped item must not be installed: it is the installation, holds it, or lies in its backups.
std::optional<std::string> refusalText(WalkGuard::Refusal refusal, const UpdateServices& services);
// Why nothing may be put at the path in the installation, relative to it: the backups ("BackupFiles")
// and names of the program's temporary copies are its own. None: the path is free for an add-on.
std::optional<std::string> reservedNameText(const std::string& relativePath, const UpdateServices& services);
// Why an entry was not installed: a link or special file is never installed; else the system's error.
std::string notInstalledReason(FileManager::EntryKind kind, int error, const UpdateServices& services);

} // namespace CompletionReport

} // namespace quorvane

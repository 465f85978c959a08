#pragma once

#include <cstddef>
#include <string>

namespace quorvane {

struct PlatformServices;

// The command line's view of an installation's updates: --history lists them, --undo INSTALLATION ID
// undoes one (refused, with the later updates in its way named, when there are any), --remove-backups
// removes old backups. Each returns the exit status; the caller holds the installation's lock for the
// last two.
class CommandLineHistory {
public:
    CommandLineHistory(PlatformServices& services, std::string installation)
        : _services(services), _installation(std::move(installation)) {}

    // One update per line, newest first, tab-separated: its id, date (ISO 8601), add-on names, files
    // added, files replaced, backup bytes, and "yes" or "no" for whether it can be undone.
    int list();
    int undo(const std::string& id);
    // Keeps the backups of the newest keep updates.
    int removeBackups(std::size_t keep);

private:
    // Writes "program: message" to standard error and answers the exit status for bad arguments.
    static int refuse(const std::string& message);

    PlatformServices& _services;
    std::string _installation;
};

} // namespace quorvane

#pragma once

#include "app/UpdaterConfiguration.h"

#include <string>
#include <vector>

namespace quorvane {

class FileManager;
class InstallationCheck;
class Localizer;

// The program's command line. Without options it opens the window, and the file paths it was given
// (a file manager's "Open With") wait there for an installation. With options it works without a
// window or a display:
//   --install INSTALLATION ITEM...   the update a confirmed drop runs
//   --dry-run INSTALLATION ITEM...   the plan of that update, nothing changed
//   --undo INSTALLATION [ID]         the latest update of the installation, or the one named, taken back
//   --history INSTALLATION           the installation's updates, newest first
//   --remove-backups INSTALLATION --keep N   the backups of all but the newest N updates removed
//   --list                           the saved installations with their status lines
//   --help, --version
class CommandLine {
public:
    // The exit statuses of the command line.
    static constexpr int kComplete = 0;
    static constexpr int kIncomplete = 1;
    static constexpr int kBadArguments = 2;

    // Whether the arguments ask for the window: none of them is an option.
    static bool selectsWindow(int argc, char** argv);
    // The arguments that are no options, in order, as absolute paths: byte for byte as given, made
    // absolute against the working directory; the number after --keep is none. After "--" every argument
    // is a path.
    static std::vector<std::string> pathArguments(int argc, char** argv);

    // Does what the options ask, without a window; a QCoreApplication with the program's name and
    // version exists. Returns the exit status.
    static int run(int argc, char** argv, const UpdaterConfiguration& configuration);

private:
    static int list(const UpdaterConfiguration& configuration);
    // Whether --install carries the update out or only shows its plan.
    enum class InstallMode { apply, dryRun };
    static int install(const UpdaterConfiguration& configuration, const std::vector<std::string>& paths,
                       InstallMode mode);
    static int undo(const UpdaterConfiguration& configuration, const std::string& installation);
    enum class HistoryCommand { list, undo, removeBackups };
    // --history, --undo with an id (argument) and --remove-backups (argument: the number kept).
    static int history(const UpdaterConfiguration& configuration, const std::string& installation,
                       HistoryCommand command, const std::string& argument);
};

} // namespace quorvane

#include "app/CommandLine.h"

#include "app/CommandLineHistory.h"
#include "app/CommandLineUpdate.h"
#include "app/ConsoleText.h"
#include "app/PlatformServices.h"
#include "app/QtOptions.h"
#include "app/StopSignals.h"
#include "engine/UndoJob.h"
#include "platform/InstallationLock.h"
#include "platform/MessageFormat.h"
#include "platform/QuotedName.h"
#include "platform/SystemError.h"
#include "registry/InstallationCheck.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

bool isOption(const char* argument) {
    return argument[0] == '-' && argument[1] != '\0';
}

// The path as an absolute one: against the working directory when relative, without empty and "."
// components or a trailing slash. ".." stays: a link may lead elsewhere.
std::string absolutePath(const std::string& argument) {
    std::string joined = argument;
    if (joined.empty() || joined[0] != '/') {
        std::string folder(4096, '\0');
        while (::getcwd(folder.data(), folder.size()) == nullptr && errno == ERANGE) {
            folder.resize(folder.size() * 2);
        }
        folder.resize(std::strlen(folder.c_str()));
        if (!folder.empty()) {
            joined = folder + "/" + joined;
        }
    }
    std::string cleaned;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string component = joined.substr(start, end - start);
        if (!component.empty() && component != ".") {
            cleaned += "/" + component;
        }
        start = end + 1;
    }
    if (joined[0] != '/') {
        return cleaned.empty() ? std::string(".") : cleaned.substr(1);
    }
    return cleaned.empty() ? std::string("/") : cleaned;
}

std::string localized(const std::string& key) {
    return Localizer().text(key);
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

void printError(const std::string& message) {
    writeConsoleText(stderr,
                     formatMessage("%@: %@\n", {QCoreApplication::applicationName().toStdString(), message}));
}

// The status line of a folder as the window shows it for an installation; for a valid one, a word that
// says so.
std::string statusText(const InstallationCheck& check, const FileManager& fileManager,
                       const Localizer& localizer, const std::string& path, InstallationStatus status) {
    if (status == InstallationStatus::valid) {
        return localizer.text("Valid");
    }
    if (status == InstallationStatus::notFound && fileManager.exists(path)) {
        return formatMessage(localizer.text("Not a %@ installation."), {"Quorvane"});
    }
    return check.statusText(status);
}

// Whether another update or undo of the installation holds its lock; it is then said on standard error.
bool heldElsewhere(const InstallationLock& lock, const std::string& installation) {
    if (lock.state() != InstallationLock::State::heldElsewhere) {
        return false;
    }
    printError(formatMessage(
        "%@: %@", {quotedName(installation), localized("Another update of this installation is running.")}));
    return true;
}

// The arguments after the program's path, without Qt's own options (those before a "--").
std::vector<const char*> ownArguments(int argc, char** argv) {
    std::vector<const char*> own;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            own.insert(own.end(), argv + i, argv + argc);
            break;
        }
        const int taken = qtoptions::argumentsTaken(argc, argv, i);
        if (taken == 0) {
            own.push_back(argv[i]);
        }
        i += std::max(taken - 1, 0);
    }
    return own;
}

// The parser's help, its usage line naming the program rather than the path it was started by.
std::string helpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    const QString startedAs = "Usage: " + QCoreApplication::arguments().value(0);
    if (text.startsWith(startedAs)) {
        text.replace(0, startedAs.size(), "Usage: " + QCoreApplication::applicationName());
    }
    return text.toStdString();
}

} // namespace

bool CommandLine::selectsWindow(int argc, char** argv) {
    for (const char* argument : ownArguments(argc, argv)) {
        if (std::strcmp(argument, "--") == 0) {
            return true;
        }
        if (isOption(argument)) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> CommandLine::pathArguments(int argc, char** argv) {
    std::vector<std::string> paths;
    bool optionsEnded = false;
    bool optionValue = false; // the argument is the value of the option before it ("--keep N")
    for (const char* argument : ownArguments(argc, argv)) {
        if (!optionsEnded && std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
        } else if (optionsEnded || (!isOption(argument) && !optionValue)) {
            paths.push_back(absolutePath(argument));
        }
        optionValue = !optionsEnded && std::strcmp(argument, "--keep") == 0;
    }
    return paths;
}

int CommandLine::run(int argc, char** argv, const UpdaterConfiguration& configuration) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        qs(localized("Installs add-on files, folders and .zip archives into Quorvane installations, with "
                     "backups. Without options it opens its window.")));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption installOption(
        "install", qs(localized("Install the items into the installation without a window, then exit: "
                                "0 when everything was installed, 1 when something was not, 2 for bad "
                                "arguments or an invalid installation.")));
    const QCommandLineOption listOption("list",
                                        qs(localized("List the saved installations with their status.")));
    const QCommandLineOption undoOption(
        "undo",
        qs(localized("Undo the latest update of the installation, then exit, with the exit statuses of "
                     "--install.")));
    const QCommandLineOption historyOption(
        "history", qs(localized("List the updates of the installation, newest first, one per line: id, date, "
                                "add-ons, files added, files replaced, backup bytes, and whether it can be "
                                "undone.")));
    const QCommandLineOption removeBackupsOption(
        "remove-backups", qs(localized("Remove the backups of the installation's updates but the newest N "
                                       "(--keep N); those updates can no longer be undone.")));
    const QCommandLineOption keepOption("keep",
                                        qs(localized("With --remove-backups: the updates whose "
                                                     "backups are kept.")),
                                        "N");
    const QCommandLineOption dryRunOption(
        "dry-run", qs(localized("With the arguments of --install: show what the update would add, replace "
                                "and leave out, and change nothing; exit 0 when it would install "
                                "everything, 1 when not, 2 for bad arguments.")));
    parser.addOption(installOption);
    parser.addOption(dryRunOption);
    parser.addOption(listOption);
    parser.addOption(undoOption);
    parser.addOption(historyOption);
    parser.addOption(removeBackupsOption);
    parser.addOption(keepOption);
    parser.addPositionalArgument("installation",
                                 qs(localized("With --install or --undo: the installation to update.")),
                                 "[INSTALLATION]");
    parser.addPositionalArgument("items", qs(localized("The files, folders and .zip archives to install.")),
                                 "[ITEM...]");

    const auto usageError = [&](const std::string& message) {
        printError(message);
        writeConsoleText(stderr, helpText(parser));
        return kBadArguments;
    };
    // Qt's own options are the window's: passed over here, as the window would take them.
    QStringList arguments{QCoreApplication::applicationName()};
    for (const char* argument : ownArguments(argc, argv)) {
        arguments.append(QString::fromLocal8Bit(argument));
    }
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText().toStdString());
    }
    if (parser.isSet(helpOption) || parser.isSet("help-all")) {
        writeConsoleText(stdout, helpText(parser) + (parser.isSet("help-all") ? qtoptions::helpText() : ""));
        return kComplete;
    }
    if (parser.isSet(versionOption)) {
        writeConsoleText(stdout,
                         formatMessage("%@ %@\n", {QCoreApplication::applicationName().toStdString(),
                                                   QCoreApplication::applicationVersion().toStdString()}));
        return kComplete;
    }
    // The paths as the arguments' bytes: a name that is not valid UTF-8 stays as it is.
    const std::vector<std::string> paths = pathArguments(argc, argv);
    const int chosen = parser.isSet(installOption) + parser.isSet(listOption) + parser.isSet(undoOption) +
                       parser.isSet(historyOption) + parser.isSet(removeBackupsOption) +
                       parser.isSet(dryRunOption);
    if (parser.isSet(keepOption) != (chosen == 1 && parser.isSet(removeBackupsOption))) {
        return usageError(localized("--remove-backups needs --keep N, and --keep goes with it alone."));
    }
    if (chosen == 1 && (parser.isSet(installOption) || parser.isSet(dryRunOption))) {
        if (paths.size() < 2) {
            return usageError(localized("--install needs an installation and at least one item."));
        }
        return install(configuration, paths,
                       parser.isSet(dryRunOption) ? InstallMode::dryRun : InstallMode::apply);
    }
    if (chosen == 1 && parser.isSet(undoOption)) {
        if (paths.empty() || paths.size() > 2) {
            return usageError(localized("--undo needs one installation, and may name one of its updates."));
        }
        // An update's id is a name, never made a path.
        return paths.size() == 1 ? undo(configuration, paths.front())
                                 : history(configuration, paths.front(), HistoryCommand::undo,
                                           parser.positionalArguments().value(1).toStdString());
    }
    if (chosen == 1 && (parser.isSet(historyOption) || parser.isSet(removeBackupsOption))) {
        bool number = false;
        const QString keep = parser.value(keepOption);
        if (paths.size() != 1 || (parser.isSet(keepOption) && (keep.toUInt(&number), !number))) {
            return usageError(localized("--history and --remove-backups need one installation, and --keep a "
                                        "number."));
        }
        return history(configuration, paths.front(),
                       parser.isSet(historyOption) ? HistoryCommand::list : HistoryCommand::removeBackups,
                       keep.toStdString());
    }
    if (chosen == 1 && parser.isSet(listOption)) {
        if (!paths.empty()) {
            return usageError(localized("--list takes no arguments."));
        }
        return list(configuration);
    }
    return usageError(
        localized("Give --install, --dry-run, --undo, --history, --remove-backups or --list, or no option "
                  "to open the window."));
}

int CommandLine::list(const UpdaterConfiguration& configuration) {
    PlatformServices services(configuration, QCoreApplication::applicationName().toUtf8().constData());
    const InstallationCheck check(services.localizer);
    std::string lines;
    for (const std::string& path :
         services.preferences.stringList("Target_Path_Array").value_or(std::vector<std::string>())) {
        if (!path.empty()) {
            const std::string text =
                statusText(check, services.fileManager, services.localizer, path, check.judge(path));
            lines += formatMessage("%@\t%@\n", {quotedName(path), text});
        }
    }
    writeConsoleText(stdout, lines);
    return kComplete;
}

int CommandLine::install(const UpdaterConfiguration& configuration, const std::vector<std::string>& paths,
                         InstallMode mode) {
    PlatformServices services(configuration, QCoreApplication::applicationName().toUtf8().constData());
    const std::string& installation = paths.front();
    {
        // Judged as a drop judges its installation: only a valid one is updated.
        const InstallationCheck check(services.localizer);
        const InstallationStatus status = check.judge(installation);
        if (status != InstallationStatus::valid) {
            printError(formatMessage(
                "%@: %@", {quotedName(installation), statusText(check, services.fileManager,
                                                                services.localizer, installation, status)}));
            return kBadArguments;
        }
    }
    // An item that is not there is a mistake in the command, not an item that failed to go in.
    for (auto item = paths.begin() + 1; item != paths.end(); ++item) {
        struct stat st {};
        if (::lstat(item->c_str(), &st) != 0) {
            printError(formatMessage("%@: %@", {quotedName(*item), systemErrorText(errno)}));
            return kBadArguments;
        }
    }
    if (mode == InstallMode::dryRun) { // reads only: no lock, no leftovers removed
        CommandLineUpdate plan(services, configuration.jarPath, installation,
                               std::vector<std::string>(paths.begin() + 1, paths.end()));
        return plan.dryRun();
    }
    // One update of an installation at a time, whichever window or command runs it.
    const InstallationLock lock(installation);
    if (heldElsewhere(lock, installation)) {
        return kBadArguments;
    }
    services.cleanUpLeftovers();
    CommandLineUpdate update(services, configuration.jarPath, installation,
                             std::vector<std::string>(paths.begin() + 1, paths.end()));
    // Interrupted, the run stops as Cancel stops it: between two items, its tools killed.
    const StopSignals stopSignals([&update](int signal) { update.stop(signal); });
    return update.exec();
}

int CommandLine::history(const UpdaterConfiguration& configuration, const std::string& installation,
                         HistoryCommand command, const std::string& argument) {
    PlatformServices services(configuration, QCoreApplication::applicationName().toUtf8().constData());
    CommandLineHistory history(services, installation);
    if (command == HistoryCommand::list) {
        return history.list();
    }
    // One undo or removal of an installation at a time, whichever window or command runs it.
    const InstallationLock lock(installation);
    if (heldElsewhere(lock, installation)) {
        return kBadArguments;
    }
    return command == HistoryCommand::undo ? history.undo(argument)
                                           : history.removeBackups(std::stoul(argument));
}

int CommandLine::undo(const UpdaterConfiguration& configuration, const std::string& installation) {
    PlatformServices services(configuration, QCoreApplication::applicationName().toUtf8().constData());
    const InstallationLock lock(installation);
    if (heldElsewhere(lock, installation)) {
        return kBadArguments;
    }
    std::optional<UpdateRecordStore::Kept> kept;
    if (services.recordStore) {
        kept = services.recordStore->latestFor(installation);
    }
    if (!kept) {
        printError(formatMessage(localized("No update of %@ is left to undo."), {quotedName(installation)}));
        return kBadArguments;
    }
    if (!kept->record) {
        printError(formatMessage(localized("The record of the latest update of %@ is damaged."),
                                 {quotedName(installation)}));
        return kBadArguments;
    }
    std::optional<UpdateReport> report;
    {
        UndoJob job(services.fileManager, services.localizer, services.recordStore.get());
        job.start(*kept->record, kept->file, [&report](const UpdateReport& undone) {
            report = undone;
            QCoreApplication::exit(0);
        });
        QCoreApplication::exec();
    }
    writeConsoleText(stdout, formatMessage("%@\n%@\n%@", {report->title, report->message, report->details}));
    return report->details.empty() ? kComplete : kIncomplete;
}

} // namespace quorvane

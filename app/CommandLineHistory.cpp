#include "app/CommandLineHistory.h"

#include "app/CommandLine.h"
#include "app/ConsoleText.h"
#include "app/PlatformServices.h"
#include "engine/UpdateHistory.h"
#include "platform/MessageFormat.h"
#include "platform/QuotedName.h"

#include <QCoreApplication>

namespace quorvane {
namespace {

// The date in local time as ISO 8601 with its offset: "2007-01-02T09:05:03+01:00".
std::string isoDate(std::time_t date) {
    std::tm local{};
    localtime_r(&date, &local);
    char text[40];
    std::string iso(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local));
    return iso.size() > 2 ? iso.insert(iso.size() - 2, ":") : iso;
}

std::string names(const UpdateHistory::Entry& entry) {
    std::string text;
    for (const std::string& name : entry.addOnNames) {
        text += (text.empty() ? "" : ", ") + quotedName(name);
    }
    return text;
}

} // namespace

int CommandLineHistory::refuse(const std::string& message) {
    writeConsoleText(stderr,
                     formatMessage("%@: %@\n", {QCoreApplication::applicationName().toStdString(), message}));
    return CommandLine::kBadArguments;
}

int CommandLineHistory::list() {
    if (!_services.recordStore) {
        return CommandLine::kComplete;
    }
    std::string lines;
    const UpdateHistory history(*_services.recordStore, _services.fileManager, _installation);
    for (const UpdateHistory::Entry& entry : history.entries()) {
        lines += formatMessage("%@\t%@\t%@\t%@\t%@\t%@\t%@\n",
                               {entry.id, isoDate(entry.date), names(entry), std::to_string(entry.filesAdded),
                                std::to_string(entry.filesReplaced), std::to_string(entry.backupBytes),
                                entry.undoable ? "yes" : "no"});
    }
    writeConsoleText(stdout, lines);
    return CommandLine::kComplete;
}

int CommandLineHistory::undo(const std::string& id) {
    if (!_services.recordStore) {
        return refuse(formatMessage(_services.localizer.text("No update of %@ is left to undo."),
                                    {quotedName(_installation)}));
    }
    UpdateHistory history(*_services.recordStore, _services.fileManager, _installation);
    const auto index = history.indexOf(id);
    if (!index) {
        return refuse(formatMessage(_services.localizer.text("%@ has no update %@."),
                                    {quotedName(_installation), quotedName(id)}));
    }
    const UpdateHistory::Plan plan = history.undoPlan(*index);
    if (!plan.blocked.empty() || plan.updates.size() > 1) {
        // Later updates are never undone unasked: they are named, newest first.
        std::string inTheWay;
        for (const std::size_t later : plan.updates) {
            if (later != *index) {
                inTheWay +=
                    formatMessage("\n%@\t%@", {history.entries()[later].id, names(history.entries()[later])});
            }
        }
        return refuse(
            inTheWay.empty() || !history.entries()[*index].undoable
                ? formatMessage(_services.localizer.text("The update %@ can no longer be undone."), {id})
                : _services.localizer.text("Later updates changed the same files; undo them first:") +
                      inTheWay);
    }
    const UpdateReport report =
        UpdateUndo::report(history.undo(plan, _services.localizer), _services.localizer);
    writeConsoleText(stdout, formatMessage("%@\n%@\n%@", {report.title, report.message, report.details}));
    return report.details.empty() ? CommandLine::kComplete : CommandLine::kIncomplete;
}

int CommandLineHistory::removeBackups(std::size_t keep) {
    if (!_services.recordStore) {
        return CommandLine::kComplete;
    }
    UpdateHistory history(*_services.recordStore, _services.fileManager, _installation);
    const UpdateHistory::Removal removal = history.removeBackups(keep);
    std::string text =
        formatMessage("%@\n", {_services.localizer.message("%d updates can no longer be undone.",
                                                           {static_cast<std::int32_t>(removal.updates)})});
    text += formatMessage(_services.localizer.text("%@ bytes freed."), {std::to_string(removal.freedBytes)}) +
            "\n";
    for (const std::string& left : removal.notRemoved) {
        text +=
            formatMessage(_services.localizer.text("%@ could not be removed."), {quotedName(left)}) + "\n";
    }
    writeConsoleText(stdout, text);
    return removal.notRemoved.empty() ? CommandLine::kComplete : CommandLine::kIncomplete;
}

} // namespace quorvane

#include "controller/UndoQuestion.h"

#include "platform/Localizer.h"
#include "platform/MessageFormat.h"

namespace quorvane {

std::string UndoQuestion::dateText(std::time_t date) {
    std::tm local{};
    localtime_r(&date, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string UndoQuestion::addOnsText(const UpdateHistory::Entry& update) {
    std::string names;
    for (const std::string& name : update.addOnNames) {
        names += (names.empty() ? "" : ", ") + name;
    }
    return names.empty() ? dateText(update.date) : names;
}

Sheet UndoQuestion::sheet(const std::vector<UpdateHistory::Entry>& updates, const Localizer& localizer) {
    const UpdateHistory::Entry& asked = updates.back();
    std::string message;
    if (updates.size() > 1) {
        message = localizer.message("%d later updates changed the same files and are undone first:",
                                    {static_cast<std::int32_t>(updates.size() - 1)}) +
                  "\n\n";
    }
    for (const UpdateHistory::Entry& update : updates) {
        message += formatMessage(localizer.text("%@ (%@):"), {addOnsText(update), dateText(update.date)}) +
                   "\n" +
                   localizer.message("%d files added\n%d previous files backed up",
                                     {static_cast<std::int32_t>(update.filesAdded),
                                      static_cast<std::int32_t>(update.filesReplaced)}) +
                   "\n\n";
    }
    message +=
        localizer.text("The files added are removed and the previous files put back from the backup; a "
                       "file changed since is left alone and named.");
    return Sheet{formatMessage(localizer.text("Undo %@?"), {addOnsText(asked)}),
                 message,
                 localizer.text("Undo"),
                 localizer.text("Cancel"),
                 std::nullopt,
                 {},
                 nullptr};
}

} // namespace quorvane

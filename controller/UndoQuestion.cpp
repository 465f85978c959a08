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
    return Sheet{formatMessage(localizer.text("Undo %@?"), {addOnsText(asked)}),
                 message + updateLines(updates, localizer),
                 localizer.text("Undo"),
                 localizer.text("Cancel"),
                 std::nullopt,
                 {},
                 nullptr};
}

Sheet UndoQuestion::restoreSheet(const std::string& installation,
                                 const std::vector<UpdateHistory::Entry>& updates, std::size_t staying,
                                 const Localizer& localizer) {
    std::string message = updateLines(updates, localizer);
    if (staying > 0) {
        message += "\n\n" + localizer.message("%d older updates can no longer be undone and stay.",
                                              {static_cast<std::int32_t>(staying)});
    }
    return Sheet{formatMessage(localizer.text("Restore %@ to before all its updates?"), {installation}),
                 message,
                 localizer.text("Restore"),
                 localizer.text("Cancel"),
                 std::nullopt,
                 {},
                 nullptr};
}

std::string UndoQuestion::updateLines(const std::vector<UpdateHistory::Entry>& updates,
                                      const Localizer& localizer) {
    std::string message;
    for (const UpdateHistory::Entry& update : updates) {
        message += formatMessage(localizer.text("%@ (%@):"), {addOnsText(update), dateText(update.date)}) +
                   "\n" +
                   localizer.message("%d files added\n%d previous files backed up",
                                     {static_cast<std::int32_t>(update.filesAdded),
                                      static_cast<std::int32_t>(update.filesReplaced)}) +
                   "\n\n";
    }
    return message + localizer.text("The files added are removed and the previous files put back from the "
                                    "backup; a file changed since is left alone and named.");
}

} // namespace quorvane

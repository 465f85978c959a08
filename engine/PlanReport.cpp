#include "engine/PlanReport.h"

#include "platform/FreeSpace.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/QuotedName.h"

namespace quorvane {

std::string PlanReport::summary(const UpdatePlan& plan, const Localizer& localizer) {
    const auto count = [](std::int64_t n) { return static_cast<std::int32_t>(n); };
    if (!plan.lineUpFound() && !plan.archiveLinesUp()) {
        return localizer.text("None of the items you selected has a folder that matches this installation.");
    }
    std::string text = localizer.message(
        "%d files will be added — %d of them replace installed files, which are kept in a backup — "
        "and %d are already there.",
        {count(plan.filesAdded()), count(plan.filesReplaced()), count(plan.identicalFiles())});
    if (plan.filesNotInstalled() > 0) {
        text += localizer.message("\n%d files will not be installed.", {count(plan.filesNotInstalled())});
    }
    if (plan.archives() > 0) {
        text += localizer.message("\n%d archives are extracted first; the counts include their files, as "
                                  "their tables of contents list them.",
                                  {count(static_cast<std::int64_t>(plan.archives()))});
    }
    return text;
}

std::string PlanReport::changes(const UpdatePlan& plan, const Localizer& localizer) {
    std::string lines;
    const std::string replaces = localizer.text("It replaces the installed file.");
    const std::string putThere = localizer.text("It replaces the installed file, which %@ put there.");
    for (const UpdatePlan::Entry& entry : plan.entries()) {
        const bool replaced = entry.fate == UpdatePlan::Fate::replace;
        if (!replaced && entry.fate != UpdatePlan::Fate::notInstalled) {
            continue;
        }
        lines +=
            replaced
                ? formatMessage("%@: %@",
                                {quotedName(entry.relativePath),
                                 entry.reason.empty() ? replaces : formatMessage(putThere, {entry.reason})})
                : formatMessage("%@: %@", {quotedName(entry.item), entry.reason});
        lines += "\n";
    }
    return lines;
}

std::optional<std::string> PlanReport::spaceRefusal(const UpdatePlan& plan, const std::string& installation,
                                                    const Localizer& localizer) {
    const auto free = freeSpace(installation);
    if (!free || plan.bytesToWrite() <= *free) {
        return std::nullopt;
    }
    return formatMessage(
        localizer.text("It needs %@ bytes on the disk %@, which has %@ bytes free. Nothing was installed."),
        {std::to_string(plan.bytesToWrite()), diskOf(installation), std::to_string(*free)});
}

} // namespace quorvane

#include "engine/CompletionReport.h"

#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/QuotedName.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <sys/statvfs.h>
#include <utility>

namespace quorvane {
namespace {

// The report names at most this many items that were not installed; the log gets the same lines.
constexpr std::size_t kMaxDetailLines = 200;

// Whether the folder is on a file system mounted read-only.
bool onReadOnlyDisk(const std::string& folder) {
    struct statvfs info {};
    return !folder.empty() && ::statvfs(folder.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}

// One line per item not installed, at most kMaxDetailLines of them and then how many more. On an
// installation whose disk is read-only, that is said once instead of once per item.
std::string failureDetails(const RunFigures& run, const std::string& installation,
                           const UpdateServices& services) {
    const std::string readOnly = systemErrorText(EROFS);
    const bool installationReadOnly = onReadOnlyDisk(installation);
    std::vector<std::string> lines;
    bool readOnlyTold = false;
    for (const auto& notInstalled : run.notInstalled) {
        if (installationReadOnly && notInstalled.reason == readOnly) {
            if (!std::exchange(readOnlyTold, true)) {
                lines.push_back(services.localizer.text("The installation's disk is read-only."));
            }
        } else {
            lines.push_back(formatMessage("%@: %@", {quotedName(notInstalled.item), notInstalled.reason}));
        }
    }
    std::string details;
    const std::size_t shown = std::min(lines.size(), kMaxDetailLines);
    for (std::size_t i = 0; i < shown; ++i) {
        services.log.log(lines[i]);
        details += lines[i] + "\n";
    }
    if (lines.size() > shown) {
        const std::string more =
            services.localizer.message("… and %d more.", {static_cast<std::int32_t>(lines.size() - shown)});
        services.log.log(more);
        details += more + "\n";
    }
    return details;
}

// The installation's top folders as the report names them: sorted, joined, hidden ones left out.
std::string topFolderNames(const std::string& installation, const UpdateServices& services) {
    std::vector<std::string> names;
    if (!installation.empty()) {
        for (const std::string& name :
             services.fileManager.folderContents(installation).value_or(std::vector<std::string>())) {
            bool isDirectory = false;
            if (name[0] != '.' && name != "BackupFiles" &&
                services.fileManager.exists(path::join(installation, name), &isDirectory) && isDirectory) {
                names.push_back(name);
            }
        }
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

} // namespace

UpdateReport CompletionReport::compose(const RunFigures& run, const std::string& installation,
                                       const UpdateServices& services) {
    const auto localized = [&](const std::string& key) { return services.localizer.text(key); };
    const std::string counts =
        services.localizer.message("%d files added\n%d previous files backed up\n%d duplicate files ignored.",
                                   {run.installed, run.replaced, run.duplicates});
    UpdateReport report;
    if (run.cancelled) {
        report.cancelled = true;
        report.title = localized("Update cancelled");
        report.message = counts;
        if (run.failed > 0) {
            report.details = failureDetails(run, installation, services);
            report.message += services.localizer.message("\n%d files could not be installed.", {run.failed});
        }
    } else if (run.failed > 0) {
        report.details = failureDetails(run, installation, services);
        report.title = localized("Application files update incomplete");
        report.message =
            counts + services.localizer.message("\n%d files could not be installed.", {run.failed});
    } else if (!run.lineUpFound) {
        report.title = localized("Nothing was installed");
        report.message = formatMessage(
            localized("None of the items you selected has a folder that matches this installation (%@)."),
            {topFolderNames(installation, services)});
    } else {
        report.title = localized("Application files updated successfully");
        report.message =
            run.installed == 0
                ? formatMessage(localized("Your %@ already appears to contain all the files you selected."),
                                {"Quorvane"})
                : counts;
    }
    return report;
}

std::optional<std::string> CompletionReport::refusalText(WalkGuard::Refusal refusal,
                                                         const UpdateServices& services) {
    switch (refusal) {
    case WalkGuard::Refusal::none:
        return std::nullopt;
    case WalkGuard::Refusal::isInstallation:
        return services.localizer.text("It is the installation itself.");
    case WalkGuard::Refusal::holdsInstallation:
        return services.localizer.text("It holds the installation.");
    case WalkGuard::Refusal::isBackups:
        return services.localizer.text("It is the installation's backup folder.");
    }
    return std::nullopt;
}

std::optional<std::string> CompletionReport::reservedNameText(const std::string& relativePath,
                                                              const UpdateServices& services) {
    if (relativePath == "BackupFiles") {
        return services.localizer.text("It would write into the installation's backup folder.");
    }
    if (path::fileName(relativePath).starts_with(FileManager::temporaryNamePrefix)) {
        return services.localizer.text("Its name is kept for the program's temporary copies.");
    }
    return std::nullopt;
}

std::string CompletionReport::notInstalledReason(FileManager::EntryKind kind, int error,
                                                 const UpdateServices& services) {
    switch (kind) {
    case FileManager::EntryKind::symbolicLink:
        return services.localizer.text("It is a symbolic link.");
    case FileManager::EntryKind::special:
        return services.localizer.text("It is a pipe, socket or device.");
    default:
        return systemErrorText(error);
    }
}

} // namespace quorvane

#include "engine/ArchiveExtraction.h"

#include "engine/DateTimeComponent.h"
#include "engine/ExtractionCheck.h"
#include "engine/ExtractionHost.h"
#include "engine/ExtractionWatch.h"
#include "engine/ZipCentralDirectory.h"
#include "platform/CleanupJournal.h"
#include "platform/Clock.h"
#include "platform/FileHandle.h"
#include "platform/FileManager.h"
#include "platform/FreeSpace.h"
#include "platform/Localizer.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"
#include "platform/SystemError.h"
#include "process/ToolProcess.h"

#include <QProcess>
#include <algorithm>
#include <cerrno>
#include <memory>

namespace quorvane {
namespace {

// Names tried for one second's extraction folders before giving up.
constexpr int kMaxFolderSuffix = 100000;

// Whether the tool ended as it should: started, exited by itself, with status 0.
bool endedWell(const ToolProcess& process) {
    const QProcess* tool = process.process();
    return tool && tool->error() != QProcess::FailedToStart && tool->exitStatus() == QProcess::NormalExit &&
           tool->exitCode() == 0;
}

} // namespace

ArchiveExtraction::ArchiveExtraction(ExtractionHost& host, UpdateServices services)
    : _host(host), _services(std::move(services)) {}

ArchiveExtraction::~ArchiveExtraction() {
    stopAll();
    for (const std::string& folder : _finishedTempFolders) {
        _services.fileManager.removeItem(folder);
    }
}

void ArchiveExtraction::stopAll() {
    _extractionQueue.stopAll();
    if (_tempFolders) {
        setTempFolders(std::vector<std::string>());
    }
}

std::vector<std::string>& ArchiveExtraction::tempFolders() {
    if (!_tempFolders) {
        setTempFolders(std::vector<std::string>());
    }
    return *_tempFolders;
}

void ArchiveExtraction::setTempFolders(std::optional<std::vector<std::string>> tempFolders) {
    if (_tempFolders) {
        for (const std::string& folder : *_tempFolders) {
            _services.fileManager.removeItem(folder);
        }
    }
    _tempFolders = std::move(tempFolders);
}

bool ArchiveExtraction::holdsExtractedItem(const std::string& item) const {
    return std::any_of(_finishedTempFolders.begin(), _finishedTempFolders.end(),
                       [&](const std::string& folder) { return path::isInsideFolder(folder, item); });
}

void ArchiveExtraction::extract(const std::string& path) {
    _startExtraction(path);
    // The archive is one entry of the items on the bar, whatever became of it; what it holds counts once
    // its table of contents is read.
    _host.advanceProgress(1, _localized("Unzipping:"), path::fileName(path));
}

void ArchiveExtraction::_startExtraction(const std::string& path) {
    // Only a file that can be read goes to the tool: a pipe or a device named like an archive would keep
    // the tool, and so the update, waiting for good.
    if (!FileHandle::openForReading(path)) {
        _host.noteFailure(path, systemErrorText(errno), 1);
        return;
    }
    // The central directory says what the archive holds: it sizes the progress bar, tells whether the
    // archive fits on its disk, and each extracted file is checked against it before it is installed.
    const std::uint64_t size = _services.fileManager.fileSize(path, true).value_or(0);
    auto directory = ZipCentralDirectory::readFile(path, size);
    if (!directory) {
        _host.noteFailure(path, _localized("The archive is damaged: its table of contents cannot be read."),
                          1);
        return;
    }
    if (const auto refusal = ExtractionCheck::methodRefusal(*directory, _services.localizer)) {
        _host.noteFailure(path, *refusal, ExtractionCheck::fileCount(*directory));
        return;
    }
    const std::uint64_t needed = directory->totalSize();
    const std::optional<std::uint64_t> free = freeSpace(path::parent(path));
    if (free && needed > *free) {
        _host.noteFailure(
            path,
            formatMessage(_localized("It needs %@ bytes of free space to be extracted, and its disk has %@."),
                          {std::to_string(needed), std::to_string(*free)}),
            ExtractionCheck::fileCount(*directory));
        return;
    }
    const std::optional<std::string> folder = _makeExtractionFolder(path);
    if (!folder) {
        _host.noteFailure(path, systemErrorText(_services.fileManager.lastError()),
                          ExtractionCheck::fileCount(*directory));
        return;
    }
    // Each entry counts twice: as the tool extracts it, and as it is installed.
    const auto listing = std::make_shared<ListingProgress>(ListingProgress{directory->entries().size()});
    _host.growProgressMaximum(2.0 * static_cast<double>(listing->entries));

    // The tool may wait for a free core; its folder counts as pending from now on.
    const auto contents = std::make_shared<const ZipCentralDirectory>(std::move(*directory));
    const auto guard = std::make_shared<OverrunGuard>();
    _extractionQueue.add([this, path, folder = *folder, contents, listing, guard, needed] {
        // An archive that writes more than it declares is stopped at once: no file the tool writes may
        // grow past the largest entry, and the tool is killed once its folder holds more than all of them.
        std::uint64_t largest = 0;
        for (const ZipCentralDirectory::Entry& entry : contents->entries()) {
            largest = std::max(largest, entry.size);
        }
        guard->watch = std::make_unique<ExtractionWatch>(folder, needed, [guard = guard.get()] {
            if (guard->tool && guard->tool->process()) {
                guard->tool->process()->kill();
            }
        });
        guard->tool = ToolProcess::start(
            ToolRequest{_services.jarPath,
                        folder,
                        {"-xvf", path},
                        [this, listing](ToolProcess& process) { _toolListed(process, *listing); },
                        [this, path, folder, contents, listing, guard](ToolProcess& process) {
                            const bool overrun = guard->watch->overrun();
                            *guard = OverrunGuard{}; // the runner goes after this call
                            _toolEnded(process, path, folder, *contents, *listing, overrun);
                        },
                        {0},
                        largest},
            _services.log);
        return guard->tool;
    });
}

void ArchiveExtraction::_toolListed(ToolProcess& process, ListingProgress& progress) {
    const std::string& listing = process.output();
    std::size_t counted = 0;
    std::string lastName;
    std::size_t start = 0;
    while (start <= listing.size()) {
        const std::size_t end = std::min(listing.find('\n', start), listing.size());
        const std::string_view line(listing.data() + start, end - start);
        if (line.find('/') != std::string_view::npos) {
            ++counted;
            lastName = path::fileName(line);
        }
        start = end + 1;
    }
    if (counted > 0) {
        // The listing's wording is the tool's: it may name more lines than the archive has entries.
        const std::size_t advance = std::min(counted, progress.entries - progress.listed);
        progress.listed += advance;
        _host.advanceProgress(advance, _localized("Unzipping:"), lastName);
    }
}

void ArchiveExtraction::_toolEnded(ToolProcess& process, const std::string& archive,
                                   const std::string& folder, const ZipCentralDirectory& directory,
                                   const ListingProgress& progress, bool overrun) {
    const PathInFolder::KeepFoldersOpen keepFolders; // as in the run's first pass
    std::vector<std::string>& pending = tempFolders();
    if (const auto it = std::find(pending.begin(), pending.end(), folder); it != pending.end()) {
        pending.erase(it);
    }
    _extractionQueue.ended(process);
    // An archive is installed whole or not at all: after a failing tool, or with any file missing or
    // unlike its record, nothing of it is.
    std::optional<std::string> failure;
    const bool cancelled = _host.stopRequested(); // what the tool made is not installed, and is no failure
    if (cancelled) {
        // Nothing of it goes in; its folder goes below.
    } else if (overrun) {
        failure = _localized("The archive holds more than its table of contents declares.");
    } else if (!endedWell(process)) {
        failure = _localized("The archive could not be extracted whole.");
    } else if (const auto found = ExtractionCheck::check(_services.fileManager, folder, directory);
               found.problem != ExtractionCheck::Problem::none) {
        const char* text = found.problem == ExtractionCheck::Problem::missing
                               ? "The archive could not be extracted whole: %@ is missing."
                           : found.problem == ExtractionCheck::Problem::damaged
                               ? "The archive is damaged: %@ does not match its recorded size and checksum."
                               : "The archive holds %@, which its table of contents does not list.";
        failure = formatMessage(_localized(text), {found.name});
    }
    if (failure) {
        _host.noteFailure(archive, *failure, ExtractionCheck::fileCount(directory));
    }
    // The folder goes once its contents are installed, but not while an extraction inside it still runs.
    _finishedTempFolders.push_back(folder);
    const bool installing = !failure && !cancelled;
    std::vector<std::string> contents;
    const auto names = installing ? _services.fileManager.folderContents(folder) : std::nullopt;
    for (const std::string& name : names.value_or(std::vector<std::string>())) {
        contents.push_back(path::join(folder, name));
    }
    // The installation of the contents now counts the entries on disk (a folder the archive only implies
    // is one of them), not the table's; what the listing did not name counts as extracted. Shown even
    // when the value stays: the maximum may have changed.
    const std::size_t entries = installing ? _services.fileManager.countSubpaths(folder) : 0;
    _host.growProgressMaximum(static_cast<double>(entries) - static_cast<double>(progress.entries));
    _host.advanceProgress(progress.entries - progress.listed, _localized("Unzipping:"),
                          path::fileName(archive));
    _host.installExtracted(std::move(contents));
    removeFinishedFolders();
}

void ArchiveExtraction::removeFinishedFolders() {
    const std::vector<std::string>& pending = tempFolders();
    std::erase_if(_finishedTempFolders, [&](const std::string& folder) {
        const bool busy = std::any_of(pending.begin(), pending.end(), [&](const std::string& running) {
            return path::isInsideFolder(folder, running);
        });
        if (!busy) {
            _services.fileManager.removeItem(folder);
        }
        return !busy;
    });
    // Nothing of the update is left on disk: what the journal recorded is gone.
    if (_services.cleanupJournal && _finishedTempFolders.empty() && pending.empty() && !_host.installing()) {
        _services.cleanupJournal->clear();
    }
}

// A folder of the program's own beside the archive, named by the time and made in one step: when that
// name is taken, the first free one of "<time>-2", "<time>-3", ...
std::optional<std::string> ArchiveExtraction::_makeExtractionFolder(const std::string& path) {
    const std::string base = path::join(path::parent(path), dateTimeComponentAt(_services.clock.now()));
    std::string candidate = base;
    for (int suffix = 2; !_services.fileManager.createFolder(candidate); ++suffix) {
        if (_services.fileManager.lastError() != EEXIST || suffix > kMaxFolderSuffix) {
            _services.log.log("Failed to create temporary directory for unzip operation");
            return std::nullopt;
        }
        candidate = base + "-" + std::to_string(suffix);
    }
    // Noted at once, for removal at the next start should the program be killed before it goes.
    if (_services.cleanupJournal) {
        _services.cleanupJournal->record(candidate);
    }
    tempFolders().push_back(candidate);
    return candidate;
}

std::string ArchiveExtraction::_localized(const std::string& key) const {
    return _services.localizer.text(key);
}

} // namespace quorvane

#pragma once

#include "engine/ExtractionQueue.h"
#include "engine/UpdateServices.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class ExtractionHost;
class ExtractionWatch;
class ToolProcess;
class ZipCentralDirectory;

// The archives of one update run: reads each one's central directory, extracts it with the jar tool
// into a folder of its own beside it, checks what the tool wrote and feeds the extracted tree back to
// the run through its host. The tools run as child processes; their output and their end arrive as
// events.
class ArchiveExtraction {
public:
    ArchiveExtraction(ExtractionHost& host, UpdateServices services);
    // Tools still running are killed first, so that nothing writes into the folders as they go; then
    // every extraction folder still on disk is deleted.
    ~ArchiveExtraction();
    ArchiveExtraction(const ArchiveExtraction&) = delete;
    ArchiveExtraction& operator=(const ArchiveExtraction&) = delete;

    // The extraction folders whose tool has not ended yet, made on first use.
    std::vector<std::string>& tempFolders();
    // Deletes from disk every folder of the list held until now, then holds the new list.
    void setTempFolders(std::optional<std::vector<std::string>> tempFolders);
    // An extraction has not ended yet.
    bool pending() const { return _tempFolders && !_tempFolders->empty(); }
    // The item lies in a folder whose extraction has ended: it is the run's own to move.
    bool holdsExtractedItem(const std::string& item) const;

    // Starts the extraction of the archive; the host gets its contents when the tool has ended.
    void extract(const std::string& path);
    // Deletes the folders whose contents are installed, except those an extraction still runs inside.
    void removeFinishedFolders();
    // Kills the tools running, forgets those waiting, and deletes the folders of both.
    void stopAll();

private:
    // The tool extracting one archive and the watch over its folder, which kills it on an overrun.
    struct OverrunGuard {
        ToolProcess* tool = nullptr;
        std::unique_ptr<ExtractionWatch> watch;
    };
    // How far the progress bar has followed the tool through one archive.
    struct ListingProgress {
        std::size_t entries;    // the entries of its table of contents
        std::size_t listed = 0; // those the tool's listing has named so far
    };
    // Reads the archive's table of contents and starts its tool, or notes why it cannot be extracted.
    void _startExtraction(const std::string& path);
    // A folder of the program's own beside the archive, for its tool to extract into.
    std::optional<std::string> _makeExtractionFolder(const std::string& path);
    // The tool has listed more of what it extracts: the bar follows.
    void _toolListed(ToolProcess& process, ListingProgress& progress);
    // The tool extracting archive into folder has ended; directory: the archive's central directory, read
    // before the tool started.
    // overrun: it was killed for writing more than the archive declares.
    void _toolEnded(ToolProcess& process, const std::string& archive, const std::string& folder,
                    const ZipCentralDirectory& directory, const ListingProgress& progress, bool overrun);
    std::string _localized(const std::string& key) const;

    ExtractionHost& _host;
    UpdateServices _services;
    std::optional<std::vector<std::string>> _tempFolders;
    // Extraction folders whose contents are installed, kept until no extraction inside them runs.
    std::vector<std::string> _finishedTempFolders;
    // The extraction tools running and waiting for a core.
    ExtractionQueue _extractionQueue;
};

} // namespace quorvane

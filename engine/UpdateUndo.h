#pragma once

#include "engine/UpdateRecord.h"
#include "engine/UpdateReport.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class FileManager;
class Localizer;

// Takes an installation back to where it was before one update run, from the run's record: the items the
// run added are removed, the ones it replaced are moved back from its backup folder, and the backup
// folder goes once it is empty. An item that has changed or gone since the run is left as it is, and
// named. UndoJob runs it on a thread of its own.
class UpdateUndo {
public:
    struct LeftAlone {
        std::string item;
        std::string reason;
    };
    struct Result {
        std::size_t removed = 0;
        std::size_t restored = 0;
        std::vector<LeftAlone> leftAlone;
    };

    // progressFile: where the undo notes each item it has dealt with, so that an undo stopped half-way
    // and started again counts what it did before and does not do it twice; none: not noted.
    static Result undo(const UpdateRecord& record, FileManager& fileManager, const Localizer& localizer,
                       const std::optional<std::string>& progressFile = std::nullopt);
    // The report of an undo, as its sheet shows it.
    static UpdateReport report(const Result& result, const Localizer& localizer);

private:
    // An item the run wrote ahead of its change, which it may not have made: taken back as far as it
    // was made. 'r' removed, 'p' put back, '-' never made; none: it cannot be.
    static std::optional<char> undoWrittenAhead(const UpdateRecord& record, const UpdateRecord::Item& item,
                                                FileManager& fileManager);
    // Puts the old item back in place of the new one; no when it cannot.
    static bool restore(FileManager& fileManager, const std::string& backup, const std::string& path,
                        bool newIsFolder);
    // Removes the folder and the folders beneath it that hold nothing else.
    static void removeEmptyFolders(FileManager& fileManager, const std::string& folder);
};

} // namespace quorvane

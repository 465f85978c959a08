#pragma once

#include "engine/UpdateRecord.h"

#include <optional>
#include <string>

namespace quorvane {

class FileManager;

// The records of the update runs, one file each in a folder of the user's state (never in the game's
// folder), so that each installation's runs can be undone one after the other, newest first.
class UpdateRecordStore {
public:
    UpdateRecordStore(FileManager& fileManager, std::string folder);

    // Keeps the record of a run that changed something, and answers its file; none when it was not kept.
    std::optional<std::string> keep(const UpdateRecord& record);
    struct Kept {
        std::string file;
        UpdateRecord record;
    };
    // The newest record of a run on the installation; none when there is none.
    std::optional<Kept> latestFor(const std::string& installation) const;
    // Forgets a record once its run has been undone.
    void forget(const std::string& file);

    const std::string& folder() const { return _folder; }

private:
    FileManager& _fileManager;
    std::string _folder;
};

} // namespace quorvane

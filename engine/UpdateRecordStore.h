#pragma once

#include "engine/UpdateRecord.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class FileManager;

// The records of the update runs, one file each in a folder of the user's state (never in the game's
// folder), so that each installation's runs can be undone one after the other, newest first.
class UpdateRecordStore {
public:
    UpdateRecordStore(FileManager& fileManager, std::string folder);

    // A run that has ended is about to keep its record (from any thread): until keep() has come, the
    // records are not read, so that an undo asked for right after a report finds the run's record.
    void expect();
    // Waits until the records expected are kept.
    void waitUntilKept() const;
    // Keeps the record of a run that changed something, and answers its file; none when it was not kept.
    // written: the file the run wrote ahead, replaced whole (or removed when the run changed nothing).
    std::optional<std::string> keep(const UpdateRecord& record,
                                    const std::optional<std::string>& written = std::nullopt);
    // Writes a run's record ahead of its first change: its head and the items it means to put in place,
    // flushed to disk, the store's folders made as needed. Answers the file, or why it cannot be kept.
    struct Begun {
        std::optional<std::string> file;
        std::string error; // the path, and the system's reason
    };
    // intended: the items, each as UpdateRecord::serializedItem gives it, marked as intended.
    Begun begin(const UpdateRecord& head, const std::string& intended);
    // Adds items the run means to put in place next to the record written ahead, flushed to disk.
    bool append(const std::string& file, const std::string& intended);
    // Every readable record of a run on the installation, oldest first.
    std::vector<UpdateRecord> recordsFor(const std::string& installation) const;
    struct Kept {
        std::string file;
        // The date its first bytes name, read even when the rest is damaged.
        std::time_t date = 0;
        // None: the record is damaged (it cannot be read whole, is larger than any run writes, or names
        // paths outside its installation and backup folder) and is never acted on.
        std::optional<UpdateRecord> record;
    };
    // The newest record of a run on the installation, damaged or not; none when there is none. Reads
    // files of up to kMaxRecordSize bytes: call it off the window's thread.
    std::optional<Kept> latestFor(const std::string& installation) const;
    // Every record of a run on the installation, damaged or not, newest first; read as latestFor reads.
    std::vector<Kept> historyOf(const std::string& installation) const;
    // The name a kept record goes by: its file's name without the folder and suffix ("20070102_090503-001").
    static std::string idOf(const std::string& file);
    // Writes the record again in place of its file, in one step; no when it could not.
    bool rewrite(const std::string& file, const UpdateRecord& record);
    // Larger than the record of a run that put 100,000 items in place with long names.
    static constexpr std::size_t kMaxRecordSize = std::size_t{64} << 20;
    // Forgets a record once its run has been undone.
    void forget(const std::string& file);

    const std::string& folder() const { return _folder; }

private:
    std::optional<std::string> _write(const UpdateRecord& record);
    // The record in the file, if it names the installation; damaged when it cannot be read whole.
    std::optional<Kept> _read(const std::string& file, const std::string& installation) const;
    // Makes the store's folder and those above it; the system's error number when it cannot.
    int _makeFolder() const;

    FileManager& _fileManager;
    std::string _folder;
    // Records expected and not kept yet.
    mutable std::mutex _mutex;
    mutable std::condition_variable _kept;
    int _expected = 0;
};

} // namespace quorvane

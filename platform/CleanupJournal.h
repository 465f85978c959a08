#pragma once

#include <mutex>
#include <string>

namespace quorvane {

class FileManager;

// Remembers the temporary items the program creates (copies in progress beside their destinations,
// extraction folders) so that what a killed run left behind is removed at the next start. Each running
// program appends to a file of its own, locked while it runs; a journal that nobody locks belongs to a
// run that has ended.
class CleanupJournal {
public:
    // The journals live in folder, which is created when first needed.
    explicit CleanupJournal(std::string folder);
    // A clean end: nothing recorded is left, and the journal goes.
    ~CleanupJournal();
    CleanupJournal(const CleanupJournal&) = delete;
    CleanupJournal& operator=(const CleanupJournal&) = delete;

    // "$XDG_STATE_HOME/quorvane-updater", by default "~/.local/state/quorvane-updater".
    static std::string defaultFolder();

    // Appends (from any thread) the absolute path of a temporary item right after its creation, with what
    // identifies it and the folder it was made in; or right before, when it is made elsewhere: then with its
    // folder alone.
    void record(const std::string& path);
    // Everything recorded so far is gone: the journal starts empty again.
    void clear();
    // Goes through the journals of runs that have ended: removes each recorded item that is still the one
    // the program made (a copy in progress or an extraction folder, in the same folder, by device and
    // inode), then the journal. An entry that does not match, or has no such marks, is dropped unused.
    void cleanUp(FileManager& fileManager);

    const std::string& folder() const { return _folder; }

private:
    bool open();

    std::string _folder;
    std::string _path;
    int _fd = -1;
    std::mutex _mutex; // threads copying side by side note their copies
};

} // namespace quorvane

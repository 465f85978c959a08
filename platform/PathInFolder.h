#pragma once

#include <string>

namespace quorvane {

// An absolute path taken as an open descriptor of its folder and the last name in it, so that system calls
// made "at" the folder look up only that name instead of walking the whole path again. While a
// KeepFoldersOpen lives on a thread, the thread keeps the descriptors of the few folders it worked in
// last; elsewhere a path is taken whole, as it is, unless it is longer than the kernel takes: its folder is
// then opened a few parts at a time, as a call on the whole path would find it.
//
// A KeepFoldersOpen may give the thread a root, the installation a job works in: every folder at or below
// the root is opened from the root without following a link, so that nothing at a path below the root
// ever reaches outside it. A link met where a folder is expected fails the location with ELOOP (error()).
// The root itself is opened by its path, links and all: those are the user's. Elsewhere a descriptor is
// opened by the folder's full path, resolved as a call on the path would resolve it then. Either way it
// afterwards keeps to that folder: a link put in its place later is never followed through it, and a
// folder renamed by another program is still found where it went, by looks; below the root a change never
// goes through a kept folder (Use). Folders are kept only for a stretch of work such as an update run,
// which owns the folders it writes in, never for the program's life.
//
// A folder that the file services move or delete is forgotten on every thread (forgetFolder). One deleted
// by anything else is noticed when a call through its descriptor finds no entry (folderWasRemoved), and is
// then looked up again.
//
// Relative paths, paths with "." or ".." components or doubled slashes, and "/" itself keep the whole path
// relative to the working folder (folder() is AT_FDCWD); below the root such a path fails with EXDEV.
// Valid while it lives; not to be handed to another thread.
class PathInFolder {
public:
    // Folders stay open on this thread while one of these lives; all are closed when the last one ends.
    class KeepFoldersOpen {
    public:
        // Keeps the root the thread has, if any.
        KeepFoldersOpen();
        // Gives the thread the root until this one ends; links are refused below it.
        explicit KeepFoldersOpen(const std::string& root);
        ~KeepFoldersOpen();
        KeepFoldersOpen(const KeepFoldersOpen&) = delete;
        KeepFoldersOpen& operator=(const KeepFoldersOpen&) = delete;

    private:
        std::string _outerRoot;
    };

    // What the location is for. A look may go through a folder kept open. A change below the root goes
    // through its folder opened from the root at that moment, never through one kept open: a folder that
    // another program moved out of the installation since it was kept is never written in, nor taken from.
    enum class Use { look, change };

    explicit PathInFolder(const std::string& path, Use use = Use::look);
    ~PathInFolder();
    PathInFolder(const PathInFolder&) = delete;
    PathInFolder& operator=(const PathInFolder&) = delete;

    int folder() const { return _folder; }
    const char* name() const { return _name; }
    // The system's error number when the folder could not be opened (a link below the root, say); a call
    // at the location is then not to be made.
    int error() const { return _error; }

    // After a call through the descriptor found nothing (ENOENT): whether the folder itself is gone. The
    // folder is then forgotten and looked up again, so the call can be made again (error() permitting).
    // errno is kept.
    bool folderWasRemoved();

    // Forgets the folder at path and every folder beneath it, on this thread and (by dropping all their
    // folders) on every other: called once something at path may have been moved, swapped or deleted.
    static void forgetFolder(const std::string& path);

private:
    void _locate();
    void _closeOwnFolder();

    const std::string& _path;
    const Use _use;
    int _folder;
    const char* _name;
    int _error = 0;
    // A folder opened for this location alone (for a change, or without a KeepFoldersOpen); closed with it.
    int _ownFolder = -1;
};

} // namespace quorvane

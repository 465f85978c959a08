#pragma once

#include <string>

namespace quorvane {

// An absolute path taken as an open descriptor of its folder and the last name in it, so that system calls
// made "at" the folder look up only that name instead of walking the whole path again. While a
// KeepFoldersOpen lives on a thread, the thread keeps the descriptors of the few folders it worked in
// last; elsewhere every path is taken whole, as it is. A descriptor is opened by the folder's full path,
// resolved as a call on the path would resolve it then, and afterwards keeps to that folder: a link put
// in its place later is never followed through it, and a folder renamed by another program is still
// written where it went. That is why folders are kept only for a stretch of work such as an update run,
// which owns the folders it writes in, never for the program's life.
//
// A folder that the file services move or delete is forgotten on every thread (forgetFolder). One deleted
// by anything else is noticed when a call through its descriptor finds no entry (folderWasRemoved), and is
// then looked up again by its path.
//
// Relative paths, paths with "." or ".." components or doubled slashes, and "/" itself keep the whole path
// relative to the working folder (folder() is AT_FDCWD). Valid while it lives; not to be handed to another
// thread.
class PathInFolder {
public:
    // Folders stay open on this thread while one of these lives; all are closed when the last one ends.
    class KeepFoldersOpen {
    public:
        KeepFoldersOpen();
        ~KeepFoldersOpen();
        KeepFoldersOpen(const KeepFoldersOpen&) = delete;
        KeepFoldersOpen& operator=(const KeepFoldersOpen&) = delete;
    };

    explicit PathInFolder(const std::string& path);
    ~PathInFolder();
    PathInFolder(const PathInFolder&) = delete;
    PathInFolder& operator=(const PathInFolder&) = delete;

    int folder() const { return _folder; }
    const char* name() const { return _name; }

    // After a call through the descriptor found nothing (ENOENT): whether the folder itself is gone. The
    // folder is then forgotten and this location falls back to the whole path, so the call can be made
    // again. errno is kept.
    bool folderWasRemoved();

    // Forgets the folder at path and every folder beneath it, on this thread and (by dropping all their
    // folders) on every other: called once something at path may have been moved, swapped or deleted.
    static void forgetFolder(const std::string& path);

private:
    const std::string& _path;
    int _folder;
    const char* _name;
};

} // namespace quorvane

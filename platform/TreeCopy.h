#pragma once

#include "platform/FileManager.h"
#include "platform/NameInFolder.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace quorvane {

// One copy of a file or whole tree to a free name, as FileManager::copyPath makes it. Nothing is ever
// written over: each entry is created exclusively. Nothing beneath the item asked for is followed through
// a link: entries are looked up in the descriptors of the folders being copied, one name at a time, and
// links, pipes, sockets, devices and entries that cannot be read are left out (and named) instead of
// copied. A file's data is shared with the source where the file system allows it (a reflink), else
// copied by the kernel, else read and written. Modification times are kept; permissions are the source's
// read, write and execute bits less the creation mask.
class TreeCopy {
public:
    // File systems (by device) that refused to share a copy's data, kept by the caller and shared by the
    // copies of all its threads: copies there go straight to the kernel copy.
    struct NoReflinkDevices {
        std::mutex* lock;
        std::vector<std::uint64_t>* devices;
        bool contains(std::uint64_t device) const;
        void add(std::uint64_t device) const;
    };

    // stopRequested, when given: once set, a folder's copy ends (failing with ECANCELED) before its next
    // entry.
    // nameWhenWhole: a file asked for by itself is written unnamed and named once whole (see CopyOutcome).
    TreeCopy(NoReflinkDevices noReflink, mode_t creationMask, const std::atomic<bool>* stopRequested,
             bool nameWhenWhole = false);

    // Copies the item at from (fromPath names it) to the free name to; an item that is a link is copied as
    // a link. *created tells whether anything was made at to, so that the caller removes the remains of a
    // failed copy and never an item that was there before. Each call starts over: what an earlier one
    // counted and left out is forgotten.
    bool copy(NameInFolder from, const std::string& fromPath, NameInFolder to, bool* created);

    // Entries made, the top one included.
    std::size_t entries() const { return _entries; }
    bool topIsFolder() const { return _topIsFolder; }
    // The entries beneath the copied folder that were not copied.
    std::vector<FileManager::CopyOutcome::LeftOut>& leftOut() { return _leftOut; }
    // The system's error number of the failure that ended the copy.
    int error() const { return _error; }

private:
    bool _copyTree(NameInFolder from, const std::string& fromPath, NameInFolder to, bool top, bool* created,
                   unsigned char listedType);
    // top: the file is the item asked for.
    bool _copyRegularFile(int in, NameInFolder to, const struct stat& st, bool* created, bool top);
    // Ends the copy with the system's error number, errno unless told otherwise.
    bool _copyFailed(int error = errno);
    // An entry beneath the copied folder that is not copied: the copy goes on without it. One that cannot
    // be read is named with the system's error number, errno unless told otherwise.
    bool _leaveOut(const std::string& from, FileManager::EntryKind kind, int error = errno);

    NoReflinkDevices _noReflink;
    mode_t _creationMask;
    const std::atomic<bool>* _stop;
    bool _nameWhenWhole;
    std::vector<FileManager::CopyOutcome::LeftOut> _leftOut;
    std::size_t _entries = 0;
    bool _topIsFolder = false;
    int _error = 0;
};

} // namespace quorvane

#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// File services on the file system's own bytes. Every operation on an empty path does nothing and
// answers no. Relative paths resolve against the process's working directory.
// The operations are virtual so that tests can put failures in front of them. One manager may serve
// several threads at once. While a PathInFolder::KeepFoldersOpen lives on a thread, its operations look up
// names in the folders they worked in last instead of walking whole paths again, and one given a root (an
// installation) has every path below the root reached without following a link: a link where a folder is
// expected fails the operation with ELOOP (see PathInFolder). Paths longer than the kernel takes work too.
class FileManager {
public:
    virtual ~FileManager() = default;

    // Follows symbolic links: a link to a folder is a folder, a dangling link is nothing.
    virtual bool exists(const std::string& path) const;
    virtual bool exists(const std::string& path, bool* isDirectory) const;
    // Something is at the path, a dangling link included.
    virtual bool entryExists(const std::string& path) const;
    // What is at the path, learnt in one look where no link is in the way.
    struct EntryState {
        bool entryExists = false; // anything, a dangling link included
        bool exists = false;      // following links, as exists
        bool isDirectory = false; // following links
    };
    virtual EntryState entryState(const std::string& path) const;
    virtual bool isSymbolicLink(const std::string& path) const;
    // What kind of entry is at the path; with traverseLink, what a link there leads to.
    enum class EntryKind { missing, file, folder, symbolicLink, special /* pipe, socket or device */ };
    virtual EntryKind entryKind(const std::string& path, bool traverseLink) const;
    // The path with every link in it resolved, "." and ".." taken out; none when it leads nowhere.
    virtual std::optional<std::string> resolvedPath(const std::string& path) const;
    // One new folder; no when the path exists or its parent is missing.
    virtual bool createFolder(const std::string& path);
    // The file, link or whole tree deleted.
    virtual bool removeItem(const std::string& path);
    // Moves a file or tree within one file system; never over an existing item.
    virtual bool movePath(const std::string& from, const std::string& to);
    // What a copy made: one file or link, or a folder with this many entries beneath it; and the entries
    // beneath the folder it left out.
    struct CopyOutcome {
        struct LeftOut {
            std::string path; // the entry's path below from
            EntryKind kind;   // a link or special file; else it could not be read:
            int error = 0;    // the system's error number then
        };
        bool folder = false;
        std::size_t descendants = 0;
        std::vector<LeftOut> leftOut;
        // Given by the caller: once set, a folder's copy ends (failing with ECANCELED) before its next entry.
        const std::atomic<bool>* stopRequested = nullptr;
        // Given by the caller: a file is written without a name and named only once whole, so that
        // nothing half written is ever seen at to nor left there by a killed program; where the file
        // system cannot, the copy fails with EOPNOTSUPP.
        bool nameWhenWhole = false;
    };
    // Copies a file or whole tree to a free path. Never overwrites. An item that is a link is copied as a
    // link; beneath a folder, links, pipes, sockets, devices and entries that cannot be read are left out
    // (and named in the outcome), never followed. Modification times are kept; permissions are the
    // source's read, write and execute bits less the creation mask, never set-user-id, set-group-id or
    // sticky. A copy that fails part-way is removed again.
    virtual bool copyPath(const std::string& from, const std::string& to, CopyOutcome* outcome);
    bool copyPath(const std::string& from, const std::string& to) { return copyPath(from, to, nullptr); }
    // Identical files (sizes first, then contents), identical link targets, or folders with identical trees.
    virtual bool contentsEqual(const std::string& path1, const std::string& path2) const;
    // Relative paths of every descendant, at any depth, without following links below the folder.
    virtual std::vector<std::string> subpaths(const std::string& path) const;
    // The number of descendants subpaths would list.
    virtual std::size_t countSubpaths(const std::string& path) const;
    // Names of the folder's direct entries, hidden ones included, unsorted; none for a non-folder.
    virtual std::optional<std::vector<std::string>> folderContents(const std::string& path) const;
    virtual bool changeCurrentDirectoryPath(const std::string& path);
    virtual std::optional<std::uint64_t> fileSize(const std::string& path, bool traverseLink) const;
    // The file's whole contents; none if it cannot be read or is no regular file (a folder, pipe or device).
    virtual std::optional<std::string> readFile(const std::string& path) const;
    // At most the first maxLength bytes of the file, as readFile reads it: a huge file is
    // never read through.
    virtual std::optional<std::string> readFileHead(const std::string& path, std::size_t maxLength) const;

    // A second name for the same file (a hard link); no when the file system does not allow it.
    virtual bool linkPath(const std::string& from, const std::string& to);
    // Atomically gives the item at from the name to, replacing a file there; never replaces a folder.
    virtual bool replacePath(const std::string& from, const std::string& to);
    // Atomically swaps the names of two existing items of any kind; no where the file system cannot.
    virtual bool exchangePath(const std::string& path1, const std::string& path2);
    // The same folder or file reached twice (through links), by device and inode.
    virtual std::optional<std::pair<std::uint64_t, std::uint64_t>> identity(const std::string& path) const;
    // The size and modification time (nanoseconds since the epoch) of the entry itself, a link not followed.
    struct EntryStamp {
        std::uint64_t size = 0;
        std::int64_t modified = 0;
        // What the entry was when looked at; stamps are compared by size and time alone.
        EntryKind kind = EntryKind::file;
        bool operator==(const EntryStamp& other) const {
            return size == other.size && modified == other.modified;
        }
    };
    virtual std::optional<EntryStamp> entryStamp(const std::string& path) const;

    // The system's error number of the latest operation on this thread that failed, kept when cleaning up
    // after it.
    int lastError() const;

    FileManager();
    // A name beside the path for a copy in progress, used by no other copy of any run: recognisable by
    // its prefix, unique by process, start time and count, so it is not looked up first.
    std::string temporaryPathBeside(const std::string& path);
    static constexpr const char* temporaryNamePrefix = ".quorvane-partial-";

private:
    // Notes errno as the latest failure (or EIO when the system gave none) and answers no.
    bool _failed() const;
    // After a rename (what was at path1 now at path2) or a swap of the two paths: forgets any folder kept
    // open at or beneath either when a folder moved, else notes the failure; answers whether it was made.
    enum class Move { oneWay, swap };
    bool _forgetMoved(const std::string& path1, const std::string& path2, bool moved, Move move);

    // Read once: temporary names are made for every file.
    long _processId;
    std::atomic<unsigned long> _temporaryCounter = 0;
    // Sets this manager's temporary names apart from those of any earlier run with the same process id.
    unsigned long long _temporaryNonce;
    // The process's file creation mask, applied to a copied folder's mode once its contents are in.
    unsigned _creationMask;
    // File systems (by device) that refused to share a copy's data: copies there use the kernel copy.
    std::mutex _reflinkLock;
    std::vector<std::uint64_t> _devicesWithoutReflink;
};

} // namespace quorvane

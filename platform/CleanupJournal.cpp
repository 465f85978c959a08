#include "platform/CleanupJournal.h"

#include "platform/FileManager.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr std::string_view kJournalPrefix = "cleanup-";

// A folder name made by the timestamp component, with the suffix a clash adds: 20070102_090503-2.
bool isExtractionFolderName(std::string_view name) {
    const auto digits = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (name[i] < '0' || name[i] > '9') {
                return false;
            }
        }
        return true;
    };
    if (name.size() < 15 || !digits(0, 8) || name[8] != '_' || !digits(9, 15)) {
        return false;
    }
    return name.size() == 15 || (name.size() > 16 && name[15] == '-' && digits(16, name.size()));
}

// The device and inode of the entry itself (a link not followed); none when nothing is there. Looked up
// in the folders the thread keeps open, if it keeps any.
std::optional<std::pair<std::uint64_t, std::uint64_t>> identityOf(const std::string& path) {
    struct stat st {};
    const PathInFolder at(path);
    if (at.error() != 0 || ::fstatat(at.folder(), at.name(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
}

// One entry of a journal: "<device> <inode> <folder's device> <folder's inode> <path>", the item's
// numbers 0 when it was noted before it was made.
struct Entry {
    std::uint64_t device = 0, inode = 0, folderDevice = 0, folderInode = 0;
    std::string path;
};

// An entry of this form, with an absolute path; none for anything else, the bare paths of older journals
// included.
std::optional<Entry> parseEntry(std::string_view text) {
    Entry entry;
    for (std::uint64_t* number : {&entry.device, &entry.inode, &entry.folderDevice, &entry.folderInode}) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *number);
        if (error != std::errc() || end == text.data() + text.size() || *end != ' ') {
            return std::nullopt;
        }
        text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    }
    if (!text.starts_with('/')) {
        return std::nullopt;
    }
    entry.path = text;
    return entry;
}

// The entry names an item this program made and that is still the one it made: in the same folder (by
// device and inode), named as the program names its items, and itself the same item; one noted before it
// was made must bear the name of a copy in progress of the journal's own process.
bool isOurs(const Entry& entry, std::string_view journalProcess) {
    const std::string name = path::fileName(entry.path);
    const auto folder = identityOf(path::parent(entry.path));
    if (!folder || *folder != std::make_pair(entry.folderDevice, entry.folderInode)) {
        return false;
    }
    if (entry.inode == 0) {
        return name.starts_with(std::string(FileManager::temporaryNamePrefix) + std::string(journalProcess) +
                                "-");
    }
    struct stat st {};
    if (::lstat(entry.path.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_dev) != entry.device ||
        static_cast<std::uint64_t>(st.st_ino) != entry.inode) {
        return false;
    }
    return name.starts_with(FileManager::temporaryNamePrefix) ||
           (isExtractionFolderName(name) && S_ISDIR(st.st_mode));
}

std::string readAll(int fd) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = posixio::readSome(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

void makeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) {
            return;
        }
    }
}

} // namespace

CleanupJournal::CleanupJournal(std::string folder) : _folder(std::move(folder)) {}

CleanupJournal::~CleanupJournal() {
    if (_fd >= 0) {
        ::unlink(_path.c_str());
        ::close(_fd);
    }
}

std::string CleanupJournal::defaultFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/quorvane-updater";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/state/quorvane-updater";
}

bool CleanupJournal::open() {
    if (_fd >= 0) {
        return true;
    }
    makeFolders(_folder);
    const auto nonce = std::chrono::steady_clock::now().time_since_epoch().count();
    _path = path::join(_folder, std::string(kJournalPrefix) + std::to_string(::getpid()) + "-" +
                                    std::to_string(nonce));
    _fd = ::open(_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (_fd >= 0 && ::flock(_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(_fd);
        _fd = -1;
    }
    return _fd >= 0;
}

void CleanupJournal::record(const std::string& path) {
    const auto folder = identityOf(path::parent(path));
    const std::lock_guard lock(_mutex);
    if (!path.starts_with('/') || !folder || !open()) {
        return;
    }
    const auto item = identityOf(path).value_or(std::pair<std::uint64_t, std::uint64_t>{});
    // Names may hold any byte but NUL, line breaks included.
    posixio::writeAll(_fd, std::to_string(item.first) + " " + std::to_string(item.second) + " " +
                               std::to_string(folder->first) + " " + std::to_string(folder->second) + " " +
                               path + '\0');
}

void CleanupJournal::clear() {
    const std::lock_guard lock(_mutex);
    if (_fd >= 0) {
        [[maybe_unused]] const int ignored = ::ftruncate(_fd, 0);
    }
}

void CleanupJournal::cleanUp(FileManager& fileManager) {
    DIR* listing = ::opendir(_folder.c_str());
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        const std::string journal = path::join(_folder, name);
        if (!name.starts_with(kJournalPrefix) || journal == _path) {
            continue;
        }
        const int fd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) { // its program has ended
            // "cleanup-<process id>-<start>"
            const std::string_view process = std::string_view(name).substr(
                kJournalPrefix.size(), name.find('-', kJournalPrefix.size()) - kJournalPrefix.size());
            const std::string paths = readAll(fd);
            for (std::size_t start = 0, end; start < paths.size(); start = end + 1) {
                end = std::min(paths.find('\0', start), paths.size());
                const auto entry = parseEntry(std::string_view(paths).substr(start, end - start));
                if (entry && isOurs(*entry, process)) {
                    fileManager.removeItem(entry->path);
                }
            }
            ::unlink(journal.c_str());
        }
        ::close(fd);
    }
    ::closedir(listing);
}

} // namespace quorvane

#include "platform/CleanupJournal.h"

#include "platform/FileManager.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
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

bool isOurs(const std::string& path) {
    const std::string name = path::fileName(path);
    if (name.starts_with(FileManager::temporaryNamePrefix)) {
        return true;
    }
    struct stat st {};
    return isExtractionFolderName(name) && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
    _path = path::join(
        _folder, std::string(kJournalPrefix) + std::to_string(::getpid()) + "-" + std::to_string(nonce));
    _fd = ::open(_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (_fd >= 0 && ::flock(_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(_fd);
        _fd = -1;
    }
    return _fd >= 0;
}

void CleanupJournal::record(const std::string& path) {
    // Names may hold any byte but NUL, line breaks included.
    if (!path.empty() && open()) {
        posixio::writeAll(_fd, path + '\0');
    }
}

void CleanupJournal::clear() {
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
            const std::string paths = readAll(fd);
            for (std::size_t start = 0, end; start < paths.size(); start = end + 1) {
                end = std::min(paths.find('\0', start), paths.size());
                const std::string path = paths.substr(start, end - start);
                if (path.starts_with('/') && isOurs(path)) {
                    fileManager.removeItem(path);
                }
            }
            ::unlink(journal.c_str());
        }
        ::close(fd);
    }
    ::closedir(listing);
}

} // namespace quorvane

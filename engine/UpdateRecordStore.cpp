#include "engine/UpdateRecordStore.h"

#include "engine/DateTimeComponent.h"
#include "platform/FileManager.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr std::string_view kSuffix = ".record";

// Writes the bytes to a new file under a temporary name, flushed, and then gives it its name, so that a
// record is never read half written. replace: the name may stand for a record written ahead.
bool writeNewFile(const std::string& path, const std::string& bytes, const std::string& more = {},
                  bool replace = false) {
    const std::string partial = path + ".partial";
    const int descriptor =
        ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0) {
        return false;
    }
    const bool written = posixio::writeAll(descriptor, bytes) && posixio::writeAll(descriptor, more) &&
                         ::fdatasync(descriptor) == 0;
    const bool ok =
        ::close(descriptor) == 0 && written &&
        ::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, path.c_str(), replace ? 0 : RENAME_NOREPLACE) == 0;
    const int error = errno;
    if (!ok) {
        ::unlink(partial.c_str());
    }
    errno = error;
    return ok;
}

// Flushes a folder's entries to disk: a new file's name survives a crash.
void syncFolder(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

} // namespace

UpdateRecordStore::UpdateRecordStore(FileManager& fileManager, std::string folder)
    : _fileManager(fileManager), _folder(std::move(folder)) {}

void UpdateRecordStore::expect() {
    const std::lock_guard lock(_mutex);
    ++_expected;
}

std::optional<std::string> UpdateRecordStore::keep(const UpdateRecord& record,
                                                   const std::optional<std::string>& written) {
    std::optional<std::string> file;
    if (!written) {
        file = _write(record);
    } else if (record.empty()) {
        _fileManager.removeItem(*written); // the run changed nothing after all
    } else if (writeNewFile(*written, record.serialized(), {}, true)) {
        file = written;
    } else {
        file = written; // the record written ahead stays, and still undoes the run
    }
    const std::lock_guard lock(_mutex);
    if (_expected > 0) {
        --_expected;
    }
    _kept.notify_all();
    return file;
}

std::optional<std::string> UpdateRecordStore::_write(const UpdateRecord& record) {
    if (record.empty() || _folder.empty()) {
        return std::nullopt;
    }
    if (_makeFolder() != 0) {
        return std::nullopt;
    }
    // Named by the run's time and a number, so that the names sort as the runs came, within a second too.
    const std::string base = path::join(_folder, dateTimeComponentAt(record.date()));
    for (int suffix = 1; suffix < 1000; ++suffix) {
        char number[16] = "";
        std::snprintf(number, sizeof number, "-%03d", suffix);
        const std::string name = base + number + std::string(kSuffix);
        if (writeNewFile(name, record.serialized())) {
            return name;
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

int UpdateRecordStore::_makeFolder() const {
    if (_folder.empty() || _folder.front() != '/') {
        return ENOENT;
    }
    // As mkdir -p: each missing folder from the top down, private to the user.
    for (std::size_t slash = _folder.find('/', 1);; slash = _folder.find('/', slash + 1)) {
        const std::string folder = _folder.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    return _fileManager.exists(_folder) ? 0 : ENOTDIR;
}

UpdateRecordStore::Begun UpdateRecordStore::begin(const UpdateRecord& head, const std::string& intended) {
    if (const int error = _makeFolder(); error != 0) {
        return {std::nullopt, _folder + ": " + std::strerror(error)};
    }
    const std::string base = path::join(_folder, dateTimeComponentAt(head.date()));
    for (int suffix = 1; suffix < 1000; ++suffix) {
        char number[16] = "";
        std::snprintf(number, sizeof number, "-%03d", suffix);
        const std::string name = base + number + std::string(kSuffix);
        if (writeNewFile(name, head.serialized(), intended)) {
            syncFolder(_folder);
            return {name, {}};
        }
        if (errno != EEXIST) {
            return {std::nullopt, name + ": " + std::strerror(errno)};
        }
    }
    return {std::nullopt, base + ": " + std::strerror(EEXIST)};
}

bool UpdateRecordStore::append(const std::string& file, const std::string& intended) {
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0) {
        return false;
    }
    const bool written = posixio::writeAll(descriptor, intended) && ::fdatasync(descriptor) == 0;
    return ::close(descriptor) == 0 && written;
}

std::vector<UpdateRecord> UpdateRecordStore::recordsFor(const std::string& installation) const {
    waitUntilKept();
    std::vector<std::pair<std::string, UpdateRecord>> found;
    for (const std::string& name :
         _fileManager.folderContents(_folder).value_or(std::vector<std::string>())) {
        const std::string file = path::join(_folder, name);
        const auto bytes =
            name.ends_with(kSuffix) ? _fileManager.readFileHead(file, kMaxRecordSize + 1) : std::nullopt;
        const auto head = bytes ? UpdateRecord::parseHead(*bytes) : std::nullopt;
        if (head && head->installation == installation && bytes->size() <= kMaxRecordSize) {
            if (auto record = UpdateRecord::parse(*bytes); record && record->confined()) {
                found.emplace_back(name, std::move(*record));
            }
        }
    }
    // The names sort as the runs came.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<UpdateRecord> records;
    for (auto& [name, record] : found) {
        records.push_back(std::move(record));
    }
    return records;
}

void UpdateRecordStore::waitUntilKept() const {
    std::unique_lock lock(_mutex);
    _kept.wait_for(lock, std::chrono::seconds(30), [this] { return _expected == 0; });
}

std::optional<UpdateRecordStore::Kept> UpdateRecordStore::_read(const std::string& file,
                                                                const std::string& installation) const {
    // One byte more than the limit tells a record too large to be one of ours.
    const auto bytes = _fileManager.readFileHead(file, kMaxRecordSize + 1);
    const auto head = bytes ? UpdateRecord::parseHead(*bytes) : std::nullopt;
    if (!head || head->installation != installation) {
        return std::nullopt;
    }
    auto record = bytes->size() <= kMaxRecordSize ? UpdateRecord::parse(*bytes) : std::nullopt;
    if (record && !record->confined()) {
        record.reset();
    }
    return Kept{file, head->date, std::move(record)};
}

std::vector<UpdateRecordStore::Kept> UpdateRecordStore::historyOf(const std::string& installation) const {
    waitUntilKept();
    std::vector<Kept> history;
    for (const std::string& name :
         _fileManager.folderContents(_folder).value_or(std::vector<std::string>())) {
        if (name.ends_with(kSuffix)) {
            if (auto kept = _read(path::join(_folder, name), installation)) {
                history.push_back(std::move(*kept));
            }
        }
    }
    // The names sort as the runs came within one date.
    std::sort(history.begin(), history.end(), [](const Kept& a, const Kept& b) {
        return a.date != b.date ? a.date > b.date : a.file > b.file;
    });
    return history;
}

std::optional<UpdateRecordStore::Kept> UpdateRecordStore::latestFor(const std::string& installation) const {
    std::vector<Kept> history = historyOf(installation);
    if (history.empty()) {
        return std::nullopt;
    }
    return std::move(history.front());
}

std::string UpdateRecordStore::idOf(const std::string& file) {
    const std::string name = path::fileName(file);
    return name.ends_with(kSuffix) ? name.substr(0, name.size() - kSuffix.size()) : name;
}

bool UpdateRecordStore::rewrite(const std::string& file, const UpdateRecord& record) {
    const std::string partial = file + ".rewritten";
    if (!writeNewFile(partial, record.serialized())) {
        return false;
    }
    const bool renamed = ::rename(partial.c_str(), file.c_str()) == 0;
    if (!renamed) {
        ::unlink(partial.c_str());
    }
    return renamed;
}

void UpdateRecordStore::forget(const std::string& file) {
    _fileManager.removeItem(file);
    _fileManager.removeItem(file + ".undone");
}

} // namespace quorvane

#include "engine/UpdateRecordStore.h"

#include "engine/DateTimeComponent.h"
#include "platform/FileManager.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr std::string_view kSuffix = ".record";

// Writes the bytes to a new file under a temporary name and then gives it its name, so that a record is
// never read half written.
bool writeNewFile(const std::string& path, const std::string& bytes) {
    const std::string partial = path + ".partial";
    const int descriptor =
        ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0) {
        return false;
    }
    const bool written = posixio::writeAll(descriptor, bytes);
    const bool ok = ::close(descriptor) == 0 && written &&
                    ::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
    if (!ok) {
        ::unlink(partial.c_str());
    }
    return ok;
}

} // namespace

UpdateRecordStore::UpdateRecordStore(FileManager& fileManager, std::string folder)
    : _fileManager(fileManager), _folder(std::move(folder)) {}

void UpdateRecordStore::expect() {
    const std::lock_guard lock(_mutex);
    ++_expected;
}

std::optional<std::string> UpdateRecordStore::keep(const UpdateRecord& record) {
    std::optional<std::string> file = _write(record);
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
    if (!_fileManager.exists(_folder)) {
        _fileManager.createFolder(path::parent(_folder));
        _fileManager.createFolder(_folder);
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
}

} // namespace quorvane

#include "engine/UpdateRecordStore.h"

#include "engine/DateTimeComponent.h"
#include "platform/FileManager.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

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

std::optional<UpdateRecordStore::Kept> UpdateRecordStore::latestFor(const std::string& installation) const {
    waitUntilKept();
    std::optional<Kept> latest;
    std::time_t latestDate = 0;
    for (const std::string& name :
         _fileManager.folderContents(_folder).value_or(std::vector<std::string>())) {
        if (!name.ends_with(kSuffix)) {
            continue;
        }
        const std::string file = path::join(_folder, name);
        // One byte more than the limit tells a record too large to be one of ours.
        const auto bytes = _fileManager.readFileHead(file, kMaxRecordSize + 1);
        const auto head = bytes ? UpdateRecord::parseHead(*bytes) : std::nullopt;
        if (!head || head->installation != installation ||
            (latest && (head->date < latestDate || (head->date == latestDate && file < latest->file)))) {
            continue;
        }
        auto record = bytes->size() <= kMaxRecordSize ? UpdateRecord::parse(*bytes) : std::nullopt;
        if (record && !record->confined()) {
            record.reset();
        }
        latest = Kept{file, std::move(record)};
        latestDate = head->date;
    }
    return latest;
}

void UpdateRecordStore::forget(const std::string& file) {
    _fileManager.removeItem(file);
}

} // namespace quorvane

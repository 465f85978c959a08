#include "engine/UpdateRecord.h"

#include "platform/PathUtilities.h"

#include <algorithm>
#include <charconv>

namespace quorvane {
namespace {

// The format's first line; the number is its version. Version 1 had no add-on names and no removed backups.
constexpr std::string_view kHeader = "quorvane-updater record 2";
constexpr std::string_view kFirstHeader = "quorvane-updater record 1";

// Adds up the files beneath a folder, links and special files included as themselves.
void addUpFolder(const FileManager& fileManager, const std::string& folder, FileManager::EntryStamp& total,
                 std::uint64_t& entries) {
    for (const std::string& name : fileManager.folderContents(folder).value_or(std::vector<std::string>())) {
        const std::string path = path::join(folder, name);
        ++entries;
        const auto stamp = fileManager.entryStamp(path);
        if (stamp && stamp->kind == FileManager::EntryKind::folder) {
            addUpFolder(fileManager, path, total, entries);
        } else if (stamp) {
            total.size += stamp->size;
            total.modified = std::max(total.modified, stamp->modified);
        }
    }
}

// Splits NUL-terminated fields.
std::vector<std::string_view> fields(std::string_view bytes) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string_view::npos; start = end + 1) {
        out.push_back(bytes.substr(start, end - start));
    }
    return start == bytes.size() ? out : std::vector<std::string_view>();
}

template <typename Number> bool number(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::size_t UpdateRecord::replacedCount() const {
    return static_cast<std::size_t>(
        std::count_if(_items.begin(), _items.end(), [](const Item& item) { return item.replaced; }));
}

std::size_t UpdateRecord::filesAdded() const {
    std::size_t files = 0;
    for (const Item& item : _items) {
        files += item.folder ? item.entries : 1;
    }
    return files;
}

void UpdateRecord::setAddOnsFrom(const std::vector<std::string>& droppedItems) {
    _addOnNames.clear();
    for (const std::string& item : droppedItems) {
        _addOnNames.push_back(path::fileName(item));
    }
}

void UpdateRecord::addItem(std::string relativePath, bool replaced, bool folder) {
    _items.push_back(Item{std::move(relativePath), replaced, folder, std::nullopt, 0});
}

void UpdateRecord::stampItems(const FileManager& fileManager) {
    for (Item& item : _items) {
        item.stamp = currentStamp(fileManager, path::join(_installation, item.relativePath), item.folder,
                                  &item.entries);
    }
}

std::optional<FileManager::EntryStamp> UpdateRecord::currentStamp(const FileManager& fileManager,
                                                                  const std::string& path, bool folder,
                                                                  std::uint64_t* entries) {
    // One look tells what the entry is and, for a file, its stamp.
    const std::optional<FileManager::EntryStamp> stamp = fileManager.entryStamp(path);
    if (!stamp || folder != (stamp->kind == FileManager::EntryKind::folder)) {
        return std::nullopt;
    }
    *entries = 0;
    if (!folder) {
        return stamp;
    }
    FileManager::EntryStamp total;
    addUpFolder(fileManager, path, total, *entries);
    return total;
}

bool UpdateRecord::confined() const {
    if (!_installation.starts_with('/') || !path::hasPlainParts(std::string_view(_installation).substr(1))) {
        return false;
    }
    // Its backup folder is one folder directly in the installation's "BackupFiles", which no item is in.
    const std::string backupName = _backupFolder ? path::fileName(*_backupFolder) : "";
    if (_backupFolder &&
        (!path::hasPlainParts(backupName) ||
         *_backupFolder != path::join(path::join(_installation, "BackupFiles"), backupName))) {
        return false;
    }
    return std::all_of(_items.begin(), _items.end(), [](const Item& item) {
        return path::hasPlainParts(item.relativePath) && item.relativePath != "BackupFiles" &&
               !item.relativePath.starts_with("BackupFiles/");
    });
}

std::string UpdateRecord::serialized() const {
    std::string out;
    const auto field = [&out](std::string_view text) {
        out.append(text);
        out.push_back('\0');
    };
    field(kHeader);
    field(_installation);
    field(std::to_string(_date));
    field(std::string(_backupFolder ? "B" : "-") + (_madeBackupRoot ? "M" : "-") +
          (_backupRemoved ? "X" : "-"));
    field(_backupFolder.value_or(""));
    field(std::to_string(_addOnNames.size()));
    for (const std::string& name : _addOnNames) {
        field(name);
    }
    for (const Item& item : _items) {
        out += serializedItem(item);
    }
    return out;
}

std::string UpdateRecord::serializedItem(const Item& item) {
    std::string out;
    const auto field = [&out](std::string_view text) {
        out.append(text);
        out.push_back('\0');
    };
    // The third letter: S stamped, W written ahead of the change, - gone by the run's end.
    field(std::string(item.replaced ? "R" : "A") + (item.folder ? "F" : "-") +
          (item.stamp      ? "S"
           : item.intended ? "W"
                           : "-"));
    field(std::to_string(item.stamp ? item.stamp->size : 0));
    field(std::to_string(item.stamp ? item.stamp->modified : 0));
    field(std::to_string(item.entries));
    field(item.relativePath);
    return out;
}

std::optional<UpdateRecord::Head> UpdateRecord::parseHead(std::string_view bytes) {
    std::string_view field[3];
    for (std::string_view& f : field) {
        const std::size_t end = bytes.find('\0');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        f = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
    }
    Head head{std::string(field[1]), 0};
    if ((field[0] != kHeader && field[0] != kFirstHeader) || !number(field[2], head.date)) {
        return std::nullopt;
    }
    return head;
}

std::optional<UpdateRecord> UpdateRecord::parse(const std::string& bytes) {
    const std::vector<std::string_view> f = fields(bytes);
    const bool first = !f.empty() && f[0] == kFirstHeader;
    if (f.size() < (first ? 5 : 6) || (f[0] != kHeader && !first) || f[3].size() != (first ? 2 : 3) ||
        (f[3][0] != 'B' && f[3][0] != '-')) {
        return std::nullopt;
    }
    UpdateRecord record(std::string(f[1]), 0);
    std::size_t names = 0;
    if (!number(f[2], record._date) || (!first && (!number(f[5], names) || names > f.size() - 6))) {
        return std::nullopt;
    }
    if (f[3][0] == 'B') {
        record._backupFolder = std::string(f[4]);
    }
    record._madeBackupRoot = f[3][1] == 'M';
    record._backupRemoved = !first && f[3][2] == 'X';
    const std::size_t itemsStart = first ? 5 : 6 + names;
    for (std::size_t i = 6; i < itemsStart; ++i) {
        record._addOnNames.emplace_back(f[i]);
    }
    if ((f.size() - itemsStart) % 5 != 0) {
        return std::nullopt;
    }
    for (std::size_t i = itemsStart; i < f.size(); i += 5) {
        const std::string_view kind = f[i];
        Item item;
        FileManager::EntryStamp stamp;
        if (kind.size() != 3 || (kind[0] != 'R' && kind[0] != 'A') || !number(f[i + 1], stamp.size) ||
            !number(f[i + 2], stamp.modified) || !number(f[i + 3], item.entries) || f[i + 4].empty()) {
            return std::nullopt;
        }
        item.replaced = kind[0] == 'R';
        item.folder = kind[1] == 'F';
        if (kind[2] == 'S') {
            item.stamp = stamp;
        }
        item.intended = kind[2] == 'W';
        item.relativePath = std::string(f[i + 4]);
        record._items.push_back(std::move(item));
    }
    return record;
}

} // namespace quorvane

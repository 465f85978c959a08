#include "engine/UpdatePlan.h"

namespace quorvane {

void UpdatePlan::settleIdentical(std::size_t index) {
    Entry& entry = _entries[index];
    _filesAdded -= entry.files;
    --_filesReplaced;
    ++_identicalFiles;
    _bytesToWrite -= entry.bytes;
    entry = Entry{{}, {}, Fate::identical, entry.kind, 0, entry.progress, {}, false, 0};
}

void UpdatePlan::add(Entry entry, std::uint64_t bytes) {
    entry.bytes = bytes;
    _bytesToWrite += bytes;
    _progressEntries += entry.progress;
    switch (entry.fate) {
    case Fate::add:
        _filesAdded += entry.files;
        break;
    case Fate::replace:
        _filesAdded += entry.files;
        ++_filesReplaced;
        break;
    case Fate::identical:
        ++_identicalFiles;
        break;
    case Fate::notInstalled:
        _filesNotInstalled += entry.files;
        break;
    case Fate::archive:
        ++_archives;
        _archiveFiles += entry.files;
        break;
    case Fate::mergeFolder:
    case Fate::passOver:
        break;
    }
    if (entry.fate != Fate::identical && entry.fate != Fate::passOver) {
        _entries.push_back(std::move(entry));
    } else if (entry.progress > 0) { // only its place on the bar is kept
        _entries.push_back(Entry{{}, {}, entry.fate, entry.kind, 0, entry.progress, {}, false, 0});
    }
}

} // namespace quorvane

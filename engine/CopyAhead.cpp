#include "engine/CopyAhead.h"

#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/PathInFolder.h"
#include "platform/PathUtilities.h"

#include <algorithm>

namespace quorvane {
namespace {

// Files copied at most ahead of the one the run puts in place: what waits for it takes memory (the names of
// temporary copies), and more gains nothing once the run is the slower of the two.
constexpr std::size_t kMaxAhead = 256;

} // namespace

CopyAhead::CopyAhead(FileManager& fileManager, CleanupJournal* journal, const UpdatePlan& plan,
                     const std::string& installation)
    : _fileManager(fileManager), _journal(journal), _plan(plan), _installation(installation) {
    const auto& entries = plan.entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((entries[i].fate == UpdatePlan::Fate::add || entries[i].fate == UpdatePlan::Fate::replace) &&
            entries[i].kind == FileManager::EntryKind::file && !entries[i].insideArchive) {
            _indices.push_back(i);
        }
    }
    _states = std::make_unique<std::atomic<std::uint8_t>[]>(_indices.size());
    _copies.resize(std::min(_indices.size(), kMaxAhead + 1));
    if (!_indices.empty()) {
        _thread = std::thread([this] { _copyAll(); });
    }
}

CopyAhead::~CopyAhead() {
    stop();
}

void CopyAhead::_copyAll() {
    // Below the installation no link is followed: each copy opens its folder from the installation.
    const PathInFolder::KeepFoldersOpen keepFolders(_installation);
    while (_copyNext(Copier::helper)) {
    }
}

bool CopyAhead::_copyNext(Copier copier) {
    for (;;) {
        // The run helps only within reach; the helper waits there for the run to come closer.
        if (copier == Copier::run && _nextSlot.load() >= _runAt.load() + kMaxAhead) {
            return false;
        }
        const std::size_t slot = _nextSlot.fetch_add(1);
        if (slot >= _indices.size() || _stopped.load()) {
            return false;
        }
        if (copier == Copier::helper && slot >= _runAt.load() + kMaxAhead) {
            std::unique_lock lock(_mutex);
            _runMoved.wait(lock, [&] { return slot < _runAt.load() + kMaxAhead || _stopped.load(); });
            if (_stopped.load()) {
                return false;
            }
        }
        std::uint8_t expected = waiting;
        if (_states[slot].compare_exchange_strong(expected, copying)) {
            _copy(slot);
            return true;
        } // else the run came to it first
    }
}

void CopyAhead::_copy(std::size_t slot) {
    const UpdatePlan::Entry& entry = _plan.entries()[_indices[slot]];
    const std::string destination = path::join(_installation, entry.relativePath);
    FileManager::CopyOutcome outcome;
    Copy copy;
    if (entry.fate == UpdatePlan::Fate::add) {
        outcome.nameWhenWhole = true;
        copy.error = _fileManager.copyPath(entry.item, destination, &outcome) ? 0 : _fileManager.lastError();
    } else {
        copy.partial = _fileManager.temporaryPathBeside(destination);
        if (_journal) { // removed at the next start should the program be killed before it is placed
            _journal->record(copy.partial);
        }
        if (!_fileManager.copyPath(entry.item, copy.partial, &outcome)) {
            copy.error = _fileManager.lastError();
            copy.partial.clear();
        }
    }
    {
        const std::lock_guard lock(_mutex);
        // Whole, in place of the outcome of a file taken long ago.
        _copies[slot % _copies.size()] = std::move(copy);
        _states[slot] = copied;
    }
    _copiedOne.notify_all();
}

std::optional<CopyAhead::Copy> CopyAhead::take(std::size_t index) {
    const auto found = std::lower_bound(_indices.begin(), _indices.end(), index);
    if (found == _indices.end() || *found != index) {
        return std::nullopt;
    }
    const auto slot = static_cast<std::size_t>(found - _indices.begin());
    {
        const std::lock_guard lock(_mutex);
        _runAt = slot;
    }
    _runMoved.notify_one();
    std::uint8_t expected = waiting;
    if (_states[slot].compare_exchange_strong(expected, taken)) {
        return std::nullopt; // not begun: the run copies it
    }
    // The helper is copying it: the run copies the next file meanwhile, rather than wait.
    while (_states[slot].load() != copied && _copyNext(Copier::run)) {
    }
    std::unique_lock lock(_mutex);
    _copiedOne.wait(lock, [&] { return _states[slot].load() == copied; });
    _states[slot] = taken;
    return std::move(_copies[slot % _copies.size()]);
}

void CopyAhead::stop() {
    {
        const std::lock_guard lock(_mutex);
        _stopped = true;
    }
    _runMoved.notify_all();
    if (_thread.joinable()) {
        _thread.join();
    }
    // Copied and never taken: the run stopped before it came to them.
    for (std::size_t slot = 0; slot < _indices.size(); ++slot) {
        if (_states[slot].load() == copied && _copies[slot % _copies.size()].error == 0) {
            const std::string& partial = _copies[slot % _copies.size()].partial;
            _fileManager.removeItem(
                partial.empty() ? path::join(_installation, _plan.entries()[_indices[slot]].relativePath)
                                : partial);
            _states[slot] = taken;
        }
    }
}

} // namespace quorvane

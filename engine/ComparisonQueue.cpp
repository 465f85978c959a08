#include "engine/ComparisonQueue.h"

#include "platform/FileManager.h"
#include "platform/PathInFolder.h"

namespace quorvane {
namespace {

// Comparisons waiting at most: beyond them the walk's thread compares too (the paths take memory).
constexpr std::size_t kMaxQueued = 512;

} // namespace

ComparisonQueue::ComparisonQueue(const FileManager& fileManager, const std::string& installation,
                                 const std::atomic<bool>& stopRequested)
    : _fileManager(fileManager), _installation(installation), _stopRequested(stopRequested) {}

ComparisonQueue::~ComparisonQueue() {
    {
        const std::lock_guard lock(_mutex);
        _closed = true;
        _queued.clear();
    }
    _changed.notify_all();
    if (_helper.joinable()) {
        _helper.join();
    }
}

void ComparisonQueue::add(std::size_t tag, std::string item, std::string installed) {
    {
        const std::lock_guard lock(_mutex);
        _queued.push_back(Pair{_tags.size(), std::move(item), std::move(installed)});
        _tags.push_back(tag);
        _alike.push_back(0);
    }
    if (!_helper.joinable()) { // started with the first file to compare
        _helper = std::thread([this] { _compareQueued(Comparer::helper); });
        return;
    }
    _changed.notify_one();
    // Where the helper falls behind, the walk compares the oldest itself: the queue stays short.
    std::unique_lock lock(_mutex);
    if (_queued.size() > kMaxQueued) {
        _compareFront(lock);
    }
}

// Takes the comparisons one at a time: the helper until the queue is closed, the walk's thread (done
// walking) until it is empty.
void ComparisonQueue::_compareQueued(Comparer comparer) {
    const bool helper = comparer == Comparer::helper;
    // Below the installation no link is followed; the folders looked in stay open.
    const PathInFolder::KeepFoldersOpen keepFolders(_installation);
    std::unique_lock lock(_mutex);
    for (;;) {
        if (helper) {
            _changed.wait(lock, [this] { return _closed || !_queued.empty(); });
        }
        if (_stopRequested.load(std::memory_order_relaxed)) {
            _queued.clear();
        }
        if (_queued.empty()) {
            if (!helper || _closed) {
                return;
            }
            continue;
        }
        _compareFront(lock);
    }
}

void ComparisonQueue::_compareFront(std::unique_lock<std::mutex>& lock) {
    const Pair pair = std::move(_queued.front());
    _queued.pop_front();
    ++_comparing;
    lock.unlock();
    const bool alike = _fileManager.contentsEqual(pair.item, pair.installed);
    lock.lock();
    _alike[pair.position] = alike ? 1 : 0;
    --_comparing;
    _changed.notify_all();
}

std::vector<std::size_t> ComparisonQueue::alikeTags() {
    std::vector<std::size_t> tags;
    if (!_helper.joinable()) {
        return tags;
    }
    _compareQueued(Comparer::walk);
    {
        std::unique_lock lock(_mutex);
        _changed.wait(lock, [this] { return _comparing == 0; });
        _closed = true;
    }
    _changed.notify_all();
    _helper.join();
    for (std::size_t i = 0; i < _tags.size(); ++i) {
        if (_alike[i]) {
            tags.push_back(_tags[i]);
        }
    }
    return tags;
}

} // namespace quorvane

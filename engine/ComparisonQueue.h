#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvane {

class FileManager;

// Compares files of an add-on with the installed files they would replace, on a second thread while the
// walk that finds them goes on; the walk's thread helps when the helper falls behind and with what is left
// once it is done. It reads only.
class ComparisonQueue {
public:
    // installation: the folder below which no link is followed while comparing.
    ComparisonQueue(const FileManager& fileManager, const std::string& installation,
                    const std::atomic<bool>& stopRequested);
    // Waits for the comparison under way.
    ~ComparisonQueue();
    ComparisonQueue(const ComparisonQueue&) = delete;
    ComparisonQueue& operator=(const ComparisonQueue&) = delete;

    // Queues the comparison of item with the installed file at installed, known to the caller as tag.
    void add(std::size_t tag, std::string item, std::string installed);
    // Compares what is still queued, waits for the rest, and gives the tags of the files found alike, in
    // the order they were added. Nothing is compared once a stop is requested.
    std::vector<std::size_t> alikeTags();

private:
    struct Pair {
        std::size_t position; // in the order added
        std::string item;
        std::string installed;
    };
    enum class Comparer { helper, walk };
    void _compareQueued(Comparer comparer);
    // Compares the oldest queued pair, the lock let go meanwhile.
    void _compareFront(std::unique_lock<std::mutex>& lock);

    const FileManager& _fileManager;
    const std::string& _installation;
    const std::atomic<bool>& _stopRequested;
    std::mutex _mutex;
    std::condition_variable _changed;
    std::deque<Pair> _queued;
    // For each comparison, by the order it was added: its tag, and 1 when alike.
    std::vector<std::size_t> _tags;
    std::vector<char> _alike;
    std::size_t _comparing = 0;
    bool _closed = false;
    std::thread _helper;
};

} // namespace quorvane

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;

namespace quorvane {

// Follows the bytes an extraction tool writes into its folder while it writes them, and says at once when
// their total passes what the archive declares, so that a lying archive is stopped before it fills its
// disk. Hears of the writes through inotify, on the event loop of the thread that made it.
class ExtractionWatch {
public:
    // overrun is called once, when the files beneath folder hold more than limit bytes.
    ExtractionWatch(std::string folder, std::uint64_t limit, std::function<void()> overrun);
    ~ExtractionWatch();
    ExtractionWatch(const ExtractionWatch&) = delete;
    ExtractionWatch& operator=(const ExtractionWatch&) = delete;

    // The files held more than the limit.
    bool overrun() const { return _overrun; }

private:
    // Watches the folder (again), then notes everything it holds already.
    void _watch(const std::string& folder);
    // A file's size now, or a folder to watch.
    void _note(const std::string& path);
    void _readEvents();

    const std::string _folder;
    const std::uint64_t _limit;
    std::function<void()> _overrunCallback;
    bool _overrun = false;
    int _inotify = -1;
    std::unique_ptr<QSocketNotifier> _notifier;
    // The folders watched, by watch descriptor, and the size last seen of each file.
    std::map<int, std::string> _folders;
    std::map<std::string, std::uint64_t> _sizes;
    std::uint64_t _total = 0;
};

} // namespace quorvane

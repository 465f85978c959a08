#include "engine/ExtractionWatch.h"

#include "platform/PathUtilities.h"

#include <QSocketNotifier>
#include <climits>
#include <dirent.h>
#include <string_view>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvane {
namespace {

constexpr std::uint32_t kEvents =
    IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR | IN_DONT_FOLLOW;

} // namespace

ExtractionWatch::ExtractionWatch(std::string folder, std::uint64_t limit, std::function<void()> overrun)
    : _folder(std::move(folder)), _limit(limit), _overrunCallback(std::move(overrun)),
      _inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    // Without inotify the tool's file size limit alone bounds what it writes.
    if (_inotify < 0) {
        return;
    }
    _notifier = std::make_unique<QSocketNotifier>(_inotify, QSocketNotifier::Read);
    QObject::connect(_notifier.get(), &QSocketNotifier::activated, [this] { _readEvents(); });
    _watch(_folder);
}

ExtractionWatch::~ExtractionWatch() {
    _notifier.reset();
    if (_inotify >= 0) {
        ::close(_inotify);
    }
}

void ExtractionWatch::_watch(const std::string& folder) {
    const int watch = ::inotify_add_watch(_inotify, folder.c_str(), kEvents);
    if (watch < 0) {
        return;
    }
    _folders[watch] = folder;
    // What was made before the watch began.
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..") {
                names.emplace_back(entry->d_name);
            }
        }
        ::closedir(listing);
    }
    for (const std::string& name : names) {
        _note(path::join(folder, name));
    }
}

void ExtractionWatch::_note(const std::string& path) {
    struct stat st {};
    if (_overrun || ::lstat(path.c_str(), &st) != 0) {
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        _watch(path);
        return;
    }
    std::uint64_t& size = _sizes[path];
    _total += static_cast<std::uint64_t>(st.st_size) - size; // wraps back for a file that shrank
    size = static_cast<std::uint64_t>(st.st_size);
    if (_total > _limit) {
        _overrun = true;
        _overrunCallback();
    }
}

void ExtractionWatch::_readEvents() {
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (ssize_t length; !_overrun && (length = ::read(_inotify, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < length && !_overrun;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                _watch(_folder); // events were lost: everything is looked at again
            } else if (const auto folder = _folders.find(event->wd);
                       folder != _folders.end() && event->len > 0) {
                _note(path::join(folder->second, event->name));
            }
        }
    }
}

} // namespace quorvane

#include "app/StopSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The pipe from the signal handler to the event loop: a handler may do little more than write.
int selfPipe[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(selfPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(std::function<void(int signal)> onStop) {
    if (::pipe2(selfPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    _notifier = std::make_unique<QSocketNotifier>(selfPipe[0], QSocketNotifier::Read);
    QObject::connect(_notifier.get(), &QSocketNotifier::activated, [onStop = std::move(onStop)] {
        char received[16];
        for (ssize_t n; (n = ::read(selfPipe[0], received, sizeof received)) > 0;) {
            for (ssize_t i = 0; i < n; ++i) {
                onStop ? onStop(received[i]) : QCoreApplication::quit();
            }
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    if (!_notifier) {
        return;
    }
    for (const int signal : kSignals) {
        ::signal(signal, SIG_DFL);
    }
    _notifier.reset();
    ::close(selfPipe[0]);
    ::close(selfPipe[1]);
    selfPipe[0] = selfPipe[1] = -1;
}

} // namespace quorvane

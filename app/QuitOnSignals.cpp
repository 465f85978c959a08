#include "app/QuitOnSignals.h"

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

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(selfPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitOnSignals::QuitOnSignals() {
    if (::pipe2(selfPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    _notifier = std::make_unique<QSocketNotifier>(selfPipe[0], QSocketNotifier::Read);
    QObject::connect(_notifier.get(), &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(selfPipe[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

QuitOnSignals::~QuitOnSignals() {
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

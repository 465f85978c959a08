#include "app/SingleInstance.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

// How long a later start waits for the running program to take its items. A program that does not
// answer in this time is hung: the later start opens a window of its own instead.
constexpr int kAnswerWaitMs = 10000;

// The items each end in a NUL (no path holds one), and the message with an empty item: so the end is
// known without closing the connection, and an empty message still says "show the window".
QByteArray encoded(const std::vector<std::string>& items) {
    QByteArray message;
    for (const std::string& item : items) {
        message.append(item.data(), static_cast<qsizetype>(item.size()));
        message.append('\0');
    }
    message.append('\0');
    return message;
}

// The items of a whole message; none while it is not whole.
std::optional<std::vector<std::string>> decoded(const QByteArray& message) {
    std::vector<std::string> items;
    qsizetype start = 0;
    for (qsizetype end; (end = message.indexOf('\0', start)) >= 0; start = end + 1) {
        if (end == start) {
            return items;
        }
        items.emplace_back(message.constData() + start, static_cast<std::size_t>(end - start));
    }
    return std::nullopt;
}

// Held while a start decides whether it is the first: flock, which the kernel drops with its process.
class StartLock {
public:
    explicit StartLock(const std::string& path)
        : _fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        while (_fd >= 0 && ::flock(_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~StartLock() {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;

private:
    int _fd;
};

} // namespace

std::string SingleInstance::defaultSocketPath() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QFile::decodeName(runtime)).exists()) {
        return runtime.toStdString() + "/quorvane-updater.socket";
    }
    return QFile::encodeName(QDir::tempPath()).toStdString() + "/quorvane-updater-" +
           std::to_string(::getuid()) + ".socket";
}

SingleInstance::SingleInstance(std::string socketPath) : _socketPath(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::claim(const std::vector<std::string>& items) {
    const StartLock lock(_socketPath + ".lock");
    if (handOver(items)) {
        return Role::handedOver;
    }
    listen();
    return Role::first;
}

bool SingleInstance::handOver(const std::vector<std::string>& items) {
    // In a folder others can write to, a socket of another user's making is never handed anything.
    struct stat socketStatus {};
    if (::lstat(_socketPath.c_str(), &socketStatus) == 0 && socketStatus.st_uid != ::getuid()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(QFile::decodeName(QByteArray::fromStdString(_socketPath)));
    // A socket file nobody listens on (its program was killed) refuses at once.
    if (!socket.waitForConnected(kAnswerWaitMs)) {
        return false;
    }
    socket.write(encoded(items));
    if (!socket.waitForBytesWritten(kAnswerWaitMs)) {
        return false;
    }
    // The running program answers once it has the items.
    return socket.waitForReadyRead(kAnswerWaitMs) && socket.read(1) == "\n";
}

void SingleInstance::listen() {
    _server = std::make_unique<QLocalServer>();
    _server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = QFile::decodeName(QByteArray::fromStdString(_socketPath));
    // Whatever is left at the name is dead: a living program would have answered above.
    QLocalServer::removeServer(name);
    if (!_server->listen(name)) {
        _server.reset(); // the window opens all the same, as before there was a socket
        return;
    }
    connect(_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = _server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            readFrom(socket);
        }
    });
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    // The message stays in the socket's buffer until it is whole.
    const std::optional<std::vector<std::string>> items = decoded(socket->peek(socket->bytesAvailable()));
    if (!items) {
        return;
    }
    socket->readAll();
    socket->write("\n");
    socket->flush();
    emit itemsArrived(*items);
}

} // namespace quorvane

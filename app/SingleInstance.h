#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace quorvane {

// One window per user: the first start of the window listens on a local socket of the user's own, and a
// later start hands its items (a second "Open With") to it and ends. A socket left by a killed program
// is found dead and replaced, never waited on.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role { first, handedOver };

    // The socket in the user's runtime folder, or else in the temporary folder under the user's id.
    static std::string defaultSocketPath();

    explicit SingleInstance(std::string socketPath);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Hands the items (none: the window is only raised) to the program already running and answers
    // handedOver once it has taken them; else starts listening and answers first. Two starts at once
    // take turns.
    Role claim(const std::vector<std::string>& items);

signals:
    // A later start handed these over; empty: it only asks for the window.
    void itemsArrived(const std::vector<std::string>& items);

private:
    bool handOver(const std::vector<std::string>& items);
    void listen();
    void readFrom(QLocalSocket* socket);

    std::string _socketPath;
    std::unique_ptr<QLocalServer> _server;
};

} // namespace quorvane

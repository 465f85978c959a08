#include "platform/qt/QtDesktop.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quorvane {

bool QtDesktop::openFolder(const std::string& path) {
    // The URL is built from the path's bytes, percent-encoded, so that a name that is not UTF-8 survives.
    const QString url =
        QStringLiteral("file://") +
        QString::fromLatin1(
            QByteArray(path.data(), static_cast<qsizetype>(path.size())).toPercentEncoding("/"));
    if (startProgram("xdg-open", {url}) || startProgram("gio", {QStringLiteral("open"), url}) ||
        askFileManager(url)) {
        return true;
    }
    QWidget* window = QApplication::activeWindow();
    auto* box = new QMessageBox(
        QMessageBox::Warning, window ? window->windowTitle() : QApplication::applicationName(),
        QCoreApplication::translate("Quorvane", "No file manager could be started to show the folder %1.")
            .arg(QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()))),
        QMessageBox::Ok, window);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

bool QtDesktop::startProgram(const char* program, const QStringList& arguments) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(program));
    return !found.isEmpty() && QProcess::startDetached(found, arguments);
}

bool QtDesktop::askFileManager(const QString& url) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowFolders"));
    call << QStringList{url} << QString();
    return bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

} // namespace quorvane

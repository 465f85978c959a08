#include "platform/qt/HelpWindow.h"

#include <QFile>
#include <QKeyEvent>
#include <QRegularExpression>

namespace quorvane {

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Quorvane Updater Help"));
    setAccessibleName(windowTitle());
    setOpenLinks(false); // the README's links lead to files of the source tree, which are not shipped
    QFile readme(QStringLiteral(":/help/README.md"));
    if (readme.open(QIODevice::ReadOnly)) {
        setMarkdown(helpText(QString::fromUtf8(readme.readAll())));
    }
    resize(640, 560);
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close(); // left as it was opened, from the keyboard
        return;
    }
    QTextBrowser::keyPressEvent(event);
}

QString HelpWindow::helpText(const QString& markdown) {
    static const QRegularExpression picture(QStringLiteral("^!\\[[^\\]]*\\]\\([^)]*\\)\\s*$"),
                                            QRegularExpression::MultilineOption);
    return QString(markdown).remove(picture);
}

} // namespace quorvane

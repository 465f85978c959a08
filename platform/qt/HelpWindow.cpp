#include "platform/qt/HelpWindow.h"

#include <QFile>
#include <QRegularExpression>

namespace quorvane {

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Quorvane Updater Help"));
    setAccessibleName(windowTitle());
    setOpenExternalLinks(true);
    QFile readme(QStringLiteral(":/help/README.md"));
    if (readme.open(QIODevice::ReadOnly)) {
        setMarkdown(helpText(QString::fromUtf8(readme.readAll())));
    }
    resize(640, 560);
}

QString HelpWindow::helpText(const QString& markdown) {
    static const QRegularExpression picture(QStringLiteral("^!\\[[^\\]]*\\]\\([^)]*\\)\\s*$"),
                                            QRegularExpression::MultilineOption);
    return QString(markdown).remove(picture);
}

} // namespace quorvane

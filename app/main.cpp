// The program: one window listing the Quorvane installations, onto which add-on files are dropped.

#include "app/QuitOnSignals.h"
#include "app/UpdaterApplication.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

namespace {

// The preferences file in the user's configuration folder, which is created when missing.
std::string preferencesPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(folder);
    return QFile::encodeName(folder + "/preferences.ini").toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(quorvane::UpdaterApplication::programName);
    QGuiApplication::setDesktopFileName("io.github.quorvane.Updater");

    QTranslator translator;
    if (translator.load(QLocale(), "quorvane", "_", ":/i18n")) {
        QApplication::installTranslator(&translator);
    }

    quorvane::UpdaterConfiguration configuration;
    configuration.preferencesPath = preferencesPath();
    configuration.stateFolder = quorvane::CleanupJournal::defaultFolder();
    // Quit, a closed window and these signals all end the same way: the tools are stopped and their
    // folders removed as the program goes.
    quorvane::QuitOnSignals quitOnSignals;
    quorvane::UpdaterApplication updater(configuration);
    updater.start();

    const int status = QApplication::exec();
    updater.userDefaults().synchronize();
    return status;
}

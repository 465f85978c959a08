// The program: one window listing the Quorvane installations, onto which add-on files are dropped; with
// options, the same update from a terminal without a window (app/CommandLine.h).

#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/StopSignals.h"
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

// The program's name, version and translation, for the window and the command line alike.
void setUpApplication(QCoreApplication& app, QTranslator& translator) {
    QCoreApplication::setApplicationName(quorvane::UpdaterApplication::programName);
    QCoreApplication::setApplicationVersion(QUORVANE_VERSION);
    if (quorvane::Localizer::loadTranslation(translator, QLocale())) {
        app.installTranslator(&translator);
    }
}

quorvane::UpdaterConfiguration configuration() {
    quorvane::UpdaterConfiguration configuration;
    configuration.preferencesPath = preferencesPath();
    configuration.stateFolder = quorvane::CleanupJournal::defaultFolder();
    return configuration;
}

} // namespace

int main(int argc, char** argv) {
    QTranslator translator;
    // Options ask for the command line, which needs no display: no window is made, nor a GUI application.
    if (!quorvane::CommandLine::selectsWindow(argc, argv)) {
        QCoreApplication app(argc, argv);
        setUpApplication(app, translator);
        return quorvane::CommandLine::run(argc, argv, configuration());
    }

    QApplication app(argc, argv);
    setUpApplication(app, translator);
    QGuiApplication::setDesktopFileName("io.github.quorvane.Updater");

    quorvane::UpdaterConfiguration windowConfiguration = configuration();
    // Items handed over by a file manager ("Open With") wait in the window for an installation.
    windowConfiguration.waitingItems = quorvane::CommandLine::pathArguments(argc, argv);
    // One window: a later start hands its items to the window already open, which comes to the front.
    quorvane::SingleInstance instance(quorvane::SingleInstance::defaultSocketPath());
    if (instance.claim(windowConfiguration.waitingItems) == quorvane::SingleInstance::Role::handedOver) {
        return 0;
    }
    // Quit, a closed window and these signals all end the same way: the tools are stopped and their
    // folders removed as the program goes.
    quorvane::StopSignals stopSignals;
    quorvane::UpdaterApplication updater(windowConfiguration);
    updater.start();
    QObject::connect(
        &instance, &quorvane::SingleInstance::itemsArrived, &app,
        [&updater](const std::vector<std::string>& items) { updater.takeHandedOverItems(items); });

    const int status = QApplication::exec();
    updater.preferences().sync();
    return status;
}

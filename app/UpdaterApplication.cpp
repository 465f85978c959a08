#include "app/UpdaterApplication.h"

#include "platform/qt/QtTableView.h"

namespace quorvane {

UpdaterApplication::UpdaterApplication(const UpdaterConfiguration& configuration)
    : _log(programName), _workspace(_fileManager), _userDefaults(configuration.preferencesPath),
      _bundle(configuration.resourceFolder),
      _cleanupJournal(configuration.stateFolder.empty() ? nullptr
                                                        : std::make_unique<CleanupJournal>(configuration.stateFolder)),
      _installer(InstallerServices{_fileManager, _workspace, _userDefaults, _localizer, _log, _clock, _bundle,
                                   _imageLoader, configuration.locatePath, configuration.jarPath,
                                   _cleanupJournal.get()}),
      _mainWindow(_userDefaults) {
    _installer.connectOutlets(InstallerOutlets{
        .appPathSelector = &_mainWindow.appPathSelector(),
        .file = &_mainWindow.file(),
        .window = &_mainWindow.window(),
        .progress = &_mainWindow.progress(),
        .fileLabel = &_mainWindow.fileLabel(),
        .cancelButton = &_mainWindow.cancelButton(),
    });
    _mainWindow.appPathSelector().setDataSource(&_installer);
    _mainWindow.cancelButton().setAction([this] { _installer.cancelInstall(); });
}

void UpdaterApplication::start() {
    if (_cleanupJournal) {
        _cleanupJournal->cleanUp(_fileManager);
    }
    _installer.awakeFromNib();
}

} // namespace quorvane

#include "app/UpdaterApplication.h"

#include "platform/qt/QtTableView.h"
#include "platform/qt/WindowMenus.h"

namespace quorvane {

UpdaterApplication::UpdaterApplication(const UpdaterConfiguration& configuration)
    : _services(configuration, programName), _bundle(configuration.resourceFolder),
      _workspace(_services.fileManager), _waitingItems(configuration.waitingItems),
      _installer(InstallerServices{_services.fileManager, _workspace, _services.preferences,
                                   _services.localizer, _services.log, _services.clock, _bundle, _imageLoader,
                                   configuration.locatePath, configuration.jarPath,
                                   _services.cleanupJournal.get(), _services.recordStore.get()}),
      _mainWindow(_services.preferences) {
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
    _installer.setWaitingLine(&_mainWindow.waitingLine());
    _mainWindow.menus().setTarget(&_installer);
}

void UpdaterApplication::start() {
    _services.cleanUpLeftovers();
    _installer.awakeFromNib();
    _installer.offerWaitingItems(_waitingItems);
    // The keyboard starts on the rows, where the first installation is selected.
    _mainWindow.appPathSelector().setFocus();
    _mainWindow.menus().refresh();
}

} // namespace quorvane

#include "app/UpdaterApplication.h"

#include "platform/qt/QtTableView.h"
#include "platform/qt/WindowMenus.h"

namespace quorvane {

UpdaterApplication::UpdaterApplication(const UpdaterConfiguration& configuration)
    : _services(configuration, programName), _waitingItems(configuration.waitingItems),
      _mainWindow(_services.preferences, configuration.resourceFolder),
      _controller(WindowServices{_services.updateServices(_services.log, configuration.jarPath), _desktop,
                                 _services.preferences, configuration.locatePath},
                  _mainWindow) {
    _mainWindow.connect(
        _controller.model(), _controller.dropTarget(), [this] { _controller.coordinator().cancel(); },
        [this] { return _controller.coordinator().mayClose(); });
    _mainWindow.menus().setTarget(&_controller);
}

void UpdaterApplication::start() {
    _services.cleanUpLeftovers();
    _controller.start();
    _controller.offerWaitingItems(_waitingItems);
    // The keyboard starts on the rows, where the first installation is selected.
    _mainWindow.table().setFocus();
    _mainWindow.menus().refresh();
}

void UpdaterApplication::takeHandedOverItems(const std::vector<std::string>& items) {
    if (!items.empty()) {
        _controller.offerWaitingItems(items);
    }
    QWidget& window = _mainWindow.widget();
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace quorvane

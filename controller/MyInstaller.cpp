#include "controller/MyInstaller.h"

#include "engine/DateTimeComponent.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/DragTypes.h"
#include "platform/FileManager.h"
#include "platform/ImageCell.h"
#include "platform/ImageLoader.h"
#include "platform/Localizer.h"
#include "platform/Log.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/TableColumn.h"
#include "platform/TableView.h"
#include "platform/Preferences.h"
#include "platform/Window.h"
#include "process/ToolProcess.h"

#include <ctime>

namespace quorvane {
namespace {

constexpr const char* kGameName = "Quorvane";

} // namespace

MyInstaller::MyInstaller(InstallerServices services)
    : _installationList(services.fileManager, services.workspace, services.preferences, services.localizer,
                        this),
      _fileManager(services.fileManager), _preferences(services.preferences),
      _localizer(services.localizer), _log(services.log), _clock(services.clock), _bundle(services.bundle),
      _imageLoader(services.imageLoader), _locatePath(std::move(services.locatePath)),
      _jarPath(std::move(services.jarPath)), _cleanupJournal(services.cleanupJournal), _recordStore(services.recordStore),
      _workspace(services.workspace),
      _undoJob(services.fileManager, services.localizer, services.recordStore) {
    _initVariables();
}

MyInstaller::~MyInstaller() {
    _updateRun.reset(); // a run still going stops, and its extraction folders go with it
    setTargetPath(std::nullopt);
    setUpdateFiles(std::nullopt);
    setGoodFolderIcon(nullptr);
    setBadFolderIcon(nullptr);
}

void MyInstaller::connectOutlets(const InstallerOutlets& outlets) {
    _appPathSelector = outlets.appPathSelector;
    _file = outlets.file;
    _window = outlets.window;
    _progress = outlets.progress;
    _fileLabel = outlets.fileLabel;
    _cancelButton = outlets.cancelButton;
}

void MyInstaller::_initVariables() {
    _targetPath.reset();
    _updateFiles.reset();
    _goodFolderIcon.reset();
    _badFolderIcon.reset();
}

void MyInstaller::awakeFromNib() {
    _initVariables();
    if (_window) {
        _window->setFrameAutosaveName(_window->title());
        _window->setShouldClose([this] { return windowShouldClose(); });
    }
    if (_appPathSelector) {
        _appPathSelector->registerForDraggedTypes({NSFilenamesPboardType});
        if (TableColumn* column = _appPathSelector->tableColumnWithIdentifier("icon")) {
            column->setDataCell(ImageCell{ImageAlignment::NSImageAlignCenter, ImageScaling::NSScaleProportionally});
        }
    }
    _installationList.clear();

    if (const auto saved = _preferences.stringList("Target_Path_Array")) {
        _installationList._addSavedApplications(*saved);
    } else {
        AppRecord placeholder;
        placeholder.pathDescription =
            AttributedString(formatMessage(_localized("Looking for your %@ installation. Please wait ..."), {kGameName}));
        _installationList.targetPathArray().push_back(std::move(placeholder));
        ToolProcess::start(
            {_locatePath, "/", {"*/Quorvane"}, nullptr,
             [this](ToolProcess& process) { _installationList._fillApplicationList(process.output()); }},
            _log);
    }

    if (_appPathSelector) {
        _appPathSelector->reloadData();
    }
    if (_window) {
        _window->makeKeyAndOrderFront();
    }
}

std::string MyInstaller::_localized(const std::string& key) const { return _localizer.text(key); }

std::string MyInstaller::_dateTimeComponent() const {
    return dateTimeComponentAt(_clock.now());
}


const ImagePtr& MyInstaller::goodFolderIcon() {
    if (!_goodFolderIcon) {
        if (const auto path = _bundle.resourcePath("Zell", "icns")) {
            setGoodFolderIcon(_imageLoader.imageWithContentsOfFile(*path));
        }
    }
    return _goodFolderIcon;
}

const ImagePtr& MyInstaller::badFolderIcon() {
    if (!_badFolderIcon) {
        if (const auto path = _bundle.resourcePath("Zell_bad", "icns")) {
            setBadFolderIcon(_imageLoader.imageWithContentsOfFile(*path));
        }
    }
    return _badFolderIcon;
}

bool MyInstaller::updateInProgress() const {
    return (_updateRun && _updateRun->inProgress()) || _puttingBack;
}

} // namespace quorvane

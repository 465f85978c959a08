#include "controller/MyInstaller.h"

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
#include "platform/UserDefaults.h"
#include "platform/Window.h"
#include "process/MyProcess.h"

#include <ctime>

namespace quorvane {
namespace {

constexpr const char* kGameName = "Quorvane";
// Names of this many seconds ahead are tried before a taken name is given up on.
constexpr std::time_t kMaxTimestampsTried = 100000;

} // namespace

MyInstaller::MyInstaller(InstallerServices services)
    : _installationList(services.fileManager, services.workspace, services.userDefaults, services.localizer,
                        this),
      _fileManager(services.fileManager), _userDefaults(services.userDefaults),
      _localizer(services.localizer), _log(services.log), _clock(services.clock), _bundle(services.bundle),
      _imageLoader(services.imageLoader), _locatePath(std::move(services.locatePath)),
      _jarPath(std::move(services.jarPath)), _cleanupJournal(services.cleanupJournal) {
    _initVariables();
}

MyInstaller::~MyInstaller() {
    // Tools still running are killed first, so that nothing writes into the folders as they go.
    _extractionQueue.stopAll();
    setTargetPath(std::nullopt);
    setPrivateFiles(std::nullopt);
    setTempFolders(std::nullopt); // extraction folders still on disk go with the controller
    for (const std::string& folder : _finishedTempFolders) {
        _fileManager.removeFileAtPath(folder);
    }
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
    _privateFiles.reset();
    _tempFolders.reset();
    _updateFiles.reset();
    _goodFolderIcon.reset();
    _badFolderIcon.reset();
    _resetUpdateFigures();
}

void MyInstaller::_resetUpdateFigures() {
    _progressValue = 0.0;
    _progressMaxValue = 0.0;
    _numFilesInstalled = 0;
    _numDuplicateFiles = 0;
    _numFilesReplaced = 0;
    _numFilesFailed = 0;
    _notInstalled.clear();
    _walkedFolders.clear();
    _droppedItems.clear();
    if (_updateFiles) {
        _droppedItems.insert(_updateFiles->begin(), _updateFiles->end());
    }
    _lineUpFound = false;
}

void MyInstaller::awakeFromNib() {
    _initVariables();
    if (_window) {
        _window->setFrameAutosaveName(_window->title());
    }
    if (_appPathSelector) {
        _appPathSelector->registerForDraggedTypes({NSFilenamesPboardType});
        if (TableColumn* column = _appPathSelector->tableColumnWithIdentifier("icon")) {
            column->setDataCell(ImageCell{ImageAlignment::NSImageAlignCenter, ImageScaling::NSScaleProportionally});
        }
    }
    _installationList.clear();

    if (const auto saved = _userDefaults.stringArrayForKey("Target_Path_Array")) {
        _installationList._addApplications(*saved, true);
    } else {
        AppRecord placeholder;
        placeholder.pathDescription =
            AttributedString(formatMessage(_localized("Looking for your %@ installation. Please wait ..."), {kGameName}));
        _installationList.targetPathArray().push_back(std::move(placeholder));
        MyProcess::initProcess(
            _locatePath, "/", std::string("*/Quorvane"), std::nullopt, nullptr,
            [this](MyProcess& process) { _installationList._fillApplicationList(process.outputString()); },
            this, _log);
    }

    if (_appPathSelector) {
        _appPathSelector->reloadData();
    }
    if (_window) {
        _window->makeKeyAndOrderFront();
    }
}

std::string MyInstaller::_localized(const std::string& key) const { return _localizer.localizedStringForKey(key); }

std::string MyInstaller::_dateTimeComponent() const {
    return _dateTimeComponentAt(_clock.now());
}

std::string MyInstaller::_dateTimeComponentAt(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local);
    return text;
}

std::string MyInstaller::_freeTimestampPathIn(const std::string& folder) const {
    // The names carry no suffix: when this second's name is taken, the next second's is tried.
    const std::time_t now = _clock.now();
    for (std::time_t second = now;; ++second) {
        std::string candidate = path::stringByAppendingPathComponent(folder, _dateTimeComponentAt(second));
        if (!_fileManager.entryExistsAtPath(candidate) || second - now >= kMaxTimestampsTried) {
            return candidate;
        }
    }
}

const std::optional<std::string>& MyInstaller::privateFiles() {
    if (_privateFiles) {
        return _privateFiles;
    }
    if (!_targetPath || _targetPath->empty()) {
        _log.log("Can't create directory");
        return _privateFiles;
    }
    const std::string backupRoot = path::stringByAppendingPathComponent(*_targetPath, "BackupFiles");
    if (!_fileManager.fileExistsAtPath(backupRoot) && !_fileManager.createDirectoryAtPath(backupRoot)) {
        _log.log("Can't create directory");
    }
    // The folder is the run's alone only if this run made it: another window updating the same
    // installation in the same second takes the next second's name. A folder that cannot be made for
    // another reason keeps its name; the moves into it then fail.
    const std::time_t now = _clock.now();
    for (std::time_t second = now;; ++second) {
        std::string candidate =
            path::stringByAppendingPathComponent(backupRoot, _dateTimeComponentAt(second));
        if (_fileManager.createDirectoryAtPath(candidate) || !_fileManager.entryExistsAtPath(candidate) ||
            second - now >= kMaxTimestampsTried) {
            setPrivateFiles(std::move(candidate));
            return _privateFiles;
        }
    }
}

std::vector<std::string>& MyInstaller::tempFolders() {
    if (!_tempFolders) {
        setTempFolders(std::vector<std::string>());
    }
    return *_tempFolders;
}

void MyInstaller::setTempFolders(std::optional<std::vector<std::string>> tempFolders) {
    if (_tempFolders) {
        for (const std::string& folder : *_tempFolders) {
            _fileManager.removeFileAtPath(folder);
        }
    }
    _tempFolders = std::move(tempFolders);
}

const ImagePtr& MyInstaller::goodFolderIcon() {
    if (!_goodFolderIcon) {
        if (const auto path = _bundle.pathForResource("Zell", "icns")) {
            setGoodFolderIcon(_imageLoader.imageWithContentsOfFile(*path));
        }
    }
    return _goodFolderIcon;
}

const ImagePtr& MyInstaller::badFolderIcon() {
    if (!_badFolderIcon) {
        if (const auto path = _bundle.pathForResource("Zell_bad", "icns")) {
            setBadFolderIcon(_imageLoader.imageWithContentsOfFile(*path));
        }
    }
    return _badFolderIcon;
}

bool MyInstaller::updateInProgress() const {
    return recursionLevel > 0 || (_tempFolders && !_tempFolders->empty());
}

} // namespace quorvane

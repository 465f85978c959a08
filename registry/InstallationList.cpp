#include "registry/InstallationList.h"

#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "registry/InstallationListDelegate.h"

#include <algorithm>

namespace quorvane {
namespace {

// The version file is read this deep and no further: the version stands at its head, and a huge file
// must not hold up the start or a drag.
constexpr std::size_t kMaxVersionFileLength = 64 * 1024;

const TextStyle kStatusLineStyle{10.0, TextColor::Red};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

} // namespace

InstallationList::InstallationList(FileManager& fileManager, Workspace& workspace, Preferences& preferences,
                                   Localizer& localizer, InstallationListDelegate* delegate)
    : _fileManager(fileManager), _workspace(workspace), _preferences(preferences), _localizer(localizer),
      _delegate(delegate) {}

void InstallationList::clear() {
    _targetPathArray.clear();
    _firstBadEntry = 0;
}

std::string InstallationList::_localized(const std::string& key) const {
    return _localizer.text(key);
}

InstallationStatus InstallationList::_isValidApplication(const std::string& path) {
    bool isDirectory = false;
    if (!_fileManager.exists(path, &isDirectory) || !isDirectory) {
        return InstallationStatusNotFound;
    }
    // The folder stays the working directory: every test below is relative to it.
    if (!_fileManager.changeCurrentDirectoryPath(path)) {
        return InstallationStatusNotFound;
    }
    if (!_fileManager.exists("Quorvane", &isDirectory)) {
        return InstallationStatusNotFound;
    }
    if (isDirectory && !_workspace.isApplicationBundle("Quorvane")) {
        return InstallationStatusNotFound;
    }

    InstallationStatus status = InstallationStatusValid;
    if (!_fileManager.exists("Art", &isDirectory) || !isDirectory) {
        status += InstallationStatusArtMissing;
    }
    if (!_fileManager.exists("Text", &isDirectory) || !isDirectory) {
        status += InstallationStatusTextMissing;
    }
    if (status == InstallationStatusValid) {
        if (!_fileManager.exists("Text/version.txt")) {
            status += InstallationStatusVersionFileMissing;
        } else {
            const auto text = _fileManager.readFileHead("Text/version.txt", kMaxVersionFileLength);
            if (!text || text->find("1.29") == std::string::npos) {
                status += InstallationStatusWrongVersion;
            }
        }
    }
    return status;
}

std::string InstallationList::_statusDescription(InstallationStatus status) const {
    switch (status) {
    case InstallationStatusValid:
        return "";
    case InstallationStatusArtMissing:
        return formatMessage(_localized("%@ folder missing."), {"Art"});
    case InstallationStatusTextMissing:
        return formatMessage(_localized("%@ folder missing."), {"Text"});
    case InstallationStatusArtAndTextMissing:
        return formatMessage(_localized("%@ and %@ folders missing."), {"Art", "Text"});
    case InstallationStatusVersionFileMissing:
        return formatMessage(_localized("%@ missing."), {"Text/version.txt"});
    case InstallationStatusWrongVersion:
        return formatMessage(_localized("Not version %@."), {"1.29"});
    default:
        return _localized("Unknown error.");
    }
}

std::string InstallationList::_listedStatusText(InstallationStatus status) const {
    // A listed installation found gone later is no installation at all: say where to look for it.
    return status == InstallationStatusNotFound ? _localized("Not found. Is its drive connected?")
                                                : _statusDescription(status);
}

void InstallationList::_fillApplicationList(const std::string& output) {
    clear();
    if (!output.empty()) {
        _addApplications(splitLines(output), false);
    }
    _tellChanged();
}

bool InstallationList::_addApplications(const std::optional<std::vector<std::string>>& apps, bool folders) {
    return _addApplications(apps, folders, false);
}

bool InstallationList::_addSavedApplications(const std::vector<std::string>& paths) {
    return _addApplications(paths, true, true);
}

bool InstallationList::_addApplications(const std::optional<std::vector<std::string>>& apps, bool folders,
                                        bool keepAbsent) {
    bool appsAdded = false;
    if (!apps || apps->empty()) {
        return false;
    }
    std::vector<AppRecord>& list = _targetPathArray;
    std::vector<std::string> pathList;
    for (const AppRecord& record : list) {
        if (record.path) {
            pathList.push_back(*record.path);
        }
    }

    for (std::string app : *apps) {
        if (app.empty()) {
            continue;
        }
        if (!folders) {
            app = path::parent(app);
        }
        if (std::find(pathList.begin(), pathList.end(), app) != pathList.end()) {
            continue;
        }
        // A folder that is there but holds no installation is forgotten; one that is not there at all
        // may be on a drive that is not connected now. Looked at before the check moves the working
        // directory.
        const bool absent = keepAbsent && !_fileManager.exists(app);
        const InstallationStatus status = _isValidApplication(app);
        if (status == InstallationStatusNotFound && !absent) {
            continue;
        }
        pathList.push_back(app);
        appsAdded = true;

        AppRecord record = _makeAppRecord(app, status);
        if (status == InstallationStatusValid) {
            const auto at = std::min<std::size_t>(static_cast<std::size_t>(std::max(_firstBadEntry, 0)), list.size());
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(record));
            ++_firstBadEntry;
        } else {
            list.push_back(std::move(record));
        }
    }

    if (_delegate) {
        _delegate->installationListWeighed(pathList.size());
    }
    if (appsAdded) {
        _tellChanged();
        _savePathList(pathList);
    }
    return appsAdded;
}

void InstallationList::_savePathList(const std::vector<std::string>& pathList) {
    _preferences.setStringList("Target_Path_Array", pathList);
    // Written at once: a list that cannot be saved is said once a run, and stays listed all the same.
    const int error = _preferences.sync();
    if (error == 0 || _pathListFailureReported) {
        return;
    }
    _pathListFailureReported = true;
    if (_delegate) {
        _delegate->installationListNotSaved(error);
    }
}

AppRecord InstallationList::_makeAppRecord(const std::string& path, InstallationStatus status) {
    AttributedString description(formatMessage("%@\n%@", {path, _listedStatusText(status)}));
    description.setAttributes(kStatusLineStyle, path.size() + 1,
                              description.string().size() - path.size() - 1);

    AppRecord record;
    record.path = path;
    record.pathDescription = std::move(description);
    record.status = status;
    if (_delegate) {
        record.icon =
            status == InstallationStatusValid ? _delegate->goodFolderIcon() : _delegate->badFolderIcon();
    }
    record.identity = _fileManager.identity(path);
    return record;
}

InstallationStatus InstallationList::_judgeListedApplicationAgain(const std::string& path, bool* replaced) {
    const InstallationStatus status = _isValidApplication(path);
    std::vector<AppRecord>& list = _targetPathArray;
    const auto listed =
        std::find_if(list.begin(), list.end(), [&](const AppRecord& r) { return r.path == path; });
    if (listed == list.end()) {
        *replaced = false;
        return status;
    }
    *replaced = listed->identity != _fileManager.identity(path);
    if (!*replaced && listed->status == status) {
        return status;
    }
    // The record is rebuilt in its place, or moved across the border when it turned valid or invalid: the
    // valid installations stay above the others.
    AppRecord record = _makeAppRecord(path, status);
    const bool wasValid = listed->status == InstallationStatusValid;
    if (wasValid == (status == InstallationStatusValid)) {
        *listed = std::move(record);
    } else {
        list.erase(listed);
        _firstBadEntry += wasValid ? -1 : 0;
        const auto border =
            std::clamp<std::int32_t>(_firstBadEntry, 0, static_cast<std::int32_t>(list.size()));
        list.insert(list.begin() + border, std::move(record));
        _firstBadEntry += wasValid ? 0 : 1;
    }
    _tellChanged();
    return status;
}

bool InstallationList::_removeApplication(const std::string& path) {
    std::vector<AppRecord>& list = _targetPathArray;
    const auto listed = std::find_if(list.begin(), list.end(), [&](const AppRecord& r) { return r.path == path; });
    if (listed == list.end()) {
        return false;
    }
    if (listed - list.begin() < _firstBadEntry) {
        --_firstBadEntry;
    }
    list.erase(listed);
    std::vector<std::string> pathList;
    for (const AppRecord& record : list) {
        if (record.path) {
            pathList.push_back(*record.path);
        }
    }
    _tellChanged();
    _savePathList(pathList);
    return true;
}

void InstallationList::_judgeAbsentApplicationsAgain() {
    std::vector<std::string> absent;
    for (const AppRecord& record : _targetPathArray) {
        if (record.path && record.status == InstallationStatusNotFound &&
            _fileManager.exists(*record.path)) {
            absent.push_back(*record.path);
        }
    }
    // Judging again may move a record: the paths are taken first.
    for (const std::string& path : absent) {
        bool replaced = false;
        _judgeListedApplicationAgain(path, &replaced);
    }
}

void InstallationList::_tellChanged() {
    if (_delegate) {
        _delegate->installationListChanged();
    }
}

} // namespace quorvane

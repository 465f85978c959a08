#include "registry/InstallationList.h"

#include "platform/FileManager.h"
#include "platform/PathUtilities.h"
#include "platform/Preferences.h"

#include <algorithm>

namespace quorvane {
namespace {

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

InstallationList::InstallationList(FileManager& fileManager, Preferences& preferences,
                                   const Localizer& localizer)
    : _fileManager(fileManager), _preferences(preferences), _check(localizer) {}

const Installation* InstallationList::at(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < _installations.size()
               ? &_installations[static_cast<std::size_t>(row)]
               : nullptr;
}

std::optional<int> InstallationList::rowOf(const std::string& path) const {
    const auto listed =
        std::find_if(_installations.begin(), _installations.end(),
                     [&](const Installation& installation) { return installation.path == path; });
    return listed == _installations.end()
               ? std::nullopt
               : std::optional<int>(static_cast<int>(listed - _installations.begin()));
}

void InstallationList::setSearching(bool searching) {
    emit aboutToChange();
    _searching = searching;
    emit changed();
}

bool InstallationList::addFolders(const std::vector<std::string>& folders) {
    return add(folders, Absent::leftOut);
}

bool InstallationList::restoreSaved(const std::vector<std::string>& folders) {
    return add(folders, Absent::listed);
}

void InstallationList::fillFromSearch(const std::string& output) {
    emit aboutToChange();
    _installations.clear();
    _validCount = 0;
    _searching = false;
    emit changed();
    if (output.empty()) {
        return;
    }
    // Each line names an application; its installation is the folder that holds it.
    std::vector<std::string> folders;
    for (const std::string& line : splitLines(output)) {
        if (!line.empty()) {
            folders.push_back(path::parent(line));
        }
    }
    addFolders(folders);
}

bool InstallationList::add(const std::vector<std::string>& folders, Absent absent) {
    std::vector<Installation> added;
    // Saved in the order known: the rows as they stand, then the new ones in the order found.
    std::vector<std::string> saved = paths();
    for (const std::string& folder : folders) {
        const auto known = [&](const Installation& installation) { return installation.path == folder; };
        if (folder.empty() || rowOf(folder) || std::any_of(added.begin(), added.end(), known)) {
            continue;
        }
        // A folder that is there but holds no installation is forgotten; one that is not there at all may
        // be on a drive that is not connected now.
        const InstallationStatus status = _check.judge(folder);
        if (status == InstallationStatus::notFound &&
            (absent == Absent::leftOut || _fileManager.exists(folder))) {
            continue;
        }
        added.push_back(judged(folder, status));
        saved.push_back(folder);
        _removed.erase(folder);
    }
    if (!added.empty()) {
        emit aboutToChange();
        for (Installation& installation : added) {
            insert(std::move(installation));
        }
        emit changed();
    }
    emit weighed(saved.size());
    if (!added.empty()) {
        save(saved);
    }
    return !added.empty();
}

void InstallationList::insert(Installation installation) {
    if (installation.takesItems()) {
        _installations.insert(_installations.begin() + static_cast<std::ptrdiff_t>(_validCount),
                              std::move(installation));
        ++_validCount;
    } else {
        _installations.push_back(std::move(installation));
    }
}

Installation InstallationList::judged(const std::string& path, InstallationStatus status) const {
    return Installation{path, status, _fileManager.identity(path)};
}

bool InstallationList::remove(const std::string& path) {
    const std::optional<int> row = rowOf(path);
    if (!row) {
        return false;
    }
    emit aboutToChange();
    if (static_cast<std::size_t>(*row) < _validCount) {
        --_validCount;
    }
    _installations.erase(_installations.begin() + *row);
    _removed.insert(path);
    emit changed();
    save(paths());
    return true;
}

InstallationList::Verdict InstallationList::judgeAgain(const std::string& path) {
    const InstallationStatus status = _check.judge(path);
    const std::optional<int> row = rowOf(path);
    if (!row) {
        return {status, false};
    }
    Installation& listed = _installations[static_cast<std::size_t>(*row)];
    const bool replaced = listed.identity != _fileManager.identity(path);
    if (!replaced && listed.status == status) {
        return {status, false};
    }
    // Rebuilt in its place, or moved across the border when it turned valid or invalid: the valid
    // installations stay above the others.
    emit aboutToChange();
    Installation rebuilt = judged(path, status);
    if (listed.takesItems() == rebuilt.takesItems()) {
        listed = std::move(rebuilt);
    } else {
        _validCount -= listed.takesItems() ? 1 : 0;
        _installations.erase(_installations.begin() + *row);
        _installations.insert(_installations.begin() + static_cast<std::ptrdiff_t>(_validCount),
                              std::move(rebuilt));
        _validCount += status == InstallationStatus::valid ? 1 : 0;
    }
    emit changed();
    return {status, replaced};
}

void InstallationList::judgeAbsentAgain() {
    std::vector<std::string> back;
    for (const Installation& installation : _installations) {
        if (installation.status == InstallationStatus::notFound && _fileManager.exists(installation.path)) {
            back.push_back(installation.path);
        }
    }
    // Judging again may move a row: the paths are taken first.
    for (const std::string& path : back) {
        judgeAgain(path);
    }
}

std::vector<std::string> InstallationList::paths() const {
    std::vector<std::string> paths;
    for (const Installation& installation : _installations) {
        paths.push_back(installation.path);
    }
    return paths;
}

void InstallationList::save(const std::vector<std::string>& paths) {
    // Another window or a command line may have saved installations since: they stay saved.
    const auto merged = [&](std::optional<std::vector<std::string>> stored) {
        std::vector<std::string> kept = paths;
        for (std::string& path : stored.value_or(std::vector<std::string>())) {
            if (!_removed.contains(path) && std::find(kept.begin(), kept.end(), path) == kept.end()) {
                kept.push_back(std::move(path));
            }
        }
        return kept;
    };
    // Written at once: a list that cannot be saved is said once a run, and stays listed all the same.
    const int error = _preferences.changeStringList("Target_Path_Array", merged);
    if (error != 0 && !std::exchange(_saveFailureTold, true)) {
        emit notSaved(error);
    }
}

} // namespace quorvane

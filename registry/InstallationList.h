#pragma once

#include "registry/AppRecord.h"
#include "registry/InstallationStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

class FileManager;
class InstallationListDelegate;
class Localizer;
class Preferences;
class Workspace;

// The known installations of the game, one record per table row: how a folder is judged, the order of
// the records (the valid installations first), the list saved under "Target_Path_Array", and the reading
// of the locate query's output. It knows no window; its delegate shows it.
class InstallationList {
public:
    // Without a delegate the records carry no icons and changes are told to no one.
    InstallationList(FileManager& fileManager, Workspace& workspace, Preferences& preferences,
                     Localizer& localizer, InstallationListDelegate* delegate);
    InstallationList(const InstallationList&) = delete;
    InstallationList& operator=(const InstallationList&) = delete;

    // The records in table order. The first firstBadEntry() of them are the valid installations, in the
    // order they were added; the others follow in the order they were added.
    std::vector<AppRecord>& targetPathArray() { return _targetPathArray; }
    const std::vector<AppRecord>& targetPathArray() const { return _targetPathArray; }
    std::int32_t firstBadEntry() const { return _firstBadEntry; }
    // Empties the list: no records, so none of them valid.
    void clear();

    // The verdict on a folder, judged on disk. The folder is left the process's working directory.
    InstallationStatus _isValidApplication(const std::string& path);
    std::string _statusDescription(InstallationStatus status) const;
    // The status line of a listed installation: that of _statusDescription, and for one that has gone
    // since it was listed, where to look for it.
    std::string _listedStatusText(InstallationStatus status) const;

    // Lists every installation among apps that is not listed yet (with folders false: the folders that
    // hold the items named) and saves the paths; true when at least one was added.
    bool _addApplications(const std::optional<std::vector<std::string>>& apps, bool folders);
    // The saved list at start: as _addApplications with folders, but a path with nothing at it (a drive
    // not connected, a share not mounted) is listed as not found and stays saved until it is back.
    bool _addSavedApplications(const std::vector<std::string>& paths);
    // The list rebuilt from the locate query's output: one path per line.
    void _fillApplicationList(const std::string& output);
    // Takes the installation off the list and saves the list; the folder itself is not touched. No when
    // it is not listed.
    bool _removeApplication(const std::string& path);
    // Judges a listed installation again; replaced tells whether another folder now stands at its path.
    // When the verdict or the folder changed, its record is rebuilt with the new verdict.
    InstallationStatus _judgeListedApplicationAgain(const std::string& path, bool* replaced);
    // Looks again for the listed installations that were not found; those that are back get their
    // records rebuilt. Only they are judged: the others keep their verdicts.
    void _judgeAbsentApplicationsAgain();

private:
    std::string _localized(const std::string& key) const;
    // _addApplications; with keepAbsent, a path with nothing at it is listed as not found.
    bool _addApplications(const std::optional<std::vector<std::string>>& apps, bool folders, bool keepAbsent);
    // Saves the paths under "Target_Path_Array"; the first failure of a run is told to the delegate.
    void _savePathList(const std::vector<std::string>& pathList);
    AppRecord _makeAppRecord(const std::string& path, InstallationStatus status);
    void _tellChanged();

    FileManager& _fileManager;
    Workspace& _workspace;
    Preferences& _preferences;
    Localizer& _localizer;
    InstallationListDelegate* _delegate;
    std::vector<AppRecord> _targetPathArray;
    std::int32_t _firstBadEntry = 0;
    // The list could not be saved, and the delegate has been told.
    bool _pathListFailureReported = false;
};

} // namespace quorvane

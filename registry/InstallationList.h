#pragma once

#include "registry/Installation.h"
#include "registry/InstallationCheck.h"

#include <QObject>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvane {

class FileManager;
class Localizer;
class Preferences;

// The known installations of the game, in the order the window lists them: the valid ones first, each
// group in the order added. Every change is saved at once under "Target_Path_Array". It knows no window:
// it tells of its changes by signals.
class InstallationList : public QObject {
    Q_OBJECT

public:
    InstallationList(FileManager& fileManager, Preferences& preferences, const Localizer& localizer);

    const std::vector<Installation>& installations() const { return _installations; }
    // The first validCount() installations are the valid ones.
    std::size_t validCount() const { return _validCount; }
    // The installation at the row; none outside the list.
    const Installation* at(int row) const;
    std::optional<int> rowOf(const std::string& path) const;
    const InstallationCheck& check() const { return _check; }

    // While the installations are being looked for, the list is empty and says so.
    bool searching() const { return _searching; }
    void setSearching(bool searching);

    // Lists every installation among the folders that is not listed yet and saves the paths; yes when at
    // least one was added. A folder that holds no installation is left out.
    bool addFolders(const std::vector<std::string>& folders);
    // The saved list at start: as addFolders, but a path with nothing at it (a drive not connected, a share
    // not mounted) is listed as not found and stays saved until it is back.
    bool restoreSaved(const std::vector<std::string>& folders);
    // The list rebuilt from the output of the search for installations: one application path per line,
    // each naming the installation that holds it. The search ends with it.
    void fillFromSearch(const std::string& output);
    // Takes the installation off the list and saves the list; the folder itself is not touched. No when
    // it is not listed.
    bool remove(const std::string& path);

    struct Verdict {
        InstallationStatus status;
        // Another folder now stands at the listed path.
        bool replaced = false;
    };
    // Judges a listed installation again; when the verdict or the folder changed, its row is rebuilt.
    Verdict judgeAgain(const std::string& path);
    // Looks again for the listed installations that were not found; those that are back are judged again.
    void judgeAbsentAgain();

signals:
    // Rows are about to be added, rebuilt, moved or removed; changed() follows.
    void aboutToChange();
    void changed();
    // An addition has been weighed, also one that added nothing: listedPaths installations are listed now.
    void weighed(std::size_t listedPaths);
    // The list could not be written to the preferences file (error: the system's error number). Said once
    // a run of the program: later failures are not told.
    void notSaved(int error);

private:
    enum class Absent { leftOut, listed };
    bool add(const std::vector<std::string>& folders, Absent absent);
    Installation judged(const std::string& path, InstallationStatus status) const;
    void insert(Installation installation);
    // Saves the paths under "Target_Path_Array", with those another process of the program saved since
    // and this one did not remove; the first failure of a run is told.
    void save(const std::vector<std::string>& paths);
    std::vector<std::string> paths() const;

    FileManager& _fileManager;
    Preferences& _preferences;
    InstallationCheck _check;
    std::vector<Installation> _installations;
    std::size_t _validCount = 0;
    bool _searching = false;
    bool _saveFailureTold = false;
    // The paths taken off the list by this process: the only ones that leave the saved list.
    std::set<std::string> _removed;
};

} // namespace quorvane

#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <string>

namespace quorvane {

class FileManager;
class InstallationList;

// Watches where the listed installations that were not found would appear: for each, the nearest folder
// of its path that is there (the installation's own folder once it is). When one of them changes, a drive
// may have come back: the list looks for its absent installations again.
class AbsentInstallationWatch : public QObject {
public:
    AbsentInstallationWatch(InstallationList& list, const FileManager& fileManager);

    QStringList watchedFolders() const { return _watcher.directories(); }

private:
    // Watches the nearest folders of the absent installations as the list stands now, and no others; yes
    // when that moved the watch.
    bool watchAbsent();
    std::string nearestFolder(std::string path) const;

    InstallationList& _list;
    const FileManager& _fileManager;
    QFileSystemWatcher _watcher;
};

} // namespace quorvane

#include "registry/AbsentInstallationWatch.h"

#include "platform/FileManager.h"
#include "platform/PathUtilities.h"
#include "registry/InstallationList.h"

#include <QFile>

namespace quorvane {

AbsentInstallationWatch::AbsentInstallationWatch(InstallationList& list, const FileManager& fileManager)
    : _list(list), _fileManager(fileManager) {
    connect(&_list, &InstallationList::changed, this, &AbsentInstallationWatch::watchAbsent);
    // A folder that appeared may be only a step on the way (the drive's folder before the installation's):
    // the watch moves on to it even when no row changed. What appeared meanwhile, before the new folder was
    // watched, is looked at once more.
    connect(&_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        constexpr int kMostSteps = 16;
        for (int step = 0; step < kMostSteps; ++step) {
            _list.judgeAbsentAgain();
            if (!watchAbsent()) {
                return;
            }
        }
    });
}

std::string AbsentInstallationWatch::nearestFolder(std::string path) const {
    bool isFolder = false;
    while (!path.empty() && path != "/" && !(_fileManager.exists(path, &isFolder) && isFolder)) {
        path = path::parent(path);
    }
    return path.empty() ? "/" : path;
}

bool AbsentInstallationWatch::watchAbsent() {
    QStringList wanted;
    for (const Installation& installation : _list.installations()) {
        if (installation.status == InstallationStatus::notFound) {
            // The watcher names folders as text; one whose name is not UTF-8 goes unwatched, and the window's
            // activation and View ▸ Refresh still find its installation.
            wanted.append(QFile::decodeName(QByteArray::fromStdString(nearestFolder(installation.path))));
        }
    }
    wanted.removeDuplicates();
    QStringList unwanted;
    for (const QString& watched : _watcher.directories()) {
        if (!wanted.removeOne(watched)) {
            unwanted.append(watched);
        }
    }
    if (!unwanted.isEmpty()) {
        _watcher.removePaths(unwanted);
    }
    if (!wanted.isEmpty()) {
        _watcher.addPaths(wanted);
    }
    return !unwanted.isEmpty() || !wanted.isEmpty();
}

} // namespace quorvane

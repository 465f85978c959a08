#include "controller/MyInstaller.h"
#include "platform/FileHandle.h"
#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/PathUtilities.h"
#include "process/MyProcess.h"

#include <QProcess>
#include <cerrno>
#include <algorithm>
#include <limits>

namespace quorvane {
namespace {

constexpr std::uint64_t kLocalHeaderSize = 30;

// Whether the tool ended as it should: started, exited by itself, with status 0.
bool endedWell(const MyProcess& process) {
    const QProcess* tool = process.process();
    return tool && tool->error() != QProcess::FailedToStart && tool->exitStatus() == QProcess::NormalExit &&
           tool->exitCode() == 0;
}

} // namespace

void MyInstaller::_unzipFile(const std::string& path) {
    // Only a file that can be read goes to the tool: a pipe or a device named like an archive would keep
    // the tool, and so the update, waiting for good.
    if (!FileHandle::fileHandleForReadingAtPath(path)) {
        _noteFailure(path, _errorText(errno));
        return;
    }
    const std::optional<std::string> folder = _createTemporaryDirectoryForFile(path);
    if (!folder) {
        _noteFailure(path, _errorText(errno));
        return;
    }
    const std::uint64_t size = fileManager().fileSizeAtPath(path, true).value_or(0);
    _progressMaxValue += 2.0 * _countArchiveEntries(path, size);
    _updateInstallStatus(_localized("Unzipping:"), path::lastPathComponent(path));

    MyProcess::initProcess(
        _jarPath, *folder, std::string("-xvf"), path, [this](MyProcess& process) { _unzipDataAvailable(process); },
        [this](MyProcess& process) { _unzipProcessCompleted(process); }, this, _log);
}

// An estimate of the archive's entries for the progress bar: a walk from local header to local header,
// one step per entry and on through the central directory. It stops at the archive's end or at the
// first header it cannot read whole, whatever the bytes say.
std::int32_t MyInstaller::_countArchiveEntries(const std::string& path, std::uint64_t archiveSize) {
    const auto fileHandle = FileHandle::fileHandleForReadingAtPath(path);
    if (!fileHandle) {
        return 0;
    }
    std::int32_t count = 0;
    std::uint64_t offset = 0;
    do {
        fileHandle->seekToFileOffset(offset + 18);
        const auto compressedSize = _readWordFromFileHandle(*fileHandle);
        fileHandle->seekToFileOffset(offset + 26);
        const auto nameAndExtraLengths = _readWordFromFileHandle(*fileHandle);
        if (!compressedSize || !nameAndExtraLengths) {
            break;
        }
        offset += kLocalHeaderSize + (*nameAndExtraLengths & 0xFFFFu) + (*nameAndExtraLengths >> 16) + *compressedSize;
        ++count;
    } while (offset < archiveSize && count < std::numeric_limits<std::int32_t>::max());
    return count;
}

std::optional<std::uint32_t> MyInstaller::_readWordFromFileHandle(FileHandle& fileHandle) {
    const std::string bytes = fileHandle.readDataOfLength(4);
    if (bytes.size() < 4) {
        return std::nullopt;
    }
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i) {
        word = (word << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    }
    return word;
}

void MyInstaller::_unzipDataAvailable(MyProcess& process) {
    const std::string& listing = process.outputString();
    int counted = 0;
    std::string lastName;
    std::size_t start = 0;
    while (start <= listing.size()) {
        const std::size_t end = std::min(listing.find('\n', start), listing.size());
        const std::string_view line(listing.data() + start, end - start);
        if (line.find('/') != std::string_view::npos) {
            ++counted;
            lastName = path::lastPathComponent(line);
        }
        start = end + 1;
    }
    if (counted > 0) {
        _progressValue += counted;
        _updateInstallStatus(_localized("Unzipping:"), lastName);
    }
}

void MyInstaller::_unzipProcessCompleted(MyProcess& process) {
    const std::string folder = process.directory();
    std::vector<std::string>& pending = tempFolders();
    if (const auto it = std::find(pending.begin(), pending.end(), folder); it != pending.end()) {
        pending.erase(it);
    }
    if (!endedWell(process)) {
        _noteFailure(process.file().value_or(folder), _localized("The archive could not be extracted whole."));
    }
    // The folder goes once its contents are installed, but not while an extraction inside it still runs.
    _finishedTempFolders.push_back(folder);
    std::vector<std::string> contents = _directoryContentFullPathsAtPath(folder);
    _addDataFromFiles(contents);
    _removeFinishedTempFolders();
}

void MyInstaller::_removeFinishedTempFolders() {
    const std::vector<std::string>& pending = tempFolders();
    std::erase_if(_finishedTempFolders, [&](const std::string& folder) {
        const bool busy = std::any_of(pending.begin(), pending.end(),
                                      [&](const std::string& running) { return path::isInsideFolder(folder, running); });
        if (!busy) {
            fileManager().removeFileAtPath(folder);
        }
        return !busy;
    });
}

std::optional<std::string> MyInstaller::_createTemporaryDirectoryForFile(const std::string& path) {
    const std::string candidate = _freeTimestampPathIn(path::stringByDeletingLastPathComponent(path));
    if (!fileManager().createDirectoryAtPath(candidate)) {
        _log.log("Failed to create temporary directory for unzip operation");
        return std::nullopt;
    }
    tempFolders().push_back(candidate);
    return candidate;
}

} // namespace quorvane

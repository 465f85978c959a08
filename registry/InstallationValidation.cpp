#include "controller/MyInstaller.h"
#include "platform/FileManager.h"
#include "platform/MessageFormat.h"
#include "platform/Workspace.h"

namespace quorvane {
namespace {

// The version file is read this deep and no further: the version stands at its head, and a huge file
// must not hold up the start or a drag.
constexpr std::size_t kMaxVersionFileLength = 64 * 1024;

} // namespace

InstallationStatus MyInstaller::_isValidApplication(const std::string& path) {
    bool isDirectory = false;
    if (!fileManager().fileExistsAtPath(path, &isDirectory) || !isDirectory) {
        return InstallationStatusNotFound;
    }
    // The folder stays the working directory: every test below is relative to it.
    if (!fileManager().changeCurrentDirectoryPath(path)) {
        return InstallationStatusNotFound;
    }
    if (!fileManager().fileExistsAtPath("Quorvane", &isDirectory)) {
        return InstallationStatusNotFound;
    }
    if (isDirectory && !_workspace.isFilePackageAtPath("Quorvane")) {
        return InstallationStatusNotFound;
    }

    InstallationStatus status = InstallationStatusValid;
    if (!fileManager().fileExistsAtPath("Art", &isDirectory) || !isDirectory) {
        status += InstallationStatusArtMissing;
    }
    if (!fileManager().fileExistsAtPath("Text", &isDirectory) || !isDirectory) {
        status += InstallationStatusTextMissing;
    }
    if (status == InstallationStatusValid) {
        if (!fileManager().fileExistsAtPath("Text/version.txt")) {
            status += InstallationStatusVersionFileMissing;
        } else {
            const auto text = fileManager().leadingStringOfFile("Text/version.txt", kMaxVersionFileLength);
            if (!text || text->find("1.29") == std::string::npos) {
                status += InstallationStatusWrongVersion;
            }
        }
    }
    return status;
}

std::string MyInstaller::_statusDescription(InstallationStatus status) const {
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

} // namespace quorvane

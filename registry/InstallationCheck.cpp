#include "registry/InstallationCheck.h"

#include "platform/FdCloser.h"
#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"
#include "platform/PosixIo.h"

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

// The version file is read this deep and no further: the version stands at its head, and a huge file
// must not hold up the start or a drag.
constexpr std::size_t kMaxVersionFileLength = 64 * 1024;

// What stands at the name inside the folder, links followed; none when nothing does.
bool statIn(int folder, const char* name, struct stat* st) {
    return ::fstatat(folder, name, st, 0) == 0;
}

bool isFolderIn(int folder, const char* name) {
    struct stat st {};
    return statIn(folder, name, &st) && S_ISDIR(st.st_mode);
}

// The head of the regular file at the name; none for anything else (a pipe is never waited on).
std::optional<std::string> fileHeadIn(int folder, const char* name) {
    const FdCloser file{::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    std::string text(kMaxVersionFileLength, '\0');
    const ssize_t length = posixio::readFull(file.fd, text.data(), text.size());
    if (length < 0) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(length));
    return text;
}

} // namespace

InstallationStatus InstallationCheck::judge(const std::string& path) const {
    if (path.empty()) {
        return InstallationStatus::notFound;
    }
    const FdCloser folder{::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd < 0) {
        return InstallationStatus::notFound;
    }
    // The application is a file, or a folder laid out as an application bundle.
    struct stat application {};
    if (!statIn(folder.fd, "Quorvane", &application)) {
        return InstallationStatus::notFound;
    }
    struct stat info {};
    if (S_ISDIR(application.st_mode) && !statIn(folder.fd, "Quorvane/Contents/Info.plist", &info)) {
        return InstallationStatus::notFound;
    }

    auto defects = static_cast<std::int32_t>(InstallationStatus::valid);
    if (!isFolderIn(folder.fd, "Art")) {
        defects += static_cast<std::int32_t>(InstallationStatus::artMissing);
    }
    if (!isFolderIn(folder.fd, "Text")) {
        defects += static_cast<std::int32_t>(InstallationStatus::textMissing);
    }
    if (defects != 0) {
        return static_cast<InstallationStatus>(defects);
    }
    struct stat version {};
    if (!statIn(folder.fd, "Text/version.txt", &version)) {
        return InstallationStatus::versionFileMissing;
    }
    const auto text = fileHeadIn(folder.fd, "Text/version.txt");
    if (!text || text->find("1.29") == std::string::npos) {
        return InstallationStatus::wrongVersion;
    }
    return InstallationStatus::valid;
}

std::string InstallationCheck::notInstallationText(const std::string& path) const {
    if (judge(path) != InstallationStatus::notFound) {
        return "";
    }
    const auto localized = [this](const char* key) { return _localizer.text(key); };
    const FdCloser folder{::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    struct stat application {};
    const std::string reason =
        folder.fd < 0 ? statusText(InstallationStatus::notFound)
        : statIn(folder.fd, "Quorvane", &application)
            ? formatMessage(localized("its %@ application has no %@."), {"Quorvane", "Contents/Info.plist"})
            : formatMessage(localized("it has no %@ application."), {"Quorvane"});
    return formatMessage(localized("%@ is not a %@ installation: %@"),
                         {path::fileName(path), "Quorvane", reason});
}

std::string InstallationCheck::statusText(InstallationStatus status) const {
    const auto localized = [this](const char* key) { return _localizer.text(key); };
    switch (status) {
    case InstallationStatus::valid:
        return "";
    case InstallationStatus::notFound:
        // A listed installation found gone later is no installation at all: say where to look for it.
        return localized("Not found. Is its drive connected?");
    case InstallationStatus::artMissing:
        return formatMessage(localized("%@ folder missing."), {"Art"});
    case InstallationStatus::textMissing:
        return formatMessage(localized("%@ folder missing."), {"Text"});
    case InstallationStatus::artAndTextMissing:
        return formatMessage(localized("%@ and %@ folders missing."), {"Art", "Text"});
    case InstallationStatus::versionFileMissing:
        return formatMessage(localized("%@ missing."), {"Text/version.txt"});
    case InstallationStatus::wrongVersion:
        return formatMessage(localized("Not version %@."), {"1.29"});
    }
    return localized("Unknown error.");
}

} // namespace quorvane

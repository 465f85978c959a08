#pragma once

#include "registry/InstallationStatus.h"

#include <string>

namespace quorvane {

class Localizer;

// Judges whether a folder holds an installation of the game, and words the verdict.
class InstallationCheck {
public:
    explicit InstallationCheck(const Localizer& localizer) : _localizer(localizer) {}

    // The verdict on the folder, judged on disk through a descriptor of it: the process's working folder
    // is never touched, so a run on another thread is never disturbed.
    InstallationStatus judge(const std::string& path) const;
    // What is wrong with a listed installation, as its status line says it: "" when it is valid, and for
    // one that is not there (any more), where to look for it.
    std::string statusText(InstallationStatus status) const;
    // Why a folder holds no installation at all, as the sentence "<name> is not a Quorvane installation:
    // it has no Quorvane application." says it; "" when it holds one, valid or damaged.
    std::string notInstallationText(const std::string& path) const;

private:
    const Localizer& _localizer;
};

} // namespace quorvane

#pragma once

#include "platform/Image.h"

#include <cstddef>

namespace quorvane {

// What the installation list asks of the object that shows it: the icons of its rows, and whom to tell
// when the rows change or cannot be saved. The list itself knows no window.
class InstallationListDelegate {
public:
    virtual ~InstallationListDelegate() = default;

    // The icons beside valid and invalid installations; none when the artwork is missing.
    virtual const ImagePtr& goodFolderIcon() = 0;
    virtual const ImagePtr& badFolderIcon() = 0;
    // An addition has been weighed, also one that added nothing: listedPaths installations are listed now.
    virtual void installationListWeighed(std::size_t listedPaths) = 0;
    // Rows were added, rebuilt, moved or removed.
    virtual void installationListChanged() = 0;
    // The list could not be written to the preferences file (error: the system's error number). Said
    // once a run: later failures are not passed on.
    virtual void installationListNotSaved(int error) = 0;
};

} // namespace quorvane

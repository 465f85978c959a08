#pragma once

#include <string>

namespace quorvane {

class Bundle;
class CleanupJournal;
class Clock;
class FileManager;
class ImageLoader;
class Localizer;
class Log;
class UpdateRecordStore;
class Preferences;
class Workspace;

// The platform services the controller works through, and the tools it runs.
struct InstallerServices {
    FileManager& fileManager;
    Workspace& workspace;
    Preferences& preferences;
    Localizer& localizer;
    Log& log;
    Clock& clock;
    Bundle& bundle;
    ImageLoader& imageLoader;
    std::string locatePath = "/usr/bin/locate";
    std::string jarPath = "/usr/bin/jar";
    // Where temporary items are noted for removal after a killed run; none: they are not.
    CleanupJournal* cleanupJournal = nullptr;
    // Where each run's record is kept for undoing it; none: it is not.
    UpdateRecordStore* recordStore = nullptr;
};

} // namespace quorvane

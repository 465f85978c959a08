#pragma once

#include <string>

namespace quorvane {

class CleanupJournal;
class Clock;
class FileManager;
class Localizer;
class Log;
class UpdateRecordStore;

// The services an update run works through, and the extraction tool it runs.
struct UpdateServices {
    FileManager& fileManager;
    Localizer& localizer;
    Log& log;
    Clock& clock;
    std::string jarPath = "/usr/bin/jar";
    // Where temporary items are noted for removal after a killed run; none: they are not.
    CleanupJournal* cleanupJournal = nullptr;
    // Where the record of each run that changed something is kept for undoing it; none: it is not kept.
    UpdateRecordStore* recordStore = nullptr;
};

} // namespace quorvane

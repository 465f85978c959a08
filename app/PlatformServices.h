#pragma once

#include "app/UpdaterConfiguration.h"
#include "engine/UpdateRecordStore.h"
#include "engine/UpdateServices.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/Preferences.h"
#include "platform/SystemClock.h"
#include "platform/SystemLog.h"

#include <memory>

namespace quorvane {

// The services the window and the command line share: files, preferences, texts, the clock, the log and
// the journal of temporary items. None of them needs a display.
struct PlatformServices {
    explicit PlatformServices(const UpdaterConfiguration& configuration, const char* programName);
    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    // Removes what a killed run of the program left behind.
    void cleanUpLeftovers();
    // The services of an update run, which logs to the log given.
    UpdateServices updateServices(Log& runLog, std::string jarPath);

    SystemLog log;
    FileManager fileManager;
    Preferences preferences;
    Localizer localizer;
    SystemClock clock;
    // None when the configuration names no state folder.
    std::unique_ptr<CleanupJournal> cleanupJournal;
    // The records of the update runs, for undoing them; none without a state folder.
    std::unique_ptr<UpdateRecordStore> recordStore;
};

} // namespace quorvane

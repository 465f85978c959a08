#pragma once

#include "app/UpdaterConfiguration.h"
#include "platform/CleanupJournal.h"
#include "platform/FileManager.h"
#include "platform/Localizer.h"
#include "platform/SystemClock.h"
#include "platform/SystemLog.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"

#include <memory>

#include "engine/UpdateRecordStore.h"

namespace quorvane {

// The services the window and the command line share: files, preferences, texts, the clock, the log and
// the journal of temporary items. None of them needs a display.
struct PlatformServices {
    explicit PlatformServices(const UpdaterConfiguration& configuration, const char* programName);
    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    // Removes what a killed run of the program left behind.
    void cleanUpLeftovers();

    SystemLog log;
    FileManager fileManager;
    Workspace workspace;
    Preferences preferences;
    Localizer localizer;
    SystemClock clock;
    // None when the configuration names no state folder.
    std::unique_ptr<CleanupJournal> cleanupJournal;
    // The records of the update runs, for undoing them; none without a state folder.
    std::unique_ptr<UpdateRecordStore> recordStore;
};

} // namespace quorvane

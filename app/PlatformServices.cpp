#include "app/PlatformServices.h"

namespace quorvane {

PlatformServices::PlatformServices(const UpdaterConfiguration& configuration, const char* programName)
    : log(programName), workspace(fileManager), preferences(configuration.preferencesPath),
      cleanupJournal(configuration.stateFolder.empty()
                         ? nullptr
                         : std::make_unique<CleanupJournal>(configuration.stateFolder)),
      recordStore(configuration.stateFolder.empty()
                      ? nullptr
                      : std::make_unique<UpdateRecordStore>(fileManager, configuration.stateFolder + "/records")) {}

void PlatformServices::cleanUpLeftovers() {
    if (cleanupJournal) {
        cleanupJournal->cleanUp(fileManager);
    }
}

} // namespace quorvane

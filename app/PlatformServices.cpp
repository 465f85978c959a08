#include "app/PlatformServices.h"

namespace quorvane {

PlatformServices::PlatformServices(const UpdaterConfiguration& configuration, const char* programName)
    : log(programName), preferences(configuration.preferencesPath),
      cleanupJournal(configuration.stateFolder.empty()
                         ? nullptr
                         : std::make_unique<CleanupJournal>(configuration.stateFolder)),
      recordStore(
          configuration.stateFolder.empty()
              ? nullptr
              : std::make_unique<UpdateRecordStore>(fileManager, configuration.stateFolder + "/records")) {}

UpdateServices PlatformServices::updateServices(Log& runLog, std::string jarPath) {
    return UpdateServices{fileManager,          localizer,        runLog, clock, std::move(jarPath),
                          cleanupJournal.get(), recordStore.get()};
}

void PlatformServices::cleanUpLeftovers() {
    if (cleanupJournal) {
        cleanupJournal->cleanUp(fileManager);
    }
}

} // namespace quorvane

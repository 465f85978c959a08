#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// What an update run offers its archive extractions: the progress bar, the failures, and the way back
// into the run for what an archive held. Called on the run's thread only.
class ExtractionHost {
public:
    virtual ~ExtractionHost() = default;

    // The run was cancelled: what a tool extracted is not installed.
    virtual bool stopRequested() const = 0;
    // Entries added to the progress maximum (fewer when negative).
    virtual void growProgressMaximum(double entries) = 0;
    // Moves the bar on by entries handled (maybe none) and shows the file with the status.
    virtual void advanceProgress(std::size_t entries, const std::string& status, const std::string& file) = 0;
    // The item was not installed: files counts the files that stay out with it.
    virtual void noteFailure(const std::string& item, const std::string& reason, std::int32_t files) = 0;
    // Installs the items as dropped items' contents are; none: the run only looks whether it is over.
    virtual void installExtracted(std::vector<std::string> items) = 0;
    // A pass of the run is installing items now.
    virtual bool installing() const = 0;
};

} // namespace quorvane

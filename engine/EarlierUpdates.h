#pragma once

#include "engine/UpdateRecord.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane {

class Localizer;

// The recorded updates of an installation, as the plan of a new one names them: which of them put an
// installed item in place.
class EarlierUpdates {
public:
    // records: oldest first; a later one that put the same item in place wins.
    explicit EarlierUpdates(std::vector<UpdateRecord> records);

    // The name of the earlier update that put the item (or a folder above it) in place; none when no
    // recorded one did.
    std::optional<std::string> whoPut(const std::string& relativePath, const Localizer& localizer) const;
    // How an earlier update is named: by the date of its run.
    static std::string nameOf(const UpdateRecord& record, const Localizer& localizer);

private:
    std::vector<UpdateRecord> _records;
    std::unordered_map<std::string, std::size_t> _putBy; // relative path → index in _records
};

} // namespace quorvane

#include "engine/EarlierUpdates.h"

#include "platform/Localizer.h"
#include "platform/MessageFormat.h"
#include "platform/PathUtilities.h"

#include <ctime>

namespace quorvane {

EarlierUpdates::EarlierUpdates(std::vector<UpdateRecord> records) : _records(std::move(records)) {
    for (std::size_t i = 0; i < _records.size(); ++i) {
        for (const UpdateRecord::Item& item : _records[i].items()) {
            _putBy[item.relativePath] = i;
        }
    }
}

std::optional<std::string> EarlierUpdates::whoPut(const std::string& relativePath,
                                                  const Localizer& localizer) const {
    for (std::string path = relativePath; !path.empty() && path != "."; path = path::parent(path)) {
        if (const auto found = _putBy.find(path); found != _putBy.end()) {
            return nameOf(_records[found->second], localizer);
        }
        if (path.find('/') == std::string::npos) {
            break;
        }
    }
    return std::nullopt;
}

std::string EarlierUpdates::nameOf(const UpdateRecord& record, const Localizer& localizer) {
    const std::time_t date = record.date();
    std::tm local{};
    localtime_r(&date, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return formatMessage(localizer.text("the update of %@"), {std::string(text)});
}

} // namespace quorvane

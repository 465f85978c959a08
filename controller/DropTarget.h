#pragma once

#include "platform/DropHandler.h"
#include "registry/InstallationStatus.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {

class InstallationList;
class Localizer;
class UpdateCoordinator;

// Judges and takes the drags over the installation rows. Content goes onto a valid installation and is
// installed once confirmed; installation folders go into the gap above the first damaged row (valid ones)
// or below the last row (damaged ones) and join the list. Nothing is taken while a job is under way.
class DropTarget : public DropHandler {
public:
    DropTarget(InstallationList& list, UpdateCoordinator& coordinator, const Localizer& localizer)
        : _list(list), _coordinator(coordinator), _localizer(localizer) {}

    std::optional<DropPosition> judgeDrag(const std::optional<std::vector<std::string>>& items,
                                          DropPosition proposed) override;
    bool drop(const std::optional<std::vector<std::string>>& items, DropPosition position) override;
    void dragLeft() override { _verdict.reset(); }

private:
    // What the dragged items are: the verdict on the first of them that is a valid installation, else on
    // the last. Judged once a drag, though it is asked at every move of the pointer.
    InstallationStatus verdictOn(const std::vector<std::string>& items);

    InstallationList& _list;
    UpdateCoordinator& _coordinator;
    const Localizer& _localizer;
    std::optional<std::pair<std::vector<std::string>, InstallationStatus>> _verdict;
};

} // namespace quorvane

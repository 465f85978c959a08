#include "controller/DropTarget.h"

#include "controller/UpdateCoordinator.h"
#include "platform/Localizer.h"
#include "registry/InstallationList.h"

namespace quorvane {

InstallationStatus DropTarget::verdictOn(const std::vector<std::string>& items) {
    if (_verdict && _verdict->first == items) {
        return _verdict->second;
    }
    // A new drag is the moment to look again for installations that were not found: one whose drive is
    // back takes this drag already.
    _list.judgeAbsentAgain();
    InstallationStatus status = InstallationStatus::notFound;
    for (const std::string& item : items) {
        status = _list.check().judge(item);
        if (status == InstallationStatus::valid) {
            break;
        }
    }
    _verdict.emplace(items, status);
    return status;
}

std::optional<DropPosition> DropTarget::judgeDrag(const std::optional<std::vector<std::string>>& items,
                                                  DropPosition proposed) {
    using Placement = DropPosition::Placement;
    if (!items || _coordinator.busy()) {
        return std::nullopt;
    }
    const InstallationStatus status = verdictOn(*items);
    const auto count = static_cast<int>(_list.installations().size());
    if (status == InstallationStatus::valid) {
        return DropPosition{static_cast<int>(_list.validCount()), Placement::aboveRow};
    }
    if (status != InstallationStatus::notFound) {
        return DropPosition{count, Placement::aboveRow};
    }
    // Content: onto the installation under the pointer, or the last one past the end.
    int row = proposed.row >= count ? count - 1 : proposed.row;
    const Installation* target = _list.at(row);
    if (target && target->status == InstallationStatus::notFound) {
        // Pointed at an installation that was not found: it may be back, and its row may move when it
        // is. The drop follows it.
        const std::string path = target->path;
        _list.judgeAbsentAgain();
        row = _list.rowOf(path).value_or(-1);
        target = _list.at(row);
    }
    if (!target || !target->takesItems()) {
        return std::nullopt;
    }
    return DropPosition{row, Placement::onRow};
}

bool DropTarget::drop(const std::optional<std::vector<std::string>>& items, DropPosition position) {
    _verdict.reset(); // the drag ends here
    if (!items) {
        _coordinator.inform(_localizer.text("Can't handle this item"), _localizer.text(""));
        return false;
    }
    if (_coordinator.busy()) {
        return false;
    }
    if (position.placement == DropPosition::Placement::aboveRow) {
        return _list.addFolders(*items);
    }
    const Installation* target = _list.at(position.row);
    return target && target->takesItems() && _coordinator.confirmUpdate(target->path, *items);
}

} // namespace quorvane

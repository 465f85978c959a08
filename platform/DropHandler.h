#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// Where a drag over the rows would land: onto a row, or into the gap above it (row == the row count:
// below the last row).
struct DropPosition {
    enum class Placement { onRow, aboveRow };
    int row = 0;
    Placement placement = Placement::onRow;
    bool operator==(const DropPosition&) const = default;
};

// Judges and takes the drags over the installation rows. The items are the dragged files as absolute
// paths, in drag order; none when the drag carries no file names.
class DropHandler {
public:
    virtual ~DropHandler() = default;

    // Asked at every move of the pointer: where a drop at the proposed position would land, perhaps
    // elsewhere; none when it would not be taken.
    virtual std::optional<DropPosition> judgeDrag(const std::optional<std::vector<std::string>>& items,
                                                  DropPosition proposed) = 0;
    // The drop, where the last judgement put it; no when it is not taken.
    virtual bool drop(const std::optional<std::vector<std::string>>& items, DropPosition position) = 0;
    // The drag left the rows without a drop.
    virtual void dragLeft() = 0;
};

} // namespace quorvane

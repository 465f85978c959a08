#pragma once

#include "platform/ImageCell.h"

#include <string>

namespace quorvane {

class TableColumn {
public:
    virtual ~TableColumn() = default;
    virtual std::string identifier() const = 0;
    // From now on the column draws its rows' values as images, the way the cell says.
    virtual void setDataCell(const ImageCell& cell) = 0;
};

} // namespace quorvane

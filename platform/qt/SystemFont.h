#pragma once

#include <QFont>

namespace quorvane {

// The desktop's general-purpose font at the given size in points.
QFont systemFontOfSize(double pointSize);

} // namespace quorvane

#pragma once

#include <QFont>

namespace quorvane {

// The font for text asked for in the desktop's general-purpose font at a size in points, drawn as the
// user's font (the given one) scaled in proportion: sizes are meant for a 13-point desktop font, so a
// 10-point status line stays 10/13 of whatever size the user reads.
QFont systemFontOfSize(double pointSize, const QFont& userFont);

} // namespace quorvane

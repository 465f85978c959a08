#pragma once

#include <QColor>

namespace quorvane {

// The contrast ratio of two colours as accessibility guidelines measure it: (L1 + 0.05) / (L2 + 0.05) of
// their relative luminances, the lighter one first; 1 for equal colours, 21 for black on white.
double contrastRatio(const QColor& first, const QColor& second);

// The colour, darkened or lightened as little as needed to reach the contrast against the background;
// when neither way reaches it, the one that comes closest. Readable text needs 4.5.
QColor readableColor(const QColor& color, const QColor& background, double contrast = 4.5);

} // namespace quorvane

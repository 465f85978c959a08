#include "platform/qt/SystemFont.h"

#include <algorithm>

namespace quorvane {
namespace {

constexpr double kDesktopFontPointSize = 13.0;

} // namespace

QFont systemFontOfSize(double pointSize, const QFont& userFont) {
    QFont font = userFont;
    if (userFont.pointSizeF() > 0) {
        font.setPointSizeF(userFont.pointSizeF() * pointSize / kDesktopFontPointSize);
    } else {
        font.setPixelSize(std::max(1, qRound(userFont.pixelSize() * pointSize / kDesktopFontPointSize)));
    }
    return font;
}

} // namespace quorvane

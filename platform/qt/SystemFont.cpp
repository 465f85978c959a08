#include "platform/qt/SystemFont.h"

#include <QFontDatabase>

namespace quorvane {

QFont systemFontOfSize(double pointSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace quorvane

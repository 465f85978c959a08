#include "platform/qt/ReadableColor.h"

#include <algorithm>
#include <cmath>

namespace quorvane {
namespace {

constexpr int kSteps = 64;

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& color) {
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

QColor mixed(const QColor& from, const QColor& to, double share) {
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * share),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * share),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * share));
}

} // namespace

double contrastRatio(const QColor& first, const QColor& second) {
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableColor(const QColor& color, const QColor& background, double contrast) {
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    for (int step = 0; step <= kSteps; ++step) {
        const double share = static_cast<double>(step) / kSteps;
        for (const QColor& extreme : {black, white}) {
            const QColor candidate = mixed(color, extreme, share);
            // Compared in the 8-bit channels it is drawn with.
            if (contrastRatio(QColor(candidate.rgb()), background) >= contrast) {
                return QColor(candidate.rgb());
            }
        }
    }
    return contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
}

} // namespace quorvane

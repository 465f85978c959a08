#include "platform/qt/ProgressBarScale.h"

#include <QProgressBar>
#include <cmath>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(ProgressBarScaleTest, BarShowsTheValueInProportionToTheMaximum) {
    const std::tuple<double, double, double> cases[] = {
        // maximum, value, part of the bar filled
        {100, 0, 0}, {100, 50, 0.5}, {3, 1, 1.0 / 3},   {10, 20, 1},  {10, -5, 0},      {0, 0, 0},
        {0, 5, 0},   {-4, 2, 0},     {1e12, 5e11, 0.5}, {10, NAN, 0}, {INFINITY, 5, 0}, {10, INFINITY, 1},
    };
    for (const auto& [maximum, value, shown] : cases) {
        SCOPED_TRACE(testing::Message() << value << " of " << maximum);
        QProgressBar bar;
        ProgressBarScale(bar).show(value, maximum);
        EXPECT_EQ(bar.minimum(), 0);
        EXPECT_NEAR(static_cast<double>(bar.value()) / bar.maximum(), shown, 1e-4);
    }
}

} // namespace
} // namespace quorvane

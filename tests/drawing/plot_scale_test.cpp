// The scale rule of the plots and the lens drawing: stepped values, the one-shot scale and
// the minimum scale, with the scale left for the labels.
#include <gtest/gtest.h>

#include "runtime/settings.h"
#include "tests/drawing/drawing_fixture.h"
#include "ui/plot_scale.h"

namespace {

using PlotScale = drawing_test::Drawing;

TEST_F(PlotScale, StepsOneShotAndMinimum) {
    struct Case {
        double one_shot;
        double minimum;
        double value;
        int mode;
        double expected;
        double one_shot_after;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0037, 1, 0.005, 0.0}, {0.0, 0.0, 1.0, 1, 1.0, 0.0},
        {0.0, 0.0, 12.0, 3, 10.0, 0.0},    {0.0, 0.0, 17.0, 2, 10.0, 0.0},
        {-0.02, 0.0, 3.0, 1, 0.02, 0.0},    // the one-shot scale serves once
        {-0.02, 0.0, 3.0, 10, 5.0, -0.02},  // looked at without spending it
        {0.0, 0.01, 0.0004, 1, 0.01, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        set_setting_double(kSetGraphicsScale, c.one_shot, 0, 0);
        set_setting_double(kSetGraphicsMinimumScale, c.minimum, 0, 0);
        EXPECT_NEAR(plot_scale_step(c.value, c.mode), c.expected, 1e-12 * c.expected);
        EXPECT_NEAR(get_setting_double(kSetGraphicsCurrentScale, 0, 0), c.expected,
                    1e-12 * c.expected);
        EXPECT_EQ(get_setting_double(kSetGraphicsScale, 0, 0), c.one_shot_after);
    }
    set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
    set_setting_double(kSetGraphicsMinimumScale, 0.0, 0, 0);
}

}  // namespace

#include "numeric/scale_step.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ScaleStep, StepsTheMantissaByMode) {
    struct Case {
        double value;
        int mode;
        double expected;
    };
    const Case cases[] = {
        {0.0037, 1, 0.005},                     // 3.7e-3: the next of 2, 5, 10 is 5
        {1.0, 1, 1.0},                          // mantissa 10, power -1
        {1.5, 1, 2.0},       {-42.0, 1, 50.0},  // the magnitude counts
        {600.0, 10, 1000.0}, {2.0, 1, 2.0},    {12.0, 3, 10.0},  // nearest whole mantissa 1
        {0.0186, 3, 0.02},   {17.0, 2, 10.0},                    // floor of 1.7
        {99.0, 0, 90.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(scale_step(c.value, c.mode), c.expected, 1e-12 * c.expected)
            << c.value << " mode " << c.mode;
    }
    EXPECT_GT(scale_step(0.0, 1), 0.0);
    EXPECT_LT(scale_step(0.0, 1), 1e-39);
    EXPECT_GT(scale_step(NAN, 1), 0.0);
    EXPECT_TRUE(std::isfinite(scale_step(INFINITY, 1)));
}

}  // namespace

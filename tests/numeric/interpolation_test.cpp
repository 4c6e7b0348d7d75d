#include "numeric/interpolation.h"
#include "tables/table_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

double cubic(double x) {
    return 2.0 - 3.0 * x + 0.5 * x * x + 0.25 * x * x * x;
}
double cubic_slope(double x) {
    return -3.0 + x + 0.75 * x * x;
}
double quartic(double x) {
    return 1.0 + x - 2.0 * x * x * x + 0.125 * x * x * x * x;
}

TEST(PolyInterpolate, ReproducesPolynomialsOfItsDegree) {
    // Unevenly spaced and unsorted abscissae.
    const std::vector<double> xs = {-1.5, 2.0, 0.25, 3.5, 1.0};
    std::vector<double> quartic_ys;
    for (double x : xs) quartic_ys.push_back(quartic(x));
    for (double x : {-2.0, -0.7, 0.0, 0.6, 1.9, 2.75, 4.0}) {
        double value = 0.0;
        ASSERT_EQ(poly_interpolate(xs.data(), quartic_ys.data(), 5, x, &value), 0);
        EXPECT_NEAR(value, quartic(x), 1e-12) << x;
    }
    // Two points: the straight line, also beyond the points.
    const double lx[] = {1.0, 3.0};
    const double ly[] = {5.0, 1.0};
    double value = 0.0;
    ASSERT_EQ(poly_interpolate(lx, ly, 2, 6.0, &value), 0);
    EXPECT_NEAR(value, -5.0, 1e-15);
}

TEST(PolyInterpolate, TabulatedAbscissaGivesItsOrdinateExactly) {
    const double xs[] = {0.1, 0.37, 0.5, 0.91, 1.3};
    const double ys[] = {1.0 / 3.0, std::sqrt(2.0), -7.25, 1e-3, 42.0};
    for (int i = 0; i < 5; ++i) {
        double value = 0.0;
        ASSERT_EQ(poly_interpolate(xs, ys, 5, xs[i], &value), 0);
        EXPECT_EQ(value, ys[i]) << i;
    }
}

TEST(PolyInterpolate, RefusesTooFewPointsAndEqualAbscissae) {
    const double xs[] = {0.0, 1.0, 1.0, 2.0};
    const double ys[] = {0.0, 1.0, 2.0, 3.0};
    double value = 99.0;
    EXPECT_EQ(poly_interpolate(xs, ys, 1, 0.5, &value), -1);
    EXPECT_EQ(poly_interpolate(xs, ys, 0, 0.5, &value), -1);
    EXPECT_EQ(poly_interpolate(xs, ys, 4, 0.5, &value), -1);
    EXPECT_EQ(value, 99.0);
}

class TableFitTest : public ::testing::Test {
protected:
    // Leaves no fit behind for the next test.
    void TearDown() override {
        const double x[] = {0.0, 0.0};
        table_fit_build(x, x, 2);
    }
};

TEST_F(TableFitTest, SplineReproducesACubicWithItsSlope) {
    const std::vector<double> xs = {-2.0, -1.2, 0.0, 0.5, 1.75, 2.0, 3.5};
    std::vector<double> ys;
    for (double x : xs) ys.push_back(cubic(x));
    ASSERT_EQ(table_fit_build(xs.data(), ys.data(), static_cast<int>(xs.size())), 0);
    // A rising sweep, then points out of order, so the cached interval is both used and reset.
    for (double x : {-2.0, -1.9, -1.2, -0.3, 0.2, 0.5, 1.0, 1.9, 2.0, 3.0, 3.49, -1.5, 0.7}) {
        double value = 0.0;
        double slope = 0.0;
        ASSERT_EQ(table_fit_eval(x, &value, &slope), 0);
        EXPECT_NEAR(value, cubic(x), 1e-12) << x;
        EXPECT_NEAR(slope, cubic_slope(x), 1e-11) << x;
    }
}

TEST_F(TableFitTest, FewPointsGiveALineOrAParabola) {
    const double xs[] = {1.0, 2.0, 4.0};
    const double line[] = {3.0, 5.0};  // y = 2x + 1
    ASSERT_EQ(table_fit_build(xs, line, 2), 0);
    double value = 0.0;
    double slope = 0.0;
    ASSERT_EQ(table_fit_eval(1.25, &value, &slope), 0);
    EXPECT_NEAR(value, 3.5, 1e-15);
    EXPECT_NEAR(slope, 2.0, 1e-15);

    // y = x^2 - 3x through three uneven points.
    const double parabola[] = {-2.0, -2.0, 4.0};
    ASSERT_EQ(table_fit_build(xs, parabola, 3), 0);
    for (double x : {1.0, 1.5, 2.0, 3.0, 3.9}) {
        ASSERT_EQ(table_fit_eval(x, &value, &slope), 0);
        EXPECT_NEAR(value, x * x - 3 * x, 1e-14) << x;
        EXPECT_NEAR(slope, 2 * x - 3, 1e-14) << x;
    }
}

TEST_F(TableFitTest, OutsideTheTableTheEndOrdinateWithZeroSlope) {
    const double xs[] = {0.0, 1.0, 2.0, 3.0};
    const double ys[] = {4.0, 1.0, 0.0, 1.0};
    ASSERT_EQ(table_fit_build(xs, ys, 4), 0);
    double value = 0.0;
    double slope = 7.0;
    ASSERT_EQ(table_fit_eval(3.0, &value, &slope), 0);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(slope, 0.0);
    ASSERT_EQ(table_fit_eval(50.0, &value, &slope), 0);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(slope, 0.0);
    slope = 7.0;
    ASSERT_EQ(table_fit_eval(-0.5, &value, &slope), 0);
    EXPECT_EQ(value, 4.0);
    EXPECT_EQ(slope, 0.0);
    // At the first abscissa the first interval applies: (x - 2)^2 has slope -4 there.
    ASSERT_EQ(table_fit_eval(0.0, &value, &slope), 0);
    EXPECT_NEAR(value, 4.0, 1e-15);
    EXPECT_NEAR(slope, -4.0, 1e-14);
}

TEST_F(TableFitTest, BadTablesAreRefusedAndLeaveNoFit) {
    const double good_x[] = {0.0, 1.0, 2.0, 3.0};
    const double ys[] = {0.0, 1.0, 4.0, 9.0};
    const double repeated[] = {0.0, 1.0, 1.0, 2.0};
    const double falling[] = {0.0, 2.0, 1.0, 3.0};
    const double with_nan[] = {0.0, NAN, 2.0, 3.0};
    for (const double* xs : {repeated, falling, with_nan}) {
        ASSERT_EQ(table_fit_build(good_x, ys, 4), 0);
        EXPECT_EQ(table_fit_build(xs, ys, 4), kMsgBadFitTable);
        double value = 5.0;
        double slope = 5.0;
        EXPECT_EQ(table_fit_eval(0.5, &value, &slope), kMsgNoFit);
        EXPECT_EQ(value, 5.0);
    }
    EXPECT_EQ(table_fit_build(good_x, ys, 1), kMsgBadFitTable);
    EXPECT_EQ(table_fit_build(good_x, ys, 0), kMsgBadFitTable);
    double value = 0.0;
    double slope = 0.0;
    EXPECT_EQ(table_fit_eval(0.5, &value, &slope), kMsgNoFit);
}

TEST_F(TableFitTest, ALargerTableAfterASmallerOneIsFittedWhole) {
    const double small_x[] = {0.0, 1.0};
    ASSERT_EQ(table_fit_build(small_x, small_x, 2), 0);
    std::vector<double> xs;
    std::vector<double> ys;
    for (int i = 0; i < 40; ++i) {
        xs.push_back(0.1 * i * i);
        ys.push_back(cubic(xs.back()));
    }
    ASSERT_EQ(table_fit_build(xs.data(), ys.data(), 40), 0);
    double value = 0.0;
    double slope = 0.0;
    ASSERT_EQ(table_fit_eval(150.0, &value, &slope), 0);
    EXPECT_NEAR(value / cubic(150.0), 1.0, 1e-12);
}

}  // namespace

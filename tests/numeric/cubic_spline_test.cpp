#include "numeric/cubic_spline.h"
#include "tables/table_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Value of the spline on [x0, x1] at its left end derivative, from the textbook form
// S'(x0) = (y1 - y0)/h - h (2 M0 + M1)/6 and, at the right end, (y1 - y0)/h + h (M0 + 2 M1)/6.
double left_slope(const std::vector<double>& x, const std::vector<double>& y,
                  const std::vector<double>& m) {
    const double h = x[1] - x[0];
    return (y[1] - y[0]) / h - h * (2.0 * m[0] + m[1]) / 6.0;
}
double right_slope(const std::vector<double>& x, const std::vector<double>& y,
                   const std::vector<double>& m) {
    const std::size_t n = x.size();
    const double h = x[n - 1] - x[n - 2];
    return (y[n - 1] - y[n - 2]) / h + h * (m[n - 2] + 2.0 * m[n - 1]) / 6.0;
}

double eval(const std::vector<double>& x, const std::vector<double>& y,
            const std::vector<double>& m, double at) {
    double v = NAN;
    EXPECT_EQ(spline_eval(x.data(), y.data(), m.data(), static_cast<int>(x.size()), at, &v), 0);
    return v;
}

TEST(CubicSpline, ClampedFlatEndsThroughAPeakIsTheHermiteCubic) {
    // Slopes 0 at both ends through (0,0), (1,1), (2,0): on [0,1] the cubic with f(0)=0,
    // f(1)=1, f'(0)=f'(1)=0 is 3x^2 - 2x^3, whose second derivative 6 - 12x is 6 and -6.
    const std::vector<double> x = {0, 1, 2}, y = {0, 1, 0};
    std::vector<double> m(3);
    ASSERT_EQ(spline_coefficients(x.data(), y.data(), 3, 0.0, 0.0, m.data()), 0);
    EXPECT_NEAR(m[0], 6.0, 1e-12);
    EXPECT_NEAR(m[1], -6.0, 1e-12);
    EXPECT_NEAR(m[2], 6.0, 1e-12);
    for (double t : {0.0, 0.2, 0.5, 0.9, 1.0}) {
        EXPECT_NEAR(eval(x, y, m, t), 3 * t * t - 2 * t * t * t, 1e-12) << t;
        // Mirror image on [1,2].
        EXPECT_NEAR(eval(x, y, m, 2.0 - t), 3 * t * t - 2 * t * t * t, 1e-12) << t;
    }
}

TEST(CubicSpline, HugeOrdinatesMakeTheEstimatesFailAndTheEndsNatural) {
    // Parabola estimates: 2e31 - 1.5e31 = 0.5e31 at x=0 and 3e31 - ... = 2.5e31 at x=2, both
    // above 9.9e29. The natural spline's middle equation M1 (2/3) = (2e31 - 1e31) gives
    // M1 = 1.5e31, and at 0.5: 0.5e31 + (0.125 - 0.5) 1.5e31 / 6 = 0.40625e31.
    const std::vector<double> x = {0, 1, 2}, y = {0, 1e31, 3e31};
    std::vector<double> m(3, -1.0);
    ASSERT_EQ(spline_coefficients(x.data(), y.data(), 3, kSplineNoSlope, kSplineNoSlope, m.data()),
              0);
    EXPECT_EQ(m[0], 0.0);
    EXPECT_NEAR(m[1], 1.5e31, 1e19);
    EXPECT_EQ(m[2], 0.0);
    EXPECT_NEAR(eval(x, y, m, 0.5), 0.40625e31, 1e19);
}

TEST(CubicSpline, EstimatedEndsReproduceLowOrderPolynomials) {
    struct Case {
        const char* what;
        std::vector<double> x;
        double (*f)(double);
    };
    const Case cases[] = {
        // Four or more points: the end slopes of the cubic through the end points are the
        // cubic's own, and the clamped spline of a cubic is the cubic.
        {"cubic, uneven",
         {-1.0, -0.3, 0.4, 1.1, 2.5, 3.0},
         [](double t) { return 2.0 - 3.0 * t + 0.5 * t * t + 0.25 * t * t * t; }},
        {"cubic, four points", {0.0, 1.0, 1.5, 4.0}, [](double t) { return t * t * t - t; }},
        // Three points: the parabola's end slopes, and the parabola is its own spline.
        {"parabola", {0.0, 0.7, 2.0}, [](double t) { return 1.0 + 2.0 * t - 3.0 * t * t; }},
    };
    for (const Case& c : cases) {
        std::vector<double> y;
        for (double t : c.x) y.push_back(c.f(t));
        std::vector<double> m(c.x.size());
        ASSERT_EQ(spline_coefficients(c.x.data(), y.data(), static_cast<int>(c.x.size()),
                                      kSplineNoSlope, kSplineNoSlope, m.data()),
                  0)
            << c.what;
        const double lo = c.x.front(), hi = c.x.back();
        for (int k = 0; k <= 40; ++k) {
            const double t = lo + (hi - lo) * k / 40.0;
            EXPECT_NEAR(eval(c.x, y, m, t), c.f(t), 1e-10) << c.what << " at " << t;
        }
    }
}

TEST(CubicSpline, GivenSlopesUpToTheLimitAreHonoured) {
    const std::vector<double> x = {0.0, 0.5, 1.75, 3.0}, y = {1.0, -2.0, 0.5, 4.0};
    for (double s : {-3.0, 0.0, 7.5, 1e12, 9.9e29}) {
        std::vector<double> m(4);
        ASSERT_EQ(spline_coefficients(x.data(), y.data(), 4, s, -s, m.data()), 0);
        EXPECT_NEAR(left_slope(x, y, m), s, 1e-9 * (1.0 + std::fabs(s))) << s;
        EXPECT_NEAR(right_slope(x, y, m), -s, 1e-9 * (1.0 + std::fabs(s))) << s;
    }
}

TEST(CubicSpline, TwoPointsGiveALineAndTheEndsHoldOutside) {
    const std::vector<double> x = {1.0, 3.0}, y = {5.0, 1.0};
    std::vector<double> m = {9.0, 9.0};
    ASSERT_EQ(spline_coefficients(x.data(), y.data(), 2, 4.0, 4.0, m.data()), 0);
    EXPECT_EQ(m[0], 0.0);
    EXPECT_EQ(m[1], 0.0);
    EXPECT_NEAR(eval(x, y, m, 2.5), 2.0, 1e-15);
    // No extrapolation: the end ordinates outside, and the last abscissa interpolated.
    EXPECT_EQ(eval(x, y, m, -10.0), 5.0);
    EXPECT_EQ(eval(x, y, m, 3.5), 1.0);
    EXPECT_EQ(eval(x, y, m, 3.0), 1.0);

    const std::vector<double> one_x = {2.0}, one_y = {7.0};
    std::vector<double> one_m = {3.0};
    ASSERT_EQ(spline_coefficients(one_x.data(), one_y.data(), 1, 0.0, 0.0, one_m.data()), 0);
    EXPECT_EQ(one_m[0], 0.0);
    EXPECT_EQ(eval(one_x, one_y, one_m, 2.0), 7.0);
}

TEST(CubicSpline, BadTablesAreRefusedAndTouchNothing) {
    const std::vector<std::vector<double>> bad = {
        {0.0, 1.0, 1.0, 2.0},  // equal abscissae
        {0.0, 2.0, 1.0, 3.0},  // decreasing
        {0.0, NAN, 2.0, 3.0},  // not comparable
    };
    const std::vector<double> y = {1.0, 2.0, 3.0, 4.0};
    for (const auto& x : bad) {
        std::vector<double> m(4, 42.0);
        EXPECT_EQ(spline_coefficients(x.data(), y.data(), 4, 0.0, 0.0, m.data()), kMsgBadFitTable);
        EXPECT_EQ(m, std::vector<double>(4, 42.0));
    }
    // n below 1: nothing computed, nothing written; evaluation refuses.
    double m0 = 42.0;
    EXPECT_EQ(spline_coefficients(y.data(), y.data(), 0, 0.0, 0.0, &m0), 0);
    EXPECT_EQ(m0, 42.0);
    double v = 13.0;
    EXPECT_EQ(spline_eval(y.data(), y.data(), y.data(), 0, 1.0, &v), kMsgBadFitTable);
    EXPECT_EQ(spline_eval(y.data(), y.data(), y.data(), -5, 1.0, &v), kMsgBadFitTable);
    EXPECT_EQ(v, 13.0);
    // Unchecked equal abscissae met at evaluation.
    const double ex[] = {0.0, 1.0, 1.0};
    const double ey[] = {0.0, 1.0, 2.0};
    const double em[] = {0.0, 0.0, 0.0};
    EXPECT_EQ(spline_eval(ex, ey, em, 3, 1.0, &v), kMsgBadFitTable);
}

}  // namespace

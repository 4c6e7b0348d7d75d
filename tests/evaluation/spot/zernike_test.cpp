// The Zernike fit against wavefronts built here from the textbook Fringe polynomials in polar
// form: each term alone is recovered with its coefficient and no residual, on the whole pupil
// and on the half pupil (where only the terms even in the mirrored coordinate can appear), with
// the axis switch in either state; a fit with more terms than the rays can separate is refused.
#include <cmath>
#include <functional>

#include "evaluation/zernike_fit.h"
#include "tests/evaluation/spot/spot_fixture.h"

namespace lens_setup_test {
namespace {

// Fringe term k (1..37) at radius r and angle t measured from the first pupil axis.
double fringe(int k, double r, double t) {
    const double r2 = r * r, r3 = r2 * r, r4 = r2 * r2, r5 = r4 * r, r6 = r4 * r2, r7 = r6 * r;
    const double r8 = r4 * r4, r9 = r8 * r, r10 = r8 * r2, r12 = r6 * r6;
    switch (k) {
        case 1:
            return 1.0;
        case 2:
            return r * std::cos(t);
        case 3:
            return r * std::sin(t);
        case 4:
            return 2 * r2 - 1;
        case 5:
            return r2 * std::cos(2 * t);
        case 6:
            return r2 * std::sin(2 * t);
        case 7:
            return (3 * r3 - 2 * r) * std::cos(t);
        case 8:
            return (3 * r3 - 2 * r) * std::sin(t);
        case 9:
            return 6 * r4 - 6 * r2 + 1;
        case 10:
            return r3 * std::cos(3 * t);
        case 11:
            return r3 * std::sin(3 * t);
        case 12:
            return (4 * r4 - 3 * r2) * std::cos(2 * t);
        case 13:
            return (4 * r4 - 3 * r2) * std::sin(2 * t);
        case 14:
            return (10 * r5 - 12 * r3 + 3 * r) * std::cos(t);
        case 15:
            return (10 * r5 - 12 * r3 + 3 * r) * std::sin(t);
        case 16:
            return 20 * r6 - 30 * r4 + 12 * r2 - 1;
        case 17:
            return r4 * std::cos(4 * t);
        case 18:
            return r4 * std::sin(4 * t);
        case 19:
            return (5 * r5 - 4 * r3) * std::cos(3 * t);
        case 20:
            return (5 * r5 - 4 * r3) * std::sin(3 * t);
        case 21:
            return (15 * r6 - 20 * r4 + 6 * r2) * std::cos(2 * t);
        case 22:
            return (15 * r6 - 20 * r4 + 6 * r2) * std::sin(2 * t);
        case 23:
            return (35 * r7 - 60 * r5 + 30 * r3 - 4 * r) * std::cos(t);
        case 24:
            return (35 * r7 - 60 * r5 + 30 * r3 - 4 * r) * std::sin(t);
        case 25:
            return 70 * r8 - 140 * r6 + 90 * r4 - 20 * r2 + 1;
        case 26:
            return r5 * std::cos(5 * t);
        case 27:
            return r5 * std::sin(5 * t);
        case 28:
            return (6 * r6 - 5 * r4) * std::cos(4 * t);
        case 29:
            return (6 * r6 - 5 * r4) * std::sin(4 * t);
        case 30:
            return (21 * r7 - 30 * r5 + 10 * r3) * std::cos(3 * t);
        case 31:
            return (21 * r7 - 30 * r5 + 10 * r3) * std::sin(3 * t);
        case 32:
            return (56 * r8 - 105 * r6 + 60 * r4 - 10 * r2) * std::cos(2 * t);
        case 33:
            return (56 * r8 - 105 * r6 + 60 * r4 - 10 * r2) * std::sin(2 * t);
        case 34:
            return (126 * r9 - 280 * r7 + 210 * r5 - 60 * r3 + 5 * r) * std::cos(t);
        case 35:
            return (126 * r9 - 280 * r7 + 210 * r5 - 60 * r3 + 5 * r) * std::sin(t);
        case 36:
            return 252 * r10 - 630 * r8 + 560 * r6 - 210 * r4 + 30 * r2 - 1;
        default:
            return 924 * r12 - 2772 * r10 + 3150 * r8 - 1680 * r6 + 420 * r4 - 42 * r2 + 1;
    }
}

class ZernikeTest : public SpotDiagramTest {
protected:
    // The store filled with the lattice rays of d divisions (x > 0 only with the half pupil)
    // and the path error W(x, y) in lens units; nothing else of the rays is used by the fit.
    void fill(double d, bool half, const std::function<double(double, double)>& wavefront) {
        SpotStore& st = spot_store();
        const auto points = grid_points(d, half);
        ASSERT_LE(static_cast<int>(points.size()), st.capacity);
        st.half_pupil = half ? 1 : 0;
        st.ray_count = static_cast<int>(points.size());
        for (int w = 0; w < st.wavelength_capacity; ++w) st.wave_ray_counts[w] = 0;
        st.wave_ray_counts[0] = st.ray_count;
        for (std::size_t i = 0; i < points.size(); ++i) {
            SpotRay& r = st.rays[i];
            r = SpotRay{};
            r.col = static_cast<int>(std::lround(points[i].first * 16200.0));
            r.row = static_cast<int>(std::lround(points[i].second * 16200.0));
            r.amplitude = 1.0;
            r.opd = wavefront(points[i].first, points[i].second);
        }
    }
    void SetUp() override {
        SpotDiagramTest::SetUp();
        mirror(200.0, -1.0, 10.0, 0.0);
        ASSERT_EQ(ensure_spot_diagram(), 0);
        lens_data().opdw = 0;  // coefficients in lens units, as the path errors are given
    }
};

TEST_F(ZernikeTest, EachTermAloneIsRecovered) {
    const double a = 0.37;
    for (const bool axis_on : {false, true}) {
        lens_data().zrxr = axis_on ? 1 : 0;
        for (const bool half : {false, true}) {
            for (int k = 2; k <= 37; ++k) {
                // Angle from the first axis: x with the switch on, y with it off.
                auto angle = [&](double x, double y) {
                    return axis_on ? std::atan2(y, x) : std::atan2(x, y);
                };
                auto term = [&](double x, double y) {
                    return fringe(k, std::hypot(x, y), angle(x, y));
                };
                // The half pupil stands for a wavefront even in x only.
                if (half && std::fabs(term(0.3, 0.4) - term(-0.3, 0.4)) > 1e-12) continue;
                SCOPED_TRACE(testing::Message()
                             << "term " << k << " axis " << axis_on << " half " << half);
                fill(32.0, half, [&](double x, double y) { return a * term(x, y); });
                double c[kMaxZernikeTerms + 2] = {};
                ASSERT_EQ(zernike_fit_wavelength(0, 37, 0.0, 0.0, 0.0, c), 0);
                for (int j = 1; j <= 37; ++j) {
                    EXPECT_NEAR(c[j - 1], j == k ? a : 0.0, 1e-9) << "coefficient " << j;
                }
                EXPECT_NEAR(c[37], 0.0, 1e-7);
            }
        }
    }
}

// The x tilt is term 2 with the switch on and term 3 with it off.
TEST_F(ZernikeTest, TheAxisSwitchExchangesTheTilts) {
    fill(17.03, false, [](double x, double) { return 0.01 * x; });
    double c[kMaxZernikeTerms + 2] = {};
    lens_data().zrxr = 1;
    ASSERT_EQ(zernike_fit_wavelength(0, 3, 0.0, 0.0, 0.0, c), 0);
    EXPECT_NEAR(c[1], 0.01, 1e-12);
    EXPECT_NEAR(c[2], 0.0, 1e-12);
    lens_data().zrxr = 0;
    ASSERT_EQ(zernike_fit_wavelength(0, 3, 0.0, 0.0, 0.0, c), 0);
    EXPECT_NEAR(c[1], 0.0, 1e-12);
    EXPECT_NEAR(c[2], 0.01, 1e-12);
}

// Four rays cannot separate 37 terms: the fit names a term instead of printing NaN.
TEST_F(ZernikeTest, TooFewRaysAreRefused) {
    fill(3.0, false, [](double x, double y) { return x * x + y; });
    double c[kMaxZernikeTerms + 2] = {};
    for (double& v : c) v = 123.0;
    const int failed = zernike_fit_wavelength(0, 37, 0.0, 0.0, 0.0, c);
    EXPECT_GE(failed, 2);
    EXPECT_LE(failed, 37);
    for (double v : c) EXPECT_EQ(v, 123.0);
}

TEST(ZernikeTermCount, ArgumentsMapToTheSupportedCounts) {
    const int cases[][2] = {{0, 37}, {25, 37}, {99, 37}, {24, 25}, {16, 25}, {15, 16}, {9, 16},
                            {8, 9},  {4, 9},   {3, 3},   {2, 3},   {1, 3},   {-1, -1}};
    for (const auto& c : cases) EXPECT_EQ(zernike_term_count(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace lens_setup_test

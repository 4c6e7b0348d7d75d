// Line and edge spread of spot stores filled by hand: Gaussian intercepts (the line spread of
// a Gaussian widened by the smoothing kernel, the edge spread its error function) and a half
// pupil against the same rays stored whole.
#include <cmath>
#include <vector>

#include "evaluation/sections.h"
#include "tests/evaluation/spot/spot_fixture.h"

namespace lens_setup_test {
namespace {

class SectionsTest : public SpotDiagramTest {
protected:
    void store(const std::vector<double>& x, const std::vector<double>& y,
               const std::vector<double>& weight, bool half) {
        lens_data().units = 1.0;
        lens_data().afocal = 0;
        SpotStore& st = spot_store();
        ASSERT_LE(static_cast<int>(x.size()), st.capacity);
        st.ray_count = static_cast<int>(x.size());
        st.half_pupil = half ? 1 : 0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            SpotRay r;
            r.dx = x[i];
            r.dy = y[i];
            r.amplitude = std::sqrt(weight[i]);
            st.rays[i] = r;
        }
        spot_stats() = SpotStats{};
    }
};

TEST_F(SectionsTest, GaussianInterceptsGiveAGaussianLineSpreadAndAnErfEdge) {
    const double sigma = 0.01;
    std::vector<double> x, y, w;
    // One ray at the centre of every bin of the 401 that span the 6 sigma either side.
    for (int i = -200; i <= 200; ++i) {
        const double t = 6.0 * sigma * i / 200.0;
        x.push_back(t);
        y.push_back(0.0);
        w.push_back(std::exp(-t * t / (2 * sigma * sigma)));
    }
    store(x, y, w, false);
    // The kernel exp(-4 ln2 x^2 / width^2) is a Gaussian of FWHM sqrt(2) width, variance
    // width^2 / (8 ln 2 / 2) = width^2 / (4 ln 2); the two variances add. The kernel is cut at
    // one width either side (its quarter level), which leaves these laws to widths well below
    // the spot's: at a width near sigma the half width comes out some 5% short.
    for (double width : {0.0, 0.002, 0.004}) {
        const int points = 201;
        std::vector<double> a(points), line(points), edge(points);
        double peak = 0.0;
        ASSERT_EQ(spot_section_curves({.start = -0.04, .end = 0.04, .points = points, .axis = 1},
                                      0.0, width, 401, {a.data(), line.data(), edge.data(), &peak}),
                  0);
        const double bin = 2.0 * 0.06 / 400.0;
        const double kw = width == 0.0 ? 2.0 * bin : width;
        const double s2 = sigma * sigma + kw * kw / (4.0 * std::log(2.0));
        for (int i = 0; i < points; ++i) {
            EXPECT_NEAR(a[i], -0.04 + 0.08 * i / (points - 1), 1e-12);
            EXPECT_NEAR(line[i], std::exp(-a[i] * a[i] / (2.0 * s2)), 0.01) << width << " " << a[i];
            EXPECT_NEAR(edge[i], 0.5 * (1.0 + std::erf(a[i] / std::sqrt(2.0 * s2))), 0.01)
                << width << " " << a[i];
        }
        // The FWHM: sqrt((2.3548 sigma)^2 + 2 width^2).
        double half_at = NAN;
        for (int i = points / 2; i + 1 < points; ++i) {
            if (line[i + 1] < 0.5) {
                half_at = a[i] + (a[i + 1] - a[i]) * (line[i] - 0.5) / (line[i] - line[i + 1]);
                break;
            }
        }
        const double fwhm = std::sqrt(std::pow(2.3548 * sigma, 2) + 2.0 * kw * kw);
        EXPECT_NEAR(2.0 * half_at, fwhm, 0.01 * fwhm) << width;
    }
}

TEST_F(SectionsTest, HalfPupilMirrorsTheXSectionAndDoublesTheYPeak) {
    std::vector<double> hx, hy, hw, fx, fy, fw;
    for (int i = 1; i <= 15; i += 2) {
        for (int j = -15; j <= 15; j += 2) {
            const double px = 0.001 * i, py = 0.001 * j + 0.0003 * i;
            const double weight = 1.0 + 0.01 * i;
            hx.push_back(px), hy.push_back(py), hw.push_back(weight);
            fx.push_back(px), fy.push_back(py), fw.push_back(weight);
            fx.push_back(-px), fy.push_back(py), fw.push_back(weight);
        }
    }
    const int points = 31;
    struct Curve {
        std::vector<double> a = std::vector<double>(31), line = std::vector<double>(31),
                            edge = std::vector<double>(31);
        double peak = 0.0;
    };
    Curve half_x, half_y, full_x, full_y;
    auto run = [&](Curve& c, int axis) {
        ASSERT_EQ(
            spot_section_curves({.start = -0.02, .end = 0.02, .points = points, .axis = axis}, 0.0,
                                0.002, 201, {c.a.data(), c.line.data(), c.edge.data(), &c.peak}),
            0);
    };
    store(hx, hy, hw, true);
    run(half_x, 1);
    run(half_y, 0);
    store(fx, fy, fw, false);
    run(full_x, 1);
    run(full_y, 0);
    for (int i = 0; i < points; ++i) {
        EXPECT_NEAR(half_x.line[i], full_x.line[i], 1e-12) << i;
        EXPECT_NEAR(half_x.line[i], half_x.line[points - 1 - i], 1e-12) << i;
        EXPECT_NEAR(half_y.line[i], full_y.line[i], 1e-12) << i;
    }
    EXPECT_NEAR(half_x.edge[points / 2], 0.5, 1e-9);
    EXPECT_NEAR(half_y.peak, full_y.peak, 1e-12);
    EXPECT_NEAR(half_x.peak, full_x.peak, 1e-12);
}

}  // namespace
}  // namespace lens_setup_test

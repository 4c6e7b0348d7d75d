// The FFT point-spread function of the perfect f/5 paraboloid against the Airy pattern: peak,
// widths and encircled energy at the dark rings; the shared sampling of two wavelengths; the
// grid-size and window rules; the rings of the energy statistics on a spot counted by hand.
#include <cmath>
#include <vector>

#include "evaluation/psf.h"
#include "numeric/memory.h"
#include "tests/evaluation/spot/spot_fixture.h"

namespace lens_setup_test {
namespace {

// A PSF grid with its rows, freed at the end.
struct Grid {
    explicit Grid(int n) : n(n), rows(alloc_matrix_of<double>(n, n)) {}
    ~Grid() { free_matrix_of(rows); }
    int n;
    double** rows;
};

class PsfTest : public SpotDiagramTest {
protected:
    // The paraboloid's NA: sin of the marginal angle, h / (f + h^2/4f) for h = 10, f = 100.
    double na() const { return 10.0 / 100.25; }
    double lambda_mm(int w) const { return lens_data().wavelengths[w].wavelength * 1e-3; }

    // Where the central row falls through level on the right of the peak, in cells.
    static double crossing(const Grid& g, double level) {
        const double* row = g.rows[g.n / 2];
        for (int c = g.n / 2; c + 1 < g.n; ++c) {
            if (row[c + 1] < level) {
                return (c - g.n / 2) + (row[c] - level) / (row[c] - row[c + 1]);
            }
        }
        return NAN;
    }
};

TEST(PsfGridSize, DoublesUpToItsLimit) {
    const int cases[][2] = {{0, 16},      {31, 16},   {32, 32},     {63, 32},
                            {64, 64},     {100, 64},  {4095, 2048}, {4096, 4096},
                            {8191, 4096}, {8192, 64}, {100000, 64}, {-5, 16}};
    for (const auto& c : cases) EXPECT_EQ(fft_grid_size(c[0]), c[1]) << c[0];
}

TEST(PsfWindow, OddWidthsInsideTheGrid) {
    const int cases[][3] = {{64, 0, 31}, {64, 64, 31}, {64, 63, 31}, {64, 10, 4},
                            {64, 11, 5}, {64, -3, 31}, {16, 1, 0}};
    for (const auto& c : cases) EXPECT_EQ(psf_window_half(c[0], c[1]), c[2]) << c[1];
}

TEST_F(PsfTest, PerfectPupilGivesTheAiryPattern) {
    mirror(200.0, -1.0, 10.0, 0.0);
    lens_data().units = 1.0;
    ASSERT_EQ(set_object_point(), 0);
    const int n = 256, m = 32;
    Grid g(n);
    double spacing = 0.0, scale = 0.0;
    ASSERT_EQ(compute_psf(g.rows, &spacing, &scale, false, 0, n, m), 0);
    EXPECT_EQ(scale, 1.0);
    // Peak 1 at the centre, and nowhere higher.
    EXPECT_NEAR(g.rows[n / 2][n / 2], 1.0, 1e-9);
    double highest = 0.0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) highest = std::max(highest, g.rows[r][c]);
    }
    EXPECT_NEAR(highest, 1.0, 1e-9);
    // m samples across the pupil in an n grid: cells of m lambda / (2 n NA).
    const double unit = lambda_mm(0) / na();
    EXPECT_NEAR(spacing, m * unit / (2.0 * n), 0.01 * m * unit / (2.0 * n));
    // Airy widths: FWHM 0.5145 lambda/NA, full width at 1/e^2 0.8225 lambda/NA.
    EXPECT_NEAR(2.0 * crossing(g, 0.5) * spacing / unit, 0.5145, 0.02 * 0.5145);
    EXPECT_NEAR(2.0 * crossing(g, std::exp(-2.0)) * spacing / unit, 0.8225, 0.02 * 0.8225);
    double x = 1.0, y = 1.0;
    psf_centroid(g.rows, &x, &y, n, 0);
    EXPECT_NEAR(x, 0.0, 1e-6);
    EXPECT_NEAR(y, 0.0, 1e-6);
    // Encircled energy 1 - J0^2 - J1^2: 0.8378 at the first dark ring (0.6098 lambda/NA),
    // 0.9099 at the second (1.1166 lambda/NA); their ratio 0.9207.
    std::vector<double> e1(11), e2(11);
    const double r1 = 0.6098 * unit / spacing, r2 = 1.1166 * unit / spacing;
    const PsfGridView view{.cells = g.rows, .n = n};
    ASSERT_EQ(psf_width_stats(view, e1.data(), r1 / 10.0, 11, 0), 0);
    ASSERT_EQ(psf_width_stats(view, e2.data(), r2 / 10.0, 11, 0), 0);
    EXPECT_NEAR(e1[0], 0.0, 1e-12);
    EXPECT_NEAR(e1[10] / e2[10], 0.9207, 0.01);
    // Far out everything is enclosed.
    std::vector<double> far(2);
    ASSERT_EQ(psf_width_stats(view, far.data(), 2.0 * n, 2, 0), 0);
    EXPECT_EQ(far[1], 1.0);
    // Size against energy: the radius holding the first dark ring's energy.
    std::vector<double> radius(2);
    ASSERT_EQ(psf_width_stats(view, radius.data(), e1[10], 2, 1), 0);
    EXPECT_NEAR(radius[1], r1, 0.05 * r1);
}

TEST_F(PsfTest, TheShorterEffectiveWavelengthSetsTheSharedSampling) {
    mirror(200.0, -1.0, 10.0, 0.0);
    lens_data().units = 1.0;
    LensData& l = lens_data();
    ASSERT_GE(l.wavelength_count, 3);
    l.wavelengths[0] = {0.6, 1.0};
    l.wavelengths[1] = {0.5, 1.0};
    l.wavelengths[2] = {0.3, 0.0};  // weight 0: takes no part, not even in the sampling
    ASSERT_EQ(set_object_point(), 0);
    const int n = 64, m = 32;
    Grid both(n), shorter(n), longer(n);
    double s_both = 0, s_short = 0, s_long = 0, scale = 0;
    ASSERT_EQ(compute_psf(both.rows, &s_both, &scale, true, 0, n, m), 0);
    ASSERT_EQ(compute_psf(shorter.rows, &s_short, &scale, false, 1, n, m), 0);
    ASSERT_EQ(compute_psf(longer.rows, &s_long, &scale, false, 0, n, m), 0);
    EXPECT_NEAR(s_both, s_short, 1e-12 * s_short);
    EXPECT_NEAR(s_long / s_short, 0.6 / 0.5, 1e-9);
    // Both perfect: the combined peak is still 1.
    EXPECT_NEAR(both.rows[n / 2][n / 2], 1.0, 1e-9);
}

}  // namespace
}  // namespace lens_setup_test

#include "evaluation/psf_report.h"

namespace {

// Samples of y = 1 - 0.3 t^2 at t = 0, 1, 2 (1, 0.7, -0.2): the parabola meets level L at
// t = sqrt((1 - L) / 0.3).
TEST(PsfCrossing, FollowsTheParabolaThroughThreeCells) {
    struct Case {
        double level;
        int segment;
        double fraction;
    };
    const Case cases[] = {
        {0.8, 0, std::sqrt(0.2 / 0.3)},
        {0.5, 1, std::sqrt(0.5 / 0.3) - 1.0},
        {0.0, 1, std::sqrt(1.0 / 0.3) - 1.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(interpolate_crossing(1.0, 0.7, -0.2, c.level, c.segment, -1.0), c.fraction,
                    1e-12)
            << c.level;
    }
    // Straight samples leave the linear fraction; a level the parabola never meets too.
    EXPECT_EQ(interpolate_crossing(1.0, 0.5, 0.0, 0.75, 0, 0.5), 0.5);
    EXPECT_EQ(interpolate_crossing(1.0, 0.7, -0.2, 2.0, 0, 0.25), 0.25);
}

}  // namespace

namespace {

// A spot symmetric about the centre cell, counted by hand: 8 at the centre, 4 on each of the
// four cells one out, 2 on the four diagonal cells (sqrt 2 out) and 1 on the four cells two out
// along the axes; 36 in all. The circle of radius 1 holds the centre and the cells one out
// (24 / 36), that of radius 2 everything; the square of full width 2 holds the 3 x 3 block
// (32 / 36), that of width 4 everything; size 0 holds nothing. The centre is given exactly and
// with the residues a centroid of such a spot comes out with: the rings stay the same.
TEST(PsfRings, CellsOnARingCountInIt) {
    const int n = 16;
    double* rows[n];
    std::vector<double> cells(n * n, 0.0);
    for (int r = 0; r < n; ++r) rows[r] = &cells[static_cast<std::size_t>(r * n)];
    const auto at = [&](int dx, int dy) -> double& { return rows[n / 2 - dy][n / 2 + dx]; };
    at(0, 0) = 8.0;
    for (int s = -1; s <= 1; s += 2) {
        at(s, 0) = at(0, s) = 4.0;
        at(s, s) = at(s, -s) = 2.0;
        at(2 * s, 0) = at(0, 2 * s) = 1.0;
    }
    const double centres[][2] = {{0.0, 0.0}, {1e-16, -1e-16}, {-3e-16, 2e-16}, {2e-15, 0.0}};
    for (const auto& c : centres) {
        SCOPED_TRACE(testing::Message() << c[0] << " " << c[1]);
        const PsfGridView view{.cells = rows, .n = n, .x0 = c[0], .y0 = c[1]};
        std::vector<double> circle(4), square(3);
        ASSERT_EQ(psf_width_stats(view, circle.data(), 1.0, 4, 0), 0);
        ASSERT_EQ(psf_energy_stats(view, square.data(), 2.0, 3, 0), 0);
        EXPECT_NEAR(circle[0], 0.0, 1e-12);
        EXPECT_NEAR(circle[1], 24.0 / 36.0, 1e-12);
        EXPECT_NEAR(circle[2], 1.0, 1e-12);
        EXPECT_NEAR(circle[3], 1.0, 1e-12);
        EXPECT_NEAR(square[0], 0.0, 1e-12);
        EXPECT_NEAR(square[1], 32.0 / 36.0, 1e-12);
        EXPECT_NEAR(square[2], 1.0, 1e-12);
        // Size against energy: the energy of a ring is reached at that ring's size.
        std::vector<double> radius(2), width(2);
        ASSERT_EQ(psf_width_stats(view, radius.data(), 24.0 / 36.0, 2, 1), 0);
        ASSERT_EQ(psf_energy_stats(view, width.data(), 32.0 / 36.0, 2, 1), 0);
        EXPECT_NEAR(radius[1], 1.0, 1e-12);
        EXPECT_NEAR(width[1], 2.0, 1e-12);
    }
}

}  // namespace

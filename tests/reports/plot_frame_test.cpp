// The plot frame's services: the scale rule with its one-shot and minimum settings, the curve
// drawer's spline against polynomials it must reproduce, its markers, the wavelength legend and
// the axes' ticks where the window's mapping puts them.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "graphics/draw_primitives.h"
#include "reports/plot_frame.h"
#include "tests/reports/plot_fixture.h"
#include "ui/plot_scale.h"

namespace plot_test {
namespace {

class PlotFrame : public PlotLoop {
protected:
    void SetUp() override {
        PlotLoop::SetUp();
        graphwin_new_page(1);
        set_plot_world(-1.2, 1.2, -1.2, 1.2);
    }
};

TEST_F(PlotFrame, ScaleSteps) {
    struct Case {
        double one_shot, minimum, value;
        int mode;
        double expected, one_shot_after;
    };
    const Case cases[] = {
        {0, 0, 0.0037, 1, 0.005, 0},   {0, 0, 1.0, 1, 1.0, 0},        {0, 0, 12, 3, 10, 0},
        {0, 0, 17, 2, 10, 0},          {0, 0, 0.8, 1, 1.0, 0},        {0, 0, 37, 1, 50, 0},
        {-0.02, 0, 3.0, 1, 0.02, 0},   {-0.02, 0, 3.0, 10, 5, -0.02}, {0, 0.01, 0.0004, 1, 0.01, 0},
        {0.001, 0.01, 5, 1, 0.001, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        set_setting_double(kSetGraphicsScale, c.one_shot, 0, 0);
        set_setting_double(kSetGraphicsMinimumScale, c.minimum, 0, 0);
        const double got = plot_scale_step(c.value, c.mode);
        EXPECT_NEAR(got, c.expected, 1e-12 * c.expected);
        EXPECT_EQ(get_setting_double(kSetGraphicsCurrentScale, 0, 0), got);
        EXPECT_EQ(get_setting_double(kSetGraphicsScale, 0, 0), c.one_shot_after);
    }
}

// The sampled curve through equally spaced values of a polynomial the estimated end slopes
// make exact: a cubic from four points on, a quadratic through three.
TEST_F(PlotFrame, SampledCurvesReproduceCubicsAndQuadratics) {
    struct Case {
        int n;
        double x0, dx, scale;
        std::array<double, 4> c;  // c0 + c1 x + c2 x^2 + c3 x^3
    };
    const Case cases[] = {
        {4, 0.0, 1.0, 1.0, {1.0, -2.0, 0.5, 0.25}},
        {9, -1.0, 0.25, 2.0, {0.3, 1.0, -4.0, 2.5}},
        {21, 2.0, 0.1, 0.5, {-1.0, 0.0, 0.0, 1.0}},
        {3, 0.0, 0.5, 1.0, {2.0, -1.0, 3.0, 0.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        auto p = [&](double x) { return c.c[0] + x * (c.c[1] + x * (c.c[2] + x * c.c[3])); };
        std::vector<double> y;
        for (int i = 0; i < c.n; ++i) y.push_back(p(c.x0 + i * c.dx));
        const int sub = 7;
        std::vector<double> out(static_cast<std::size_t>(plot_curve_sample_count(c.n, sub)) + 1,
                                -777.0);
        ASSERT_EQ(plot_curve(c.n, c.x0, c.dx, sub, c.scale, kCurveSampled, 0, y.data(), nullptr,
                             std::span<double>(out.data(), out.size() - 1)),
                  0);
        for (std::size_t k = 0; k + 1 < out.size(); ++k) {
            const double x = c.x0 + static_cast<double>(k) * c.dx / sub;
            EXPECT_NEAR(out[k], p(x) / c.scale, 1e-12) << k;
        }
        EXPECT_EQ(out.back(), -777.0);  // nothing beyond the samples
    }
}

TEST_F(PlotFrame, SampledCurveStopsAtTheEndOfItsOutput) {
    const double y[] = {0.0, 1.0, 4.0, 9.0, 16.0};
    std::vector<double> out(12, -5.0);
    EXPECT_EQ(plot_curve(5, 0.0, 1.0, 8, 1.0, kCurveSampled, 0, y, nullptr,
                         std::span<double>(out.data(), 10)),
              0);
    EXPECT_EQ(out[10], -5.0);
    EXPECT_EQ(out[11], -5.0);
    EXPECT_NEAR(out[8], 1.0, 1e-12);
}

TEST_F(PlotFrame, MarkersStandAtEveryQuarterOfTheCurve) {
    struct Case {
        int n, marker;
        std::vector<int> marked;
    };
    const Case cases[] = {
        {9, 3, {0, 2, 4, 6, 8}}, {9, -2, {0, 4, 8}},    {3, 1, {0, 2}},
        {2, 5, {0, 1}},          {12, 1, {0, 3, 6, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        graphwin_new_page(1);
        set_plot_world(-1.2, 1.2, -1.2, 1.2);
        std::vector<double> y;
        for (int i = 0; i < c.n; ++i) {
            const double t = 0.8 * i / (c.n - 1);
            y.push_back(t * t - 0.5);
        }
        const double dx = 1.6 / (c.n - 1);
        ASSERT_EQ(plot_curve(c.n, -0.8, dx, 5, 1.0, kCurveUpward, c.marker, y.data(), nullptr), 0);
        const auto markers = tavo_test::display_list_markers(display_list_words());
        ASSERT_EQ(markers.size(), 1u);
        EXPECT_EQ(markers[0].type, std::abs(c.marker));
        ASSERT_EQ(markers[0].points.size(), c.marked.size());
        for (std::size_t k = 0; k < c.marked.size(); ++k) {
            const int i = c.marked[k];
            const ListPoint want = stored(-0.8 + i * dx, y[static_cast<std::size_t>(i)]);
            EXPECT_NEAR(markers[0].points[k].x, want.x, 1) << i;
            EXPECT_NEAR(markers[0].points[k].y, want.y, 1) << i;
        }
    }
}

TEST_F(PlotFrame, TwoPointsAreJoinedStraight) {
    const double y[] = {-0.5, 0.5};
    ASSERT_EQ(plot_curve(2, -1.0, 2.0, 5, 1.0, kCurveUpward, 1, y, nullptr), 0);
    const auto lines = tavo_test::display_list_polylines(display_list_words());
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 2u);
    EXPECT_NEAR(lines[0][0].x, stored(-1.0, -0.5).x, 1);
    EXPECT_NEAR(lines[0][0].y, stored(-1.0, -0.5).y, 1);
    EXPECT_NEAR(lines[0][1].x, stored(1.0, 0.5).x, 1);
    EXPECT_NEAR(lines[0][1].y, stored(1.0, 0.5).y, 1);
}

TEST_F(PlotFrame, AcrossModeExchangesTheAxes) {
    const double y[] = {0.0, 0.5, 1.0, 1.5};
    ASSERT_EQ(plot_curve(4, 0.0, 0.25, 1, 2.0, kCurveAcross, 0, y, nullptr), 0);
    const auto lines = tavo_test::display_list_polylines(display_list_words());
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const ListPoint want = stored(y[i] / 2.0, 0.25 * i);
        EXPECT_NEAR(lines[0][static_cast<std::size_t>(i)].x, want.x, 1);
        EXPECT_NEAR(lines[0][static_cast<std::size_t>(i)].y, want.y, 1);
    }
}

TEST_F(PlotFrame, WavelengthMarkersAndLegends) {
    const int markers[][2] = {{1, 1}, {2, 3}, {3, 5}, {4, 2}, {5, 4}, {6, 6}, {7, 7}, {12, 12}};
    for (const auto& m : markers) EXPECT_EQ(wavelength_marker(m[0]), m[1]);
    lens_data().current_wavelength = 0;
    EXPECT_EQ(wavelength_legend_text(1), "WV1 @1");
    lens_data().current_wavelength = 2;
    EXPECT_EQ(wavelength_legend_text(1), "WV3 @5");
    EXPECT_EQ(wavelength_legend_text(3), "WV1-3 @1@3@5");
    lens_data().current_wavelength = 0;
}

TEST_F(PlotFrame, TitlesNameTheConfiguration) {
    type("LEN NEW \"Doublet\"");
    EXPECT_EQ(plot_title(), "Doublet");
    lens_data().current_configuration = 3;
    EXPECT_EQ(plot_title(), "Doublet - CFG 3");
    lens_data().current_configuration = 1;
}

TEST_F(PlotFrame, AxesHaveElevenTicksEachAtTheirMappedPoints) {
    gfx_set_color(1);
    draw_plot_axes(-1.0, 1.0, -1.0, 1.0, 0.0, 0.0);
    const auto lines = tavo_test::display_list_polylines(display_list_words());
    // Each axis and each tick is a line of its own: 2 axes and 22 ticks.
    ASSERT_EQ(lines.size(), 24u) << list_text();
    std::vector<int> across, down;
    for (const auto& l : lines) {
        ASSERT_EQ(l.size(), 2u);
        if (l[0].x == l[1].x && l[0].y != l[1].y && l[0].x != stored(0, 0).x)
            across.push_back(l[0].x);
        if (l[0].y == l[1].y && l[0].x != l[1].x && l[0].y != stored(0, 0).y)
            down.push_back(l[0].y);
    }
    // The ticks at 0 lie on the other axis: nine off it on each.
    ASSERT_EQ(across.size(), 10u);
    ASSERT_EQ(down.size(), 10u);
    std::sort(across.begin(), across.end());
    std::sort(down.begin(), down.end());
    std::vector<int> want_x, want_y;
    for (int i = 0; i <= 10; ++i) {
        if (i == 5) continue;
        want_x.push_back(stored(-1.0 + 0.2 * i, 0).x);
        want_y.push_back(stored(0, -1.0 + 0.2 * i).y);
    }
    std::sort(want_x.begin(), want_x.end());
    std::sort(want_y.begin(), want_y.end());
    EXPECT_EQ(across, want_x);
    EXPECT_EQ(down, want_y);
    // All in colour 1: no colour record after the one set.
    EXPECT_EQ(list_text().find("colour"), list_text().rfind("colour"));
}

TEST_F(PlotFrame, SpecialAperturesAndPupilExceptions) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    EXPECT_EQ(lens_has_special_apertures(), 0);
    EXPECT_EQ(lens_has_pupil_exceptions(), 0);
    SpecialAperture entry{};
    entry.action = kActionClear;
    SurfaceRecord& s = surface(1);
    s.special_apertures = &entry;
    s.special_aperture_count = 1;
    EXPECT_EQ(lens_has_special_apertures(), 1);
    EXPECT_EQ(lens_has_pupil_exceptions(), 0);
    entry.action = kActionObstruct;
    EXPECT_EQ(lens_has_pupil_exceptions(), 1);
    s.special_apertures = nullptr;
    s.special_aperture_count = 0;
}

}  // namespace
}  // namespace plot_test

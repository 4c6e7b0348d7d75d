// Field curves and the longitudinal aberration: a concave mirror stopped at its centre of
// curvature has no astigmatism, a field curved as its focal sphere and no distortion; the
// spherical aberration of a mirror along the axis; the refusal of lateral colour with too few
// wavelengths; the sampling of the field.
#include <cmath>
#include <string>
#include <vector>

#include "reports/field_plots.h"
#include "reports/plot_frame.h"
#include "tests/reports/plot_fixture.h"

namespace plot_test {
namespace {

class FieldPlots : public PlotLoop {};

constexpr double kDegrees = 0.017453292519943295;

TEST_F(FieldPlots, MirrorStoppedAtItsCentreHasACurvedFieldWithoutDistortion) {
    // Every chief ray meets the sphere along its normal: the images lie on the sphere of
    // radius R/2 about the centre, (R/2)(1 - cos t) beyond the flat image at the paraxial
    // focus, sagittal and tangential alike, and at heights (R/2) tan t as the paraxial ones.
    const double R = 200.0, field = 20.0;
    mirror(R, 0.0, 5.0, field, 0.0, true);
    FieldCurves f;
    ASSERT_EQ(compute_field_curves(kCmdPlotAstigmatism, 0, f), 0);
    ASSERT_FALSE(f.failed_rays);
    const double t = field * kDegrees;
    const double want = R / 2.0 * (1.0 - std::cos(t));
    EXPECT_NEAR(f.rows[0].back(), want, 1e-9);
    EXPECT_NEAR(f.second_rows[0].back(), want, 1e-9);
    EXPECT_NEAR(f.rows[0].front(), 0.0, 1e-9);
    // Between, the field angle of fraction y is atan(y tan t).
    for (int i = 0; i < f.n; ++i) {
        const double a = std::atan(i * f.step * std::tan(t));
        EXPECT_NEAR(f.rows[0][static_cast<std::size_t>(i)], R / 2.0 * (1.0 - std::cos(a)), 1e-9);
    }
    ASSERT_EQ(compute_field_curves(kCmdPlotDistortion, 0, f), 0);
    for (double d : f.rows[0]) EXPECT_NEAR(d, 0.0, 1e-9);
}

TEST_F(FieldPlots, MirrorLongitudinalAberrationAlongThePupil) {
    // The image 0.5 nearer the mirror than the paraxial focus: every crossing lies 0.5 further.
    const double R = 200.0, h = 10.0, delta = 0.5;
    mirror(R, 0.0, h, 5.0, delta);
    type("trr 1 0 0 0 0");
    const ObjectPoint before = object_point();
    FieldCurves f;
    ASSERT_EQ(compute_field_curves(kCmdPlotLongitudinalAberration, 0, f), 0);
    auto along = [&](double height) {
        const double t = std::asin(height / R);
        return R / 2.0 * (1.0 / std::cos(t) - 1.0);
    };
    EXPECT_NEAR(f.rows[0].back(), along(h) - delta, 1e-9);
    for (int i = 1; i < f.n; ++i) {
        EXPECT_NEAR(f.rows[0][static_cast<std::size_t>(i)], along(i * f.step * h) - delta, 1e-9);
    }
    // The first sample is at pupil 1e-4, not on the axis where the crossing is undefined (and
    // would be plotted as 0).
    EXPECT_NEAR(f.rows[0].front(), -delta, 1e-6);
    EXPECT_EQ(object_point().y, before.y);
    EXPECT_EQ(object_point().x, before.x);
}

TEST_F(FieldPlots, LateralColourNeedsThreeWavelengths) {
    mirror(200.0, 0.0, 10.0, 5.0, 0.0);
    type("wv 0.5 0.6");
    ASSERT_EQ(lens_data().wavelength_count, 2);
    graphwin_new_page(1);
    const std::vector<std::uint16_t> before = display_list_words();
    type("plot_lateral_color");
    EXPECT_NE(last_box().find("Lateral colour needs at least three wavelengths"), std::string::npos)
        << last_box();
    EXPECT_EQ(display_list_words(), before);
    // A mirror has none: the differences are zero.
    type("wv 0.5 0.6 0.7");
    FieldCurves f;
    ASSERT_EQ(compute_field_curves(kCmdPlotLateralColor, 0, f), 0);
    ASSERT_EQ(f.rows.size(), 2u);
    for (const auto& row : f.rows) {
        for (double d : row) EXPECT_NEAR(d, 0.0, 1e-12);
    }
}

TEST_F(FieldPlots, SixPointsFromAFanDefaultOfThree) {
    mirror(200.0, 0.0, 10.0, 5.0, 0.0);
    type("FANR 3");
    FieldCurves f;
    ASSERT_EQ(compute_field_curves(kCmdPlotAstigmatism, 0, f), 0);
    EXPECT_EQ(f.n, 6);
    EXPECT_DOUBLE_EQ(f.step, 0.2);
    // Drawn with markers at the ends of each curve... and a quarter in: 6/4 = 1, every point.
    type("plf");
    EXPECT_EQ(boxes(), 0u) << last_box();
    const auto markers = tavo_test::display_list_markers(display_list_words());
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0].points.size(), 6u);
    EXPECT_EQ(markers[0].type, 1);
    EXPECT_EQ(markers[1].type, 2);
}

TEST_F(FieldPlots, CommandsDrawTheirFrames) {
    mirror(200.0, 0.0, 10.0, 5.0, 0.0);
    struct Case {
        const char* line;
        const char* title;
    };
    const Case cases[] = {
        {"plf", "ASTIGMATISM"},
        {"plot_distortion", "DISTORTION (%)"},
        {"plot_lateral_color", "LATERAL COLOUR"},
        {"pla wvt", "LONGITUDINAL ABERRATION"},
    };
    for (const Case& c : cases) {
        type(c.line);
        EXPECT_EQ(boxes(), 0u) << c.line << last_box();
        bool found = false;
        for (const std::string& t : tavo_test::display_list_texts(display_list_words())) {
            found = found || t.find(c.title) != std::string::npos;
        }
        EXPECT_TRUE(found) << c.line << "\n" << list_text();
    }
}

TEST_F(FieldPlots, FrameGolden) {
    mirror(200.0, 0.0, 10.0, 5.0, 0.0);
    set_setting_double(kSetGraphicsCurrentScale, 0.2, 0, 0);
    graphwin_new_page(1);
    draw_field_plot_frame(kCmdPlotAstigmatism, 0);
    expect_golden("field_frame", list_text());
}

}  // namespace
}  // namespace plot_test

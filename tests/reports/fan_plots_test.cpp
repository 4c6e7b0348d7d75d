// Ray-intercept and path-difference fans: the spherical aberration of a concave mirror against
// its closed form, the defocus of a paraboloid, the colour correction against hand-worked
// cases, the fan sizes and wavelength selections, the state the plot leaves, and the picture.
#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/draw_primitives.h"
#include "reports/fan_plots.h"
#include "reports/plot_frame.h"
#include "tests/reports/plot_fixture.h"
#include "trace/lens_setup.h"

namespace plot_test {
namespace {

class FanPlots : public PlotLoop {};

// A ray at height h parallel to the axis, reflected by the sphere of radius R, crosses the
// axis (R/2)(sec t - 1) before the paraxial focus (sin t = h/R) at 2t to the axis.
double sphere_intercept(double h, double R) {
    const double t = std::asin(std::fabs(h) / R);
    const double v = R / 2.0 * (1.0 / std::cos(t) - 1.0) * std::tan(2.0 * t);
    return h > 0.0 ? -v : v;
}

TEST_F(FanPlots, MirrorInterceptsAreTheSphericalAberration) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    FanCurves f;
    ASSERT_EQ(compute_fan_curves(false, 0, 0, 11, f), 0);
    ASSERT_EQ(f.n, 11);
    // On axis the lens is symmetric in x: the sagittal fan covers half the pupil.
    ASSERT_TRUE(f.half);
    ASSERT_EQ(f.m, 6);
    for (int i = 0; i < f.n; ++i) {
        const double p = -1.0 + i * f.step;
        EXPECT_NEAR(f.meridional[0].values[static_cast<std::size_t>(i)],
                    sphere_intercept(10 * p, 200), 1e-9)
            << p;
    }
    for (int i = 0; i < f.m; ++i) {
        const double p = i * f.sagittal_step;
        EXPECT_NEAR(f.sagittal[0].values[static_cast<std::size_t>(i)],
                    sphere_intercept(10 * p, 200), 1e-9)
            << p;
    }
}

TEST_F(FanPlots, InterceptsAgreeWithTheRayFanListing) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    FanCurves f;
    ASSERT_EQ(compute_fan_curves(false, 0, 0, 11, f), 0);
    const std::size_t from = output().size();
    type("ray_fan 0 2 11");
    // Rows from pupil 1 down to -1: number, pupil, height, two tangents, then DY.
    std::istringstream rows(output().substr(output().find("SINE COND", from)));
    std::string heading;
    std::getline(rows, heading);
    for (int row = 1; row <= 11; ++row) {
        std::string line;
        ASSERT_TRUE(std::getline(rows, line));
        std::istringstream cells(line);
        std::vector<std::string> c;
        for (std::string v; cells >> v;) c.push_back(v);
        ASSERT_GE(c.size(), 6u) << line;
        const double dy = c[5] == "--" ? 0.0 : std::stod(c[5]);
        // The listing prints six decimals.
        EXPECT_NEAR(f.meridional[0].values[static_cast<std::size_t>(11 - row)], dy, 5e-7) << line;
    }
}

TEST_F(FanPlots, DefocusedParaboloidPathDifferences) {
    // The f/5 paraboloid is perfect at its focus; moved by delta the path difference of a ray
    // at angle t to the axis is delta (1 - cos t), sin t = h / (f + h^2 / 4f).
    const double delta = 0.05, f_mm = 100.0;
    mirror(200.0, -1.0, 10.0, 0.0, delta);
    FanCurves f;
    ASSERT_EQ(compute_fan_curves(true, 0, 0, 21, f), 0);
    const double lambda_mm = lens_data().wavelengths[0].wavelength * 1e-3;
    for (int i = 0; i < f.n; ++i) {
        const double h = 10.0 * (-1.0 + i * f.step);
        if (std::fabs(h) < 1.0) continue;  // too small to hold to 1%
        const double t = std::asin(std::fabs(h) / (f_mm + h * h / (4 * f_mm)));
        const double want = delta * (1.0 - std::cos(t)) / lambda_mm;
        EXPECT_NEAR(std::fabs(f.meridional[0].values[static_cast<std::size_t>(i)]), want,
                    0.01 * want)
            << h;
    }
}

TEST_F(FanPlots, RayCounts) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    lens_data().fan_rays = 3;
    struct Case {
        int rays, n, half;
    };
    const Case cases[] = {{4, 7, 4}, {9, 9, 5}, {10, 11, 6}, {0, 7, 4}};
    for (const Case& c : cases) {
        FanCurves f;
        ASSERT_EQ(compute_fan_curves(false, 0, 0, c.rays, f), 0);
        EXPECT_EQ(f.n, c.n) << c.rays;
        EXPECT_EQ(f.m, c.half) << c.rays;
        EXPECT_NEAR(f.sagittal_step, 1.0 / (c.half - 1), 1e-15);
    }
    // Omitted, the count is the lens's FANR, raised to 7.
    type("plr cur yx 0 0");
    EXPECT_EQ(boxes(), 0u) << last_box();
}

TEST_F(FanPlots, ColourCorrectionOfHandWorkedRays) {
    type("LEN NEW \"Plain\"");
    LensData& lens = lens_data();
    const double air[] = {1.0, 1.0, 1.0};
    RayRecord ray{};
    ray.medium = air;
    RayRecord current{};
    FirstReference first;
    // Focal: P0 at the origin looking along z, sphere radius 100 (centre C0 at z = -100); the
    // ray leaves the origin at angle a in x, so it meets the sphere at -100 (sin a, 0, cos a)
    // and Q - C0 = (-100 sin a, 0, 100 (1 - cos a)). P 0.01 off in x: -(0.01 (-100 sin a)) / 100.
    lens.afocal = 0;
    lens.opdw = 0;
    const double a = 0.1;
    ray.k = std::sin(a);
    ray.m = std::cos(a);
    first.radius = 100.0;
    current.x = 0.01;
    EXPECT_NEAR(opd_colour_correction(ray, first, current), 0.01 * std::sin(a), 1e-15);
    // The same in waves: times (1 mm per unit) / lambda.
    lens.opdw = 1;
    const double lambda_mm = lens.wavelengths[0].wavelength * 1e-3;
    EXPECT_NEAR(opd_colour_correction(ray, first, current), 0.01 * std::sin(a) / lambda_mm, 1e-9);
    // A radius of 0 gives nothing.
    first.radius = 0.0;
    EXPECT_EQ(opd_colour_correction(ray, first, current), 0.0);

    // Afocal: the first reference along z through the origin, the current one tilted by 0.01
    // in x; the ray parallel to the axis 1 off in x meets the plane at (1, 0): (0 - 0.01) * 1.
    lens.afocal = 1;
    lens.opdw = 0;
    ray = RayRecord{};
    ray.medium = air;
    ray.x = 1.0;
    ray.m = 1.0;
    current = RayRecord{};
    current.k = 0.01;
    current.m = std::sqrt(1.0 - 1e-4);
    first = FirstReference{};
    EXPECT_NEAR(opd_colour_correction(ray, first, current), -0.01 / current.m, 1e-15);
    // A ray parallel to the plane has no offsets.
    ray.k = 1.0;
    ray.m = 0.0;
    EXPECT_EQ(opd_colour_correction(ray, first, current), 0.0);
    lens.afocal = 0;
}

TEST_F(FanPlots, OnAxisMirrorNeedsNoColourCorrection) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.3);
    FanCurves corrected, plain;
    ASSERT_EQ(compute_fan_curves(true, 2, 0, 9, corrected), 0);
    type("NOLC On");
    ASSERT_EQ(compute_fan_curves(true, 2, 0, 9, plain), 0);
    ASSERT_EQ(corrected.meridional.size(), 3u);
    for (std::size_t w = 1; w < 3; ++w) {
        for (int i = 0; i < 9; ++i) {
            EXPECT_NEAR(corrected.meridional[w].values[static_cast<std::size_t>(i)],
                        plain.meridional[w].values[static_cast<std::size_t>(i)], 1e-9);
        }
    }
}

TEST_F(FanPlots, PlotLeavesWavelengthAndFieldPoint) {
    mirror(200.0, 0.0, 10.0, 5.0, 0.0);
    type("wv 0.5 0.55 0.6 0.65 0.7");
    type("wl 2");
    type("trr 0.5 0.2 0 0 0");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const ObjectPoint before = object_point();
    const int wavelength = lens_data().current_wavelength;
    for (const char* line : {"plo wvt 0 0 9", "plr all yy", "plr cur xx 0 0 7"}) {
        type(line);
        EXPECT_EQ(boxes(), 0u) << line << last_box();
        EXPECT_EQ(lens_data().current_wavelength, wavelength) << line;
        EXPECT_EQ(object_point().y, before.y) << line;
        EXPECT_EQ(object_point().x, before.x) << line;
        EXPECT_EQ(object_point().selected, before.selected) << line;
        EXPECT_EQ(reference_ray().ray.wavelength, wavelength) << line;
    }
}

TEST_F(FanPlots, FirstThreeOfFiveWavelengthsCarryTheirMarkers) {
    mirror(200.0, 0.0, 10.0, 5.0, 0.0);
    type("wv 0.5 0.55 0.6 0.65 0.7");
    type("plr wvt yx 0.0 0.0 11");
    ASSERT_EQ(boxes(), 0u) << last_box();
    std::set<int> types;
    for (const auto& m : tavo_test::display_list_markers(display_list_words()))
        types.insert(m.type);
    EXPECT_EQ(types, (std::set<int>{1, 3, 5}));
    bool legend = false;
    for (const std::string& t : tavo_test::display_list_texts(display_list_words())) {
        // The title block may cut the legend at the window's edge.
        legend = legend || t.find("WV1-3 @1") != std::string::npos;
    }
    EXPECT_TRUE(legend) << list_text();
}

TEST_F(FanPlots, GivenScaleStaysAndIsStored) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    type("plot_ray_intercepts wvt yx 0.05 0.02");
    EXPECT_EQ(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 0.05);
    type("plr cur yx");
    // Automatic: the largest intercept, 0.0126 at the rim, steps to 0.02; a one-shot scale of
    // 0.2 is taken once.
    const double largest = std::fabs(sphere_intercept(10, 200));
    ASSERT_GT(largest, 0.01);
    ASSERT_LT(largest, 0.02);
    EXPECT_NEAR(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 0.02, 1e-15);
    set_setting_double(kSetGraphicsScale, 0.2, 0, 0);
    type("plr cur yx");
    EXPECT_EQ(get_setting_double(kSetGraphicsCurrentScale, 0, 0), 0.2);
    EXPECT_EQ(get_setting_double(kSetGraphicsScale, 0, 0), 0.0);
}

TEST_F(FanPlots, RewindTakesBackTheCurvesAndLeavesTheFrame) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    type("plo wvt 0.0 0.0 11");
    ASSERT_EQ(boxes(), 0u) << last_box();
    const std::vector<std::uint16_t> whole = display_list_words();
    type("graphics_rewind");
    const std::vector<std::uint16_t> after = display_list_words();
    EXPECT_LT(after.size(), whole.size());
    // The frame alone, drawn afresh with the same scale.
    graphwin_new_page(1);
    draw_fan_plot_frame(1, kCmdPlotOpdFans, true, kComponentOpd, kComponentOpd, 0.0, false);
    EXPECT_EQ(tavo_test::display_list_text(after), list_text());
}

TEST_F(FanPlots, FailedRaysAreMissingOrPlottedAsZero) {
    // A sphere of radius 9 under a beam of radius 10: the rim rays miss it.
    mirror(9.0, 0.0, 10.0, 0.0, 0.0);
    type("APCK On");
    FanCurves f;
    ASSERT_EQ(compute_fan_curves(false, 0, 0, 11, f), 0);
    for (int i = 0; i < 11; ++i) {
        const double p = -1.0 + i * f.step;
        EXPECT_EQ(f.meridional[0].values[static_cast<std::size_t>(i)] >= kMissingValue,
                  std::fabs(p) > 0.95)
            << p;
    }
    EXPECT_FALSE(f.failed_rays);
    type("plr cur yx 0 0 11");
    EXPECT_EQ(boxes(), 0u) << last_box();
    type("APCK Off");
    ASSERT_EQ(compute_fan_curves(false, 0, 0, 11, f), 0);
    EXPECT_TRUE(f.failed_rays);
    EXPECT_EQ(f.meridional[0].values[0], 0.0);
    // Drawn all the same, and then reported.
    const std::size_t shown = errors().size();
    type("plr cur yx 0 0 11");
    EXPECT_NE(errors().find("Rays that failed were plotted as 0", shown), std::string::npos)
        << errors().substr(shown);
}

TEST_F(FanPlots, AnObstructionSplitsTheFanIntoTwoCurves) {
    mirror(200.0, 0.0, 10.0, 0.0, 0.0);
    type("APCK On");
    type("plr cur yx 0 0 11");
    ASSERT_EQ(boxes(), 0u) << last_box();
    // Whole fans: one curve each, one marker record each.
    EXPECT_EQ(tavo_test::display_list_markers(display_list_words()).size(), 2u);
    // A central obstruction of radius 3 on the mirror stops the rays within 0.3 of the centre.
    SpecialAperture stop{};
    stop.shape = kApertureEllipse;
    stop.action = kActionObstruct;
    stop.x[0] = stop.y[0] = -3.0;
    stop.x[1] = stop.y[1] = 3.0;
    struct Attached {
        SurfaceRecord& s;
        ~Attached() {
            s.special_apertures = nullptr;
            s.special_aperture_count = 0;
            lens_setup(0);
        }
    } attached{surface(1)};
    surface(1).special_apertures = &stop;
    surface(1).special_aperture_count = 1;
    ASSERT_EQ(lens_setup(0), 0);
    FanCurves f;
    ASSERT_EQ(compute_fan_curves(false, 0, 0, 11, f), 0);
    for (int i = 0; i < 11; ++i) {
        const double p = -1.0 + i * f.step;
        EXPECT_EQ(f.meridional[0].values[static_cast<std::size_t>(i)] >= kMissingValue,
                  std::fabs(p) < 0.3)
            << p;
    }
    type("plr cur yx 0 0 11");
    ASSERT_EQ(boxes(), 0u) << last_box();
    // The meridional fan in two runs, the sagittal half fan in one from pupil 0.4.
    const auto markers = tavo_test::display_list_markers(display_list_words());
    ASSERT_EQ(markers.size(), 3u);
    // The first run starts at the rim; the sagittal run at pupil 0.4 (graph worlds of the
    // layout beside a half fan).
    set_plot_world(-1.2, 2.6, -1.1, 1.4);
    EXPECT_NEAR(markers[0].points.front().x, stored(-1.0, 0).x, 1);
    EXPECT_NEAR(markers[1].points.front().x, stored(0.4, 0).x, 1);
    set_plot_world(-2.5, 1.3, -1.1, 1.4);
    EXPECT_NEAR(markers[2].points.front().x, stored(0.4, 0).x, 1);
}

TEST_F(FanPlots, FrameGolden) {
    mirror(200.0, 0.0, 10.0, 5.0, 0.0);
    type("trr 1 0 0 0 0");
    set_setting_double(kSetGraphicsCurrentScale, 0.05, 0, 0);
    graphwin_new_page(1);
    draw_fan_plot_frame(0, kCmdPlotRayIntercepts, false, kComponentY, kComponentX, 0.0, false);
    expect_golden("fan_frame", list_text());
}

}  // namespace
}  // namespace plot_test

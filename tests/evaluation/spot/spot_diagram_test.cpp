// The spot diagram of mirrors whose images are known exactly: a paraboloid at its focus (no
// aberration), the same paraboloid with the image moved off focus (a uniform disk of rays), a
// spherical mirror at its paraxial focus (the exact transverse spherical aberration), and the
// failures the ray generation reports.
#include "tests/evaluation/spot/spot_fixture.h"

#include "runtime/messages.h"
#include "runtime/settings.h"

namespace lens_setup_test {
namespace {

TEST_F(SpotDiagramTest, LatticeOfSeventeenDivisions) {
    const SpotLattice l = spot_lattice(17.03);
    EXPECT_EQ(l.half_step, 951);
    EXPECT_EQ(l.steps, 17);
    EXPECT_EQ(l.start, -17 * 951);
}

// A paraboloid images the axial point at infinity perfectly: every ray meets the reference
// ray's image point. Only the half pupil x > 0 is traced on the axis of a symmetric lens.
TEST_F(SpotDiagramTest, ParaboloidAtFocusIsAPoint) {
    const double R = 200.0, h = 10.0;  // f = 100, f/5
    mirror(R, -1.0, h, 0.0);
    lens_data().spot_settings->aperture_divisions = 17.03;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    EXPECT_NE(test_state_flag(kFlagSpotDiagramCurrent), 0);
    const SpotStore& store = spot_store();
    EXPECT_EQ(store.half_pupil, 1);
    const auto points = grid_points(17.03, true);
    EXPECT_EQ(store.ray_count, static_cast<int>(points.size()));
    EXPECT_EQ(store.wave_ray_counts[0], store.ray_count);
    EXPECT_EQ(store.pupil_gap, 0);
    // Grid order: row by row from the bottom, columns from the axis outwards.
    for (int i = 0; i < store.ray_count; ++i) {
        ASSERT_DOUBLE_EQ(store.rays[i].col / 16200.0, points[i].first) << i;
        ASSERT_DOUBLE_EQ(store.rays[i].row / 16200.0, points[i].second) << i;
        ASSERT_NEAR(store.rays[i].dx, 0.0, 1e-12);
        ASSERT_NEAR(store.rays[i].dy, 0.0, 1e-12);
    }
    const SpotStats& st = spot_stats();
    EXPECT_EQ(st.mean_x, 0.0);
    EXPECT_NEAR(std::sqrt(std::max(0.0, st.var_x + st.var_y)), 0.0, 1e-12);
    EXPECT_NEAR(store.reference_pv, 0.0, 1e-6);
    EXPECT_NEAR(store.reference_rms, 0.0, 1e-6);
    // A ray at height r meets the paraboloid at sag r^2/4f, so it leaves for the focus at
    // sin u = r / (f + r^2/4f); the Airy radius is 0.60984 lambda / NA.
    const double r = h * lattice_max_radius(17.03);
    const double f = R / 2.0;
    const double na = r / (f + r * r / (4.0 * f));
    const double lambda_mm = lens_data().wavelengths[0].wavelength * 1e-3;
    EXPECT_NEAR(store.airy_radius[0], 0.60984 * lambda_mm / na, 1e-3 * 0.60984 * lambda_mm / na);
}

// With the image moved by delta every ray lands at delta times its slope: the best focus of the
// spot lies a shift of -delta away, and the spot is a disk of radius a = delta tan u_max,
// whose rms is a/2 along an axis and a/sqrt(2) radially.
TEST_F(SpotDiagramTest, DefocusedParaboloidIsAUniformDisk) {
    const double R = 200.0, h = 10.0, delta = 0.05;
    mirror(R, -1.0, h, delta);
    lens_data().spot_settings->aperture_divisions = 64.0;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    const SpotStats& st = spot_stats();
    const double focus = -(st.cov_x_tx + st.cov_y_ty) / (st.var_tx + st.var_ty);
    EXPECT_NEAR(focus, -delta, 1e-9);
    const double f = R / 2.0;
    const double tan_u = h / (f - h * h / (4.0 * f));
    const double a = delta * tan_u;
    EXPECT_NEAR(std::sqrt(st.var_x), a / 2.0, 0.01 * a / 2.0);
    EXPECT_NEAR(std::sqrt(st.var_y), a / 2.0, 0.01 * a / 2.0);
    EXPECT_NEAR(std::sqrt(st.var_x + st.var_y), a / std::sqrt(2.0), 0.01 * a / std::sqrt(2.0));
}

// A spherical mirror at its paraxial focus: the ray at height r crosses the focal plane at
// (R/2)(sec t - 1) tan 2t from the axis (sin t = r/R), on the opposite side. Its rms spot over
// the grid, worked out here ray by ray from that formula.
TEST_F(SpotDiagramTest, SphericalMirrorRmsFollowsTheExactAberration) {
    const double R = 200.0, h = 20.0;
    mirror(R, 0.0, h, 0.0);
    const double d = 17.03;
    lens_data().spot_settings->aperture_divisions = d;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    double sx2 = 0.0, sy = 0.0, sy2 = 0.0;
    const auto points = grid_points(d, true);
    for (const auto& [x, y] : points) {
        const double rho = std::hypot(x, y);
        const double t = std::asin(h * rho / R);
        const double e = R / 2.0 * (1.0 / std::cos(t) - 1.0) * std::tan(2.0 * t);
        sx2 += (e * x / rho) * (e * x / rho);
        sy += e * y / rho;
        sy2 += (e * y / rho) * (e * y / rho);
    }
    const double n = static_cast<double>(points.size());
    const double var_x = sx2 / n;
    const double var_y = sy2 / n - (sy / n) * (sy / n);
    const SpotStats& st = spot_stats();
    ASSERT_EQ(spot_store().ray_count, static_cast<int>(points.size()));
    EXPECT_NEAR(st.var_x, var_x, 1e-9 * var_x);
    EXPECT_NEAR(st.var_y, var_y, 1e-9 * var_y);
    EXPECT_NEAR(st.mean_y, 0.0, 1e-12);
    EXPECT_EQ(st.mean_x, 0.0);
}

// Three wavelengths of positive weight are all traced when the diagram is polychromatic; a
// lens with one wavelength never is.
TEST_F(SpotDiagramTest, PolychromaticTracesEveryWeightedWavelength) {
    mirror(200.0, -1.0, 10.0, 0.0);
    ASSERT_GE(lens_data().wavelength_count, 3);
    lens_data().spot_settings->polychromatic = 1;
    ASSERT_EQ(ensure_spot_diagram(), 0);
    const SpotStore& store = spot_store();
    const int one = static_cast<int>(grid_points(17.03, true).size());
    EXPECT_EQ(store.polychromatic, 1);
    EXPECT_EQ(store.ray_count, lens_data().wavelength_count * one);
    for (int w = 0; w < lens_data().wavelength_count; ++w) EXPECT_EQ(store.wave_ray_counts[w], one);
    EXPECT_EQ(store.rays[one].wave, 1);

    lens_data().wavelength_count = 1;
    clear_state_flag(kFlagSpotDiagramCurrent);
    ASSERT_EQ(ensure_spot_diagram(), 0);
    EXPECT_EQ(store.polychromatic, 0);
    EXPECT_EQ(store.ray_count, one);
}

// An object point off the y axis breaks the mirror symmetry: the whole pupil is traced.
TEST_F(SpotDiagramTest, ObjectPointOffTheYAxisTracesTheWholePupil) {
    mirror(200.0, -1.0, 10.0, 0.0);
    field_by_angle(0.01);
    ASSERT_EQ(lens_setup(0), 0);
    object_point().x = 0.7;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    EXPECT_EQ(spot_store().half_pupil, 0);
    EXPECT_EQ(spot_store().ray_count, static_cast<int>(grid_points(17.03, false).size()));
}

TEST_F(SpotDiagramTest, FailuresLeaveTheDiagramStale) {
    mirror(200.0, -1.0, 10.0, 0.0);
    SpotSettings& s = *lens_data().spot_settings;
    SpotStore& store = spot_store();
    const int grid = static_cast<int>(grid_points(17.03, true).size());

    // Apodisation of width 0 in y.
    s.apodisation_on = 1;
    s.apodisation_width_y = 0.0;
    EXPECT_EQ(ensure_spot_diagram(), kErrorTextReady);
    EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);
    s.apodisation_on = 0;

    // Fewer places than grid points: exactly that many rays, in grid order.
    ASSERT_EQ(resize_spot_storage(50), 0);
    EXPECT_EQ(ensure_spot_diagram(), kErrorTextReady);
    EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);
    EXPECT_EQ(store.ray_count, 50);
    EXPECT_EQ(store.wave_ray_counts[0], 50);
    EXPECT_EQ(store.rays[49].col,
              static_cast<int>(std::lround(grid_points(17.03, true)[49].first * 16200)));

    // Growing the store back gives the whole grid; cutting it below the stored rays empties it.
    ASSERT_EQ(resize_spot_storage(10000), 0);
    ASSERT_EQ(ensure_spot_diagram(), 0);
    EXPECT_EQ(store.ray_count, grid);
    ASSERT_EQ(resize_spot_storage(20), 0);
    EXPECT_EQ(store.ray_count, 0);
    EXPECT_EQ(store.wave_ray_counts[0], 0);
    EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);
    ASSERT_EQ(resize_spot_storage(10000), 0);

    // An aperture that lets only the reference ray through the middle of the mirror.
    ASSERT_EQ(set_object_point(), 0);
    surface(1).aperture_check = 1;
    surface(1).aperture_radius = 1e-6;
    EXPECT_EQ(ensure_spot_diagram(), kErrorTextReady);
    EXPECT_EQ(store.ray_count, 0);
    EXPECT_EQ(test_state_flag(kFlagSpotDiagramCurrent), 0);
}

// Apodisation: the amplitude of a ray falls as exp(-(y/gy)^2 - (x/gx)^2) over the pupil of an
// object at infinity (widths in pupil units of the beam radius).
TEST_F(SpotDiagramTest, GaussianApodisationWeighsTheRays) {
    const double h = 10.0;
    mirror(200.0, -1.0, h, 0.0);
    SpotSettings& s = *lens_data().spot_settings;
    s.apodisation_on = 1;
    s.apodisation_width_y = 5.0;
    s.apodisation_width_x = 8.0;
    ASSERT_EQ(ensure_spot_diagram(), 0) << error_text_buffer();
    const SpotStore& store = spot_store();
    for (int i = 0; i < store.ray_count; i += 7) {
        const double x = store.rays[i].col / 16200.0 * h;
        const double y = store.rays[i].row / 16200.0 * h;
        const double expected = std::exp(-(y / 5.0) * (y / 5.0) - (x / 8.0) * (x / 8.0));
        EXPECT_NEAR(store.rays[i].amplitude, expected, 1e-12) << i;
    }
}

// The update switches the output to the update setting for its statistics and back.
TEST_F(SpotDiagramTest, AnUpdatePutsTheOutputSwitchBack) {
    mirror(200.0, -1.0, 10.0, 0.0);
    std::uint8_t update_output = 1;
    set_spot_update_output_source(&update_output);
    for (const std::uint8_t was : {0, 1}) {
        set_setting_flag(kSetOutputOn, was);
        clear_state_flag(kFlagSpotDiagramCurrent);
        ASSERT_EQ(ensure_spot_diagram(), 0);
        EXPECT_EQ(get_setting_flag(kSetOutputOn), was);
    }
    set_spot_update_output_source(nullptr);
}

}  // namespace
}  // namespace lens_setup_test

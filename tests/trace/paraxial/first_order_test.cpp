// First-order data of the paraxial trace against thick-lens formulas, and the edge cases of
// the trace: telecentric entrance, mirrors, "TIR only" surfaces, perfect lenses, groups,
// gradient media and vanishing divisors.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "tests/trace/paraxial/paraxial_fixture.h"
#include "tests/trace/paraxial/real_rays.h"
#include "trace/paraxial_trace.h"

namespace paraxial_test {
namespace {

constexpr Medium kGlass{{1.5168, 1.52238, 1.51432}};

// A biconvex singlet: R1 = 50, R2 = -80, 6 thick, BK7-like glass.
constexpr double kC1 = 1.0 / 50, kC2 = -1.0 / 80, kT = 6.0;

struct SingletCase {
    const char* name;
    double object_distance;
    double beam_radius;
    double object_height;
};

class Singlet : public ParaxialTest, public ::testing::WithParamInterface<SingletCase> {};

TEST_P(Singlet, SetupDataMatchesThickLensFormulas) {
    const SingletCase& c = GetParam();
    make_lens(c.object_distance, {{kC1, kT, kGlass}, {kC2, 90.0, kAir}});
    LensData& l = lens_data();
    l.entrance_beam_radius = c.beam_radius;
    l.field_is_angle = 0;
    l.object_height = c.object_height;
    ASSERT_EQ(test_lens_setup(0), 0);

    double out[6] = {};
    paraxial_setup_data(0, 0, out);

    const double n = kGlass.n[0];
    // Thick lens in air.
    const double power = (n - 1) * (kC1 - kC2 + (n - 1) * kT * kC1 * kC2 / n);
    const double f = 1 / power;
    const double front_principal = -f * (n - 1) * kT * kC2 / n;  // from the first vertex
    const double s = c.object_distance + front_principal;
    const double u0 = c.beam_radius / c.object_distance;
    const bool finite = c.object_distance < 1e8;
    const double m = f / (f - s);
    const double u_image = u0 / m;
    const double na_object = std::sin(std::atan(u0));
    const double na_image =
        finite ? std::sqrt(1 - na_object * na_object) * std::fabs(u_image) : std::fabs(u_image);
    const double petzval = -n / ((n - 1) * (kC1 - kC2));

    EXPECT_NEAR(out[0], f, 1e-12 * f);
    EXPECT_NEAR(out[1], na_image, 1e-12 * na_image);
    EXPECT_NEAR(out[2], 0.5 / na_image, 1e-12 / na_image);
    EXPECT_NEAR(out[5], petzval, 1e-12 * std::fabs(petzval));
    if (finite) {
        EXPECT_NEAR(out[3], m, 1e-12 * std::fabs(m));
        EXPECT_NEAR(out[4], m * c.object_height, 1e-12 * std::fabs(m * c.object_height));
    }
    EXPECT_NEAR(petzval_radius(0), petzval, 1e-12 * std::fabs(petzval));

    // The x-section of a rotationally symmetric lens has the same focal length, whatever the
    // x-section factors; its image height follows the field factor.
    paraxial_state().x_aperture_factor = 0.5;
    paraxial_state().x_field_factor = 2.0;
    double x_out[6] = {};
    paraxial_setup_data(0, 1, x_out);
    EXPECT_NEAR(x_out[0], f, 1e-12 * f);
    if (finite) {
        EXPECT_NEAR(x_out[4], 2.0 * out[4], 1e-12 * std::fabs(out[4]));
    }
}

INSTANTIATE_TEST_SUITE_P(Conjugates, Singlet,
                         ::testing::Values(SingletCase{"finite", 300.0, 8.0, 20.0},
                                           SingletCase{"near", 150.0, 5.0, -4.0},
                                           SingletCase{"infinite", 1e10, 10.0, -1e9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ParaxialTest, TelecentricEntranceTakesTheLagrangeInvariantFromTheObject) {
    make_lens(200.0, {{kC1, kT, kGlass}, {kC2, 90.0, kAir}});
    LensData& l = lens_data();
    l.entrance_beam_radius = 5.0;
    l.field_is_angle = 0;
    l.object_height = 10.0;
    ASSERT_EQ(test_lens_setup(0), 0);
    l.chief_start_height = l.object_height;  // chief ray parallel to the axis
    l.entrance_pupil_position = kInfiniteDistance;
    paraxial_state().wavelength = 0;
    paraxial_trace(0);
    const double u = 5.0 / 200.0;
    EXPECT_DOUBLE_EQ(paraxial_state().lagrange, -u * 10.0 * 1.0);
}

TEST_F(ParaxialTest, MirrorMakesLaterIndicesNegativeAndFlipsTheScaleFactor) {
    // A concave mirror, R = -200, object at infinity.
    make_lens(1e10, {{-1.0 / 200, -100.0, kAir}});
    surface(1).medium_kind = kMediumMirror;
    LensData& l = lens_data();
    l.axial_start_height = 10.0;
    l.chief_start_height = 0.0;
    l.entrance_pupil_position = 0.0;
    surface(2).vertex_position = -100.0;
    l.image_axial_slope = 0.1;  // as the set-up keeps it after the mirror
    paraxial_trace(0);
    const ParaxialState& p = paraxial_state();
    EXPECT_EQ(p.sign, -1);
    EXPECT_DOUBLE_EQ(p.n, -1.0);
    EXPECT_DOUBLE_EQ(p.f1, -0.5 / (-1.0 * 1.0 * 0.1));
    // Focal length of a mirror: -R / 2 = 100, met by the slope after reflection.
    EXPECT_NEAR(p.u, 10.0 / 100.0, 1e-8);
}

TEST_F(ParaxialTest, TirSurfaceKeepsTheGlassIndexNegated) {
    // A glass block whose plane rear face reflects by total internal reflection.
    make_lens(1e10, {{0.0, 10.0, kGlass}, {0.0, -10.0, kAir}});
    surface(2).tir_only = 1;
    lens_data().entrance_beam_radius = 1.0;
    lens_data().axial_start_height = 1.0;
    surface(0).thickness = 100.0;
    paraxial_trace(0);
    // Index ratio -1 at the reflection: the slope inside the glass (0.01 / n) is mirrored.
    EXPECT_NEAR(paraxial_state().u, -0.01 / kGlass.n[0], 1e-15);
}

TEST_F(ParaxialTest, PerfectLensOfZeroFocalLengthHasNoPower) {
    make_lens(100.0, {{0.0, 50.0, kAir}});
    PerfectLensRecord record{0.0, 0.0};
    surface(1).perfect_lens = &record;
    lens_data().axial_start_height = 2.0;
    paraxial_trace(0);
    EXPECT_DOUBLE_EQ(paraxial_state().u, 0.02);
    record.focal_length = 50.0;
    paraxial_trace(0);
    EXPECT_DOUBLE_EQ(paraxial_state().u, 0.02 - 2.0 / 50.0);
    surface(1).perfect_lens = nullptr;
}

TEST_F(ParaxialTest, MiddleSurfacesOfANonSequentialGroupChangeNothing) {
    // Surfaces 1..3 form a group; the middle one has a strong curvature that must not act.
    make_lens(100.0, {{0.0, 5.0, kAir}, {0.5, 5.0, kGlass}, {0.0, 10.0, kAir}});
    for (int j = 1; j <= 3; ++j) surface(j).group_kind = kGroupNonSequential;
    surface(1).group_role = kRoleFirst;
    surface(2).group_role = kRoleInner;
    surface(3).group_role = kRoleLast;
    lens_data().entrance_beam_radius = 1.0;
    EXPECT_EQ(test_lens_setup(0), 0);
    paraxial_trace(0);
    // Plane surfaces in air: the ray goes straight over 0 + 10 + 10 from surface 1.
    EXPECT_DOUBLE_EQ(paraxial_state().u, 0.01);
    EXPECT_DOUBLE_EQ(paraxial_state().y, 1.0 + 0.01 * 20.0);
}

TEST_F(ParaxialTest, RadialGradientSaturatesInsteadOfOverflowing) {
    make_lens(100.0, {{0.0, 1e6, kGlass}});
    GrinRecord grin{};
    double nr1[10] = {1.0, 1.0, 1.0};
    double* rows[8] = {nr1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    grin.kind = 1;
    grin.coefficients = rows;
    lens_data().entrance_beam_radius = 1.0;
    EXPECT_EQ(test_lens_setup(0), 0);
    surface(1).grin = &grin;
    paraxial_trace(0);
    surface(1).grin = nullptr;
    // y(z) = y cosh(g z) + u sinh(g z) / g and u(z) = u cosh(g z) + y g sinh(g z), with g z held
    // at 500: y = 1 and u = 0.01 / n where the medium starts.
    const double g = std::sqrt(2 * 1.0 / kGlass.n[0]);
    const double u = 0.01 / kGlass.n[0];
    EXPECT_NEAR(paraxial_state().y / std::cosh(500.0), 1.0 + u / g, 1e-9);
    EXPECT_NEAR(paraxial_state().u / std::cosh(500.0), u + g, 1e-9);
}

TEST_F(ParaxialTest, NearlyAfocalLensWithoutTheSwitchGivesSixZeros) {
    // A Keplerian telescope: f 100 and f 50 separated by 150.
    make_lens(1e10, {{0.0, 150.0, kAir}, {0.0, 50.0, kAir}});
    lens_data().entrance_beam_radius = 10.0;
    lens_data().object_height = -1e9;
    EXPECT_EQ(test_lens_setup(0), 0);
    PerfectLensRecord a{100.0, 0.0}, b{50.0, 0.0};
    surface(1).perfect_lens = &a;
    surface(2).perfect_lens = &b;
    double out[6] = {1, 1, 1, 1, 1, 1};
    paraxial_setup_data(0, 0, out);
    for (double v : out) EXPECT_EQ(v, 0.0);

    // With the afocal switch: angular magnification -f1 / f2 = -2.
    lens_data().afocal = 1;
    paraxial_setup_data(0, 0, out);
    EXPECT_NEAR(out[0], -2.0, 1e-9);
    EXPECT_EQ(out[5], 0.0);
    surface(1).perfect_lens = nullptr;
    surface(2).perfect_lens = nullptr;
}

TEST_F(ParaxialTest, AfocalListingWarnsWhenTheOutputSlopeIsNotNearZero) {
    // A single lens marked afocal: listed with the afocal items, and the warning is shown.
    make_lens(1e10, {{kC1, kT, kGlass}, {kC2, 90.0, kAir}});
    lens_data().entrance_beam_radius = 5.0;
    lens_data().object_height = -1e9;
    ASSERT_EQ(test_lens_setup(0), 0);
    lens_data().afocal = 1;
    paraxial_setup_data(1, 0, nullptr);
    const auto all = lines();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].substr(0, 11), "ANGULAR MAG");
    EXPECT_EQ(all[2].substr(0, 10), "EXIT PUPIL");
    ASSERT_EQ(ui.message_boxes_shown().size(), 1u);
    EXPECT_EQ(ui.message_boxes_shown()[0].text, "Marked afocal, output slope not zero");
}

TEST_F(ParaxialTest, ObjectOnTheFirstSurfaceUsesTheKeptSlopes) {
    make_lens(0.0, {{kC1, kT, kGlass}, {kC2, 90.0, kAir}});
    LensData& l = lens_data();
    l.axial_start_height = 0.0;
    l.chief_start_height = 0.0;
    l.object_height = 0.0;
    surface(0).axial_ray_slope = 0.1;
    surface(0).chief_ray_slope = 0.0;
    surface(2).vertex_position = kT;
    surface(3).vertex_position = kT + 90.0;
    l.entrance_pupil_position = 0.0;
    ParaxialState& p = paraxial_state();
    p.listing_kind = kListingFifthSummary;
    paraxial_trace(0);

    // By hand, with n' u' = n u - y (n' - n) c: the axial ray leaves the object on surface 1
    // with the kept slope 0.1, so surface 1 only divides it by n; 6 later, at surface 2,
    //   y2 = 0.6 / n,   u2 = 0.1 - y2 (n - 1) / 80,   and 90 after that   y = y2 + 90 u2.
    const double n = kGlass.n[0];
    const double y2 = 6.0 * 0.1 / n;
    const double u2 = 0.1 - y2 * (n - 1) / 80.0;
    EXPECT_NEAR(p.u, u2, 1e-15);
    EXPECT_NEAR(p.y, y2 + 90.0 * u2, 1e-13);

    // Seidel: surface 1 meets the ray on the axis and adds nothing. Surface 2 gives Welford's
    // S_I = -A^2 y D(u/n) with A = n (u + y c); the program keeps it with the opposite sign.
    // With no field the chief ray stays on the axis and the Lagrange invariant is zero, so every
    // other sum is zero.
    const double u1 = 0.1 / n;
    const double a = n * (u1 + y2 * kC2);
    const double s_i = -a * a * y2 * (u2 - u1 / n);
    EXPECT_NEAR(p.seidel_sum[0], -s_i, 1e-15);
    for (int k = 1; k < 5; ++k) EXPECT_EQ(p.seidel_sum[k], 0.0) << k;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(p.pupil_sum[k], 0.0) << k;
    for (int k = 2; k <= 13; ++k) EXPECT_EQ(p.total_sum[k], 0.0) << k;

    // The spherical sums of third (S1), fifth (T1) and seventh order (T14 of the summary) against
    // real rays from the axial object point, fitted at the paraxial image (virtual: it lies
    // y / u before the image surface). Surface 1 refracts them at the object point itself, where
    // sin u' = sin u / n holds exactly; the aberrations start behind it, and the aperture of their
    // polynomial is the tangent of the ray's slope there, in the glass, the kept slope over n
    // being its edge.
    l.image_axial_slope = p.u;  // as the set-up keeps it: the scale factors use it
    paraxial_trace(0);
    const double image_distance = 90.0 - p.y / p.u;
    std::vector<double> apertures, heights;
    for (int k = 1; k <= 40; ++k) {
        const double rho = k / 40.0;
        const double in_glass = std::atan(rho * u1);
        const double sin_u = n * std::sin(in_glass);
        apertures.push_back(rho);
        heights.push_back(
            real_ray_height(0.0, std::sqrt(1 - sin_u * sin_u), sin_u, image_distance));
    }
    const std::vector<double> fit = fit_powers(apertures, heights, {1, 3, 5, 7, 9});
    EXPECT_NEAR(fit[0], 0.0, 1e-12);  // the fit sits at the paraxial image
    EXPECT_NEAR(p.seidel_sum[0] * p.f1, fit[1], 1e-6 * std::fabs(fit[1]));
    EXPECT_NEAR(p.total_sum[1] * p.f1, fit[2], 1e-5 * std::fabs(fit[2]));
    EXPECT_NEAR(p.total_sum[14] * p.f1, fit[3], 1e-3 * std::fabs(fit[3]));
}

}  // namespace
}  // namespace paraxial_test

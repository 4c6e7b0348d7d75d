// The paraxial pass of the lens set-up against an independent trace written here in the
// textbook form n'u' = n u - y c (n' - n), y' = y + t u', with the chief ray found by linearity
// (a ray through the vertex of surface 1 minus the multiple of the axial ray that brings it to
// the stop centre) and the pupils from where that ray crosses the axis.
#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "lens_setup_fixture.h"
#include "numeric/memory.h"

namespace lens_setup_test {
namespace {

struct Trace {
    std::vector<double> y;  // height at surfaces 1..image
    std::vector<double> u;  // slope behind surfaces 1..image-1
};

Trace textbook_trace(double y1, double u0, const std::vector<Surf>& s,
                     const std::vector<double>& power = {}) {
    Trace r;
    double n = 1.0, y = y1, u = u0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double n2 = s[i].n;
        const double phi = s[i].c * (n2 - n) + (i < power.size() ? power[i] : 0.0);
        const double u2 = (n * u - y * phi) / n2;
        r.y.push_back(y);
        r.u.push_back(u2);
        y += s[i].t * u2;
        u = u2;
        n = n2;
    }
    r.y.push_back(y);
    return r;
}

struct Reference {
    Trace axial, chief;
    double entrance_pupil = 0, entrance_radius = 0, exit_pupil = 0, exit_radius = 0;
    std::vector<double> vertex;  // surfaces 1..image
};

Reference reference(double t0, double ebr, double chief_slope, const std::vector<Surf>& s, int stop,
                    const std::vector<double>& power = {}) {
    Reference ref;
    const double u0 = ebr / t0;
    ref.axial = textbook_trace(ebr, u0, s, power);
    const Trace through_vertex = textbook_trace(0.0, chief_slope, s, power);
    const double q = through_vertex.y[stop - 1] / ref.axial.y[stop - 1];
    const double y1 = -q * ebr, uc0 = chief_slope - q * u0;
    ref.chief = textbook_trace(y1, uc0, s, power);
    ref.entrance_pupil = std::fabs(uc0) < 1e-40 ? kInfiniteDistance : -y1 / uc0;
    ref.entrance_radius = std::fabs((ref.entrance_pupil + t0) * u0);
    const std::size_t last = s.size() - 1;
    const double yl = ref.chief.y[last], ul = ref.chief.u[last];
    ref.exit_pupil = -yl / ul;
    ref.exit_radius = std::fabs(ref.axial.y[last] + ref.exit_pupil * ref.axial.u[last]);
    double z = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        ref.vertex.push_back(z);
        if (i < s.size()) z += s[i].t;
    }
    return ref;
}

class ReferenceLensTest : public LensSetupTest {
protected:
    void expect_matches(const Reference& ref, int surfaces, double tol) {
        const LensData& l = lens_data();
        for (int j = 1; j <= surfaces + 1; ++j) {
            const std::size_t i = static_cast<std::size_t>(j - 1);
            SCOPED_TRACE("surface " + std::to_string(j));
            EXPECT_NEAR(surface(j).axial_ray_height, ref.axial.y[i], tol);
            EXPECT_NEAR(surface(j).chief_ray_height, ref.chief.y[i], tol);
            EXPECT_NEAR(surface(j).vertex_position, ref.vertex[i], 1e-12);
            if (j <= surfaces) {
                EXPECT_NEAR(surface(j).axial_ray_slope, ref.axial.u[i], tol);
                EXPECT_NEAR(surface(j).chief_ray_slope, ref.chief.u[i], tol);
            }
        }
        EXPECT_NEAR(l.entrance_pupil_position, ref.entrance_pupil, 1e-9);
        EXPECT_NEAR(l.entrance_pupil_radius, ref.entrance_radius, 1e-9);
        EXPECT_NEAR(l.exit_pupil_position, ref.exit_pupil, 1e-8);
        EXPECT_NEAR(l.exit_pupil_radius, ref.exit_radius, 1e-9);
    }
};

TEST_F(ReferenceLensTest, SingletHeightsSlopesAndPupilsMatchTheTextbookTrace) {
    const std::vector<Surf> s = {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 60, 1.0}};
    make_lens(200, s);
    aperture_by_radius(10);
    field_by_height(-10);
    ASSERT_EQ(lens_setup(0), 0);
    expect_matches(reference(200, 10, 10.0 / 200, s, 1), 2, 1e-12);
    EXPECT_EQ(surface(0).vertex_position, -200);
    // The exit pupil is the image of the stop (surface 1) through surface 2:
    // n'/s' = n/s + (n' - n) c with s = -5 in glass of 1.5.
    const double s_image = 1.0 / (1.5 / -5.0 + (1.0 - 1.5) * (-1.0 / 50));
    EXPECT_NEAR(lens_data().exit_pupil_position, s_image, 1e-9);
    const double magnification = (1.5 * s_image) / (1.0 * -5.0);
    EXPECT_NEAR(lens_data().exit_pupil_radius, std::fabs(magnification) * 10, 1e-9);
    // Computed apertures hold both rays.
    EXPECT_NEAR(surface(2).aperture_radius,
                std::fabs(surface(2).axial_ray_height) + std::fabs(surface(2).chief_ray_height),
                1e-12);
    EXPECT_EQ(surface(1).shape, kShapeSphere);
    EXPECT_EQ(lens_data().rotationally_symmetric, 1);
    EXPECT_EQ(lens_data().plain_lens, 1);
    // Plain surfaces only: the derivative rays go through the differential trace.
    EXPECT_EQ(lens_data().differential_trace, 1);
}

TEST_F(ReferenceLensTest, CementedDoubletAtInfinityGivesItsFocalLength) {
    const std::vector<Surf> s = {
        {1.0 / 61.07, 4.0, 1.5168}, {-1.0 / 44.42, 2.5, 1.6727}, {-1.0 / 129.0, 95, 1.0}};
    make_lens(1e10, s);
    aperture_by_radius(12.5);
    field_by_angle(5.0 * M_PI / 180.0);
    ASSERT_EQ(lens_setup(0), 0);
    const Reference ref = reference(1e10, 12.5, std::tan(5.0 * M_PI / 180.0), s, 1);
    expect_matches(ref, 3, 1e-10);
    EXPECT_NEAR(lens_data().object_height, -std::tan(5.0 * M_PI / 180.0) * 1e10, 1e-3);
    // Thick-lens system matrix: the power is -C of the product of the refraction and transfer
    // matrices, the focal length its inverse.
    double a = 1, b = 0, c = 0, d = 1, n = 1;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double phi = s[i].c * (s[i].n - n);
        // refraction [[1, 0], [-phi, 1]] in reduced slopes
        c -= phi * a;
        d -= phi * b;
        if (i + 1 < s.size()) {
            const double t = s[i].t / s[i].n;
            a += t * c;
            b += t * d;
        }
        n = s[i].n;
    }
    const double efl = -1.0 / c;
    EXPECT_NEAR(-12.5 / lens_data().image_axial_slope, efl, 1e-6 * efl);
}

TEST_F(ReferenceLensTest, AfocalPairOfPerfectLenses) {
    const std::vector<Surf> s = {{0, 125, 1.0}, {0, 50, 1.0}};
    make_lens(1e10, s);
    for (int j : {1, 2}) {
        auto* p = static_cast<PerfectLensRecord*>(mem_alloc(sizeof(PerfectLensRecord)));
        ASSERT_NE(p, nullptr);
        p->focal_length = j == 1 ? 100.0 : 25.0;
        p->magnification = 0;
        surface(j).perfect_lens = p;
    }
    aperture_by_radius(10);
    field_by_angle(M_PI / 180.0);
    ASSERT_EQ(lens_setup(0), 0);
    const Reference ref = reference(1e10, 10, std::tan(M_PI / 180.0), s, 1, {0.01, 0.04});
    expect_matches(ref, 2, 1e-10);
    EXPECT_NEAR(lens_data().image_axial_slope, 0.0, 1e-8);
    // Angular magnification -f1/f2, exit pupil the image of the stop by the second lens.
    EXPECT_NEAR(lens_data().image_chief_slope, -4.0 * std::tan(M_PI / 180.0), 1e-10);
    EXPECT_NEAR(lens_data().exit_pupil_position, 31.25, 1e-6);
    EXPECT_NEAR(lens_data().exit_pupil_radius, 2.5, 1e-6);
    EXPECT_EQ(lens_data().plain_lens, 0);
    EXPECT_EQ(lens_data().differential_trace, 0);
}

TEST_F(ReferenceLensTest, StopInFrontOfTheLensOnItsOwnSurface) {
    const std::vector<Surf> s = {{0, 10, 1.0}, {1.0 / 40, 6, 1.6}, {-1.0 / 80, 50, 1.0}};
    make_lens(300, s, 1);
    aperture_by_radius(5);
    field_by_height(-20);
    ASSERT_EQ(lens_setup(0), 0);
    expect_matches(reference(300, 5, 20.0 / 300, s, 1), 3, 1e-12);
    EXPECT_NEAR(lens_data().entrance_pupil_position, 0.0, 1e-12);
    EXPECT_NEAR(surface(1).chief_ray_height, 0.0, 1e-15);
}

TEST_F(ReferenceLensTest, StopBehindTheLensMovesTheEntrancePupilAndRunsTheSecondPass) {
    const std::vector<Surf> s = {{1.0 / 40, 6, 1.6}, {-1.0 / 80, 10, 1.0}, {0, 50, 1.0}};
    make_lens(300, s, 3);
    aperture_by_radius(5);
    field_by_height(-20);
    ASSERT_EQ(lens_setup(0), 0);
    const Reference ref = reference(300, 5, 20.0 / 300, s, 3);
    expect_matches(ref, 3, 1e-12);
    EXPECT_NEAR(surface(3).chief_ray_height, 0.0, 1e-12);
    // The entrance pupil is the image of the stop through the lens, seen from object space.
    EXPECT_GT(std::fabs(lens_data().entrance_pupil_position), 1.0);
    for (int j : {1, 2}) {
        EXPECT_NEAR(surface(j).aperture_radius,
                    std::fabs(ref.axial.y[j - 1]) + std::fabs(ref.chief.y[j - 1]) + 1e-40, 1e-12);
    }
}

// ---- Object, aperture and field -------------------------------------------------------------

TEST_F(LensSetupTest, NinetyDegreeFieldUsesEightyNineNinetyNine) {
    make_lens(100, {{0.01, 5, 1.5}, {0, 50, 1.0}});
    aperture_by_radius(1);
    field_by_angle(M_PI / 2.0);
    ASSERT_EQ(lens_setup(0), 0);
    const double t = std::tan(89.99 * M_PI / 180.0);
    EXPECT_NEAR(lens_data().object_height / (-t * 100), 1.0, 1e-9);
    EXPECT_TRUE(std::isfinite(lens_data().object_height));
}

TEST_F(LensSetupTest, NumericalApertureOfOneInAirIsReplacedByFiveHundredths) {
    make_lens(100, {{0.01, 5, 1.5}, {0, 50, 1.0}});
    lens_data().aperture_is_na = 1;
    lens_data().object_na = 1.0;
    field_by_height(-1);
    ASSERT_EQ(lens_setup(0), 0);
    const double u = 0.05 / std::sqrt(1 - 0.05 * 0.05);
    EXPECT_NEAR(lens_data().entrance_beam_radius, u * 100, 1e-12);
    EXPECT_DOUBLE_EQ(lens_data().object_na, 1.0);
    EXPECT_NEAR(surface(1).axial_ray_height, u * 100, 1e-12);
}

TEST_F(LensSetupTest, BeamRadiusGivesTheObjectNumericalAperture) {
    make_lens(100, {{0.01, 5, 1.5}, {0, 50, 1.0}});
    aperture_by_radius(10);
    field_by_height(-1);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_NEAR(lens_data().object_na, std::sin(std::atan(0.1)), 1e-15);
}

TEST_F(LensSetupTest, ZeroAxialHeightAtTheStopEndsThePass) {
    // A beam of no width has no axial ray height anywhere.
    make_lens(100, {{1.0 / 50, 5, 1.5}, {0, 10, 1.0}}, 2);
    aperture_by_radius(0);
    field_by_angle(0.01);
    ASSERT_EQ(lens_setup(0), kMsgZeroStopHeight);
    EXPECT_EQ(lens_data().failing_surface, 2);
    EXPECT_EQ(test_state_flag(kFlagLensSetupRunning), 0);
}

TEST_F(LensSetupTest, StopOnTheImageSurfaceMovesToSurfaceOne) {
    make_lens(100, {{0.01, 5, 1.5}, {0, 50, 1.0}}, 3);
    aperture_by_radius(2);
    field_by_height(-1);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_data().aperture_stop, 1);
    EXPECT_EQ(lens_data().reference_surface, 1);
    EXPECT_NEAR(surface(1).chief_ray_height, 0.0, 1e-15);
}

TEST_F(LensSetupTest, NothingChangesWhileALensFileIsRead) {
    make_lens(100, {{0.01, 5, 1.5}, {0, 50, 1.0}});
    surface(2).vertex_position = 123.0;
    set_state_flag(kFlagLensReadInBulk);
    EXPECT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(2).vertex_position, 123.0);
    EXPECT_EQ(lens_flags().bounds_stale, 1);
    clear_state_flag(kFlagLensReadInBulk);
    EXPECT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(2).vertex_position, 5.0);
}

TEST_F(LensSetupTest, TelecentricObjectStartsTheChiefRayParallel) {
    make_lens(100, {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 60, 1.0}});
    aperture_by_radius(2);
    field_by_height(-3);
    lens_data().aim_mode = kAimTelecentric;
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(lens_data().aim_telecentric, 1);
    EXPECT_DOUBLE_EQ(lens_data().entrance_pupil_position, kInfiniteDistance);
    EXPECT_DOUBLE_EQ(surface(1).chief_ray_height, -3.0);
    EXPECT_DOUBLE_EQ(surface(0).chief_ray_slope, 0.0);
}

}  // namespace
}  // namespace lens_setup_test

namespace {

// The set-up marks each surface for the trace's plain step: a sphere is plain, an asphere is
// not, and a surface changed into an asphere loses its mark at the next set-up.
using lens_setup_test::LensSetupTest;

TEST_F(LensSetupTest, SetUpMarksWhichSurfacesThePlainTraceStepMayTake) {
    make_lens(200, {{1.0 / 50, 5, 1.5}, {-1.0 / 50, 60, 1.0}});
    aperture_by_radius(10);
    field_by_height(-10);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).plain_mark, kPlainSurface);
    EXPECT_EQ(surface(2).plain_mark, kPlainSurface);

    ASSERT_EQ(alloc_asphere_record(2, kAsphereEven, 4), 0);
    set_polynomial_asphere_term(2, 4, 1e-6);
    ASSERT_EQ(lens_setup(0), 0);
    EXPECT_EQ(surface(1).plain_mark, kPlainSurface);
    EXPECT_EQ(surface(2).plain_mark, kPlainNotPlain);
}

}  // namespace

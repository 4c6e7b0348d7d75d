// The reference ray of the current object point: its aim at the centre of the reference
// surface (plain and tilted stops, finite and infinite objects), the reference-sphere radius of
// a slow lens against its paraxial exit pupil, the axial-object rule and the lens left as it was.
#include <gtest/gtest.h>

#include <cmath>

#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "platform/state_reset.h"
#include "tables/table_names.h"
#include "tests/trace/lens_setup/lens_setup_fixture.h"
#include "trace/derived_rays.h"
#include "trace/object_point.h"
#include "trace/ray_trace.h"
#include "trace/trace_seams.h"

namespace lens_setup_test {
namespace {

class ReferenceRayTest : public LensSetupTest {
protected:
    void SetUp() override {
        LensSetupTest::SetUp();
        saved_seams_ = trace_seams();
        install_derived_rays();
        reset_pupil_scale_factors();
    }
    void TearDown() override {
        trace_seams() = saved_seams_;
        LensSetupTest::TearDown();
    }

    // A triplet with its own plane stop (surface 4) between the first two elements.
    void triplet(double t0) {
        make_lens(t0,
                  {{1.0 / 22.0, 3.3, 1.62},
                   {-1.0 / 435.0, 2.0, 1.0},
                   {0.0, 2.0, 1.0},
                   {-1.0 / 22.2, 1.0, 1.62},
                   {1.0 / 20.4, 5.0, 1.0},
                   {1.0 / 79.7, 3.0, 1.62},
                   {-1.0 / 18.4, 42.0, 1.0}},
                  3);
        aperture_by_radius(5.0);
        if (t0 >= 1e8) {
            field_by_angle(10.0 * M_PI / 180.0);
        } else {
            field_by_height(12.0);
        }
    }

    // Where a plain ray with the reference ray's pupil fractions crosses surface j.
    static void crossing(int j, double& x, double& y) {
        const RayRecord& ref = reference_ray().ray;
        RayRecord r{};
        r.obj_x = ref.obj_x;
        r.obj_y = ref.obj_y;
        r.pup_x = ref.pup_x;
        r.pup_y = ref.pup_y;
        r.kind = kRayKept;  // no derivatives: the set-up and the surface steps alone
        r.pupil_at_entrance = 1;
        setup_ray_at_object(r, nullptr);
        trace_to_surface(r, j);
        EXPECT_EQ(r.failure, 0);
        x = r.x;
        y = r.y;
    }

private:
    TraceSeams saved_seams_{};
};

TEST_F(ReferenceRayTest, TheChiefRayCrossesTheStopCentre) {
    struct Case {
        const char* name;
        double t0;
        bool tilted_stop;
        double ox, oy;
    };
    const Case cases[] = {{"infinite object, full field", 1e10, false, 0.0, 1.0},
                          {"infinite object, skew field", 1e10, false, 0.5, 0.7},
                          {"finite object", 150.0, false, 0.0, 0.7},
                          {"finite object, skew field", 150.0, false, -0.4, 0.9},
                          {"tilted and decentred stop", 1e10, true, 0.3, 0.8},
                          {"tilted stop, finite object", 150.0, true, 0.3, -0.8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        triplet(c.t0);
        if (c.tilted_stop) {
            ASSERT_EQ(ensure_decentre_record(3), 0);
            DecentreRecord& d = *surface(3).decentre;
            d.dcx = -0.15;
            d.dcy = 0.3;
            d.tla = 4.0;
            d.tlb = -2.5;
            d.tilt_mode = 1;
        }
        ASSERT_EQ(lens_setup(0), 0);
        object_point().x = c.ox;
        object_point().y = c.oy;
        ASSERT_EQ(set_object_point(), 0);
        EXPECT_NE(test_state_flag(kFlagReferenceRayCurrent), 0);
        const RayRecord& ref = reference_ray().ray;
        EXPECT_EQ(ref.failure, 0);
        EXPECT_EQ(ref.surface, lens_data().image_surface);
        double x, y;
        crossing(3, x, y);
        EXPECT_NEAR(x, 0.0, 1e-8);
        EXPECT_NEAR(y, 0.0, 1e-8);
        // The aim changed nothing of the lens.
        EXPECT_EQ(lens_data().image_surface, 8);
        EXPECT_EQ(surface(3).thickness, 2.0);
        tavo_test::close_new_lens();
        ASSERT_EQ(tavo_test::open_new_lens(12), 0);
    }
}

// An off-centre point of the reference surface: the ray meets it at its fractions of the
// aperture radius.
TEST_F(ReferenceRayTest, ARequestedPupilPointIsMetOnTheStop) {
    triplet(1e10);
    ASSERT_EQ(lens_setup(0), 0);
    object_point().y = 0.6;
    object_point().pupil_x = 0.3;
    object_point().pupil_y = -0.9;
    ASSERT_EQ(set_object_point(), 0);
    const double radius = surface(3).aperture_radius;
    ASSERT_GT(radius, 0.0);
    double x, y;
    crossing(3, x, y);
    EXPECT_NEAR(x, 0.3 * radius, 1e-8);
    EXPECT_NEAR(y, -0.9 * radius, 1e-8);
}

// A slow lens seen from the axis: the reference sphere (exit-pupil choice) is centred on the
// image point and passes through the paraxial exit pupil.
TEST_F(ReferenceRayTest, TheExitPupilSphereOfASlowLensReachesTheParaxialExitPupil) {
    make_lens(1e10, {{0.0, 10.0, 1.0}, {1.0 / 60.0, 4.0, 1.5}, {-1.0 / 90.0, 70.0, 1.0}}, 1);
    aperture_by_radius(1.5);
    field_by_angle(2.0 * M_PI / 180.0);
    ASSERT_EQ(lens_setup(0), 0);
    lens_data().wrsp = 1;
    ASSERT_EQ(set_object_point(), 0);
    const double pupil_to_image = surface(3).thickness - lens_data().exit_pupil_position;
    EXPECT_NEAR(reference_ray().sphere_radius, pupil_to_image, 1e-9 * std::fabs(pupil_to_image));
    // The same with the auxiliary rays in place of the differential trace.
    lens_data().differential_trace = 0;
    ASSERT_EQ(set_object_point(), 0);
    EXPECT_NEAR(reference_ray().sphere_radius, pupil_to_image, 1e-5 * std::fabs(pupil_to_image));
}

// A lens that keeps its object on the axis refuses any other object point, and takes the axis.
TEST_F(ReferenceRayTest, AnAxialObjectLensRefusesAnOffAxisPoint) {
    triplet(150.0);
    ASSERT_EQ(lens_setup(0), 0);
    lens_data().axial_object_radius = 0.5;
    object_point().y = 0.5;
    EXPECT_EQ(set_object_point(), kMsgObjectOffAxis);
    object_point().y = 0.0;
    EXPECT_EQ(set_object_point(), 0);
}

}  // namespace
}  // namespace lens_setup_test

namespace lens_setup_test {
namespace {

// A concave spherical mirror of radius R with the object at infinity, the image plane at the
// paraxial focus R/2: a ray at height h (sin t = h/R) is reflected through the axis at
// R / (2 cos t) from the centre, so it meets the focal plane (R/2) (sec t - 1) tan 2t from the
// axis, which tends to h^3 / 2R^2.
TEST_F(ReferenceRayTest, ASphericalMirrorFanFollowsTheExactAberration) {
    const double R = 200.0;
    make_lens(kInfiniteDistance, {{-1.0 / R, -R / 2.0, 1.0}}, 1);
    ASSERT_EQ(set_surface_medium(1, kMediumMirror, "MIRROR", 0), 0);
    aperture_by_radius(40.0);
    field_by_angle(1e-3);
    ASSERT_EQ(lens_setup(0), 0);
    ASSERT_EQ(set_object_point(), 0);
    for (const double p : {1.0, 0.75, 0.5, 0.25, 0.01, -0.6}) {
        SCOPED_TRACE(p);
        RayRecord ray = reference_ray().ray;
        ray.kind = kRayMeasured;
        ray.pup_x = 0.0;
        ray.pup_y = p;
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0);
        const double h = 40.0 * p;
        const double t = std::asin(std::fabs(h) / R);
        const double exact = R / 2.0 * (1.0 / std::cos(t) - 1.0) * std::tan(2.0 * t);
        EXPECT_NEAR(std::fabs(ray.dy), exact, 1e-12);
        EXPECT_NEAR(ray.dx, 0.0, 1e-12);
        if (std::fabs(p) <= 0.01) {
            // The third-order value, to within its next order, (h/R)^2 smaller.
            const double third = h * h * h / (2 * R * R);
            EXPECT_NEAR(std::fabs(ray.dy), third, 10.0 * (h / R) * (h / R) * third);
        }
    }
}

// Rim reference rays: an aperture on surface 1 of 0.6 of the beam radius cuts the axial beam of
// an object at infinity (its rays parallel to the axis up to surface 1) to 0.6 of the pupil in
// every direction; the stop alone would pass it all, so the area ratio is about 0.36.
TEST_F(ReferenceRayTest, RimRaysFindTheLimitsOfAVignettingAperture) {
    triplet(1e10);
    ASSERT_EQ(lens_setup(0), 0);
    LensData& lens = lens_data();
    lens.aim_mode = kAimRimRays;
    const double epr = lens.axial_start_height;
    surface(1).aperture_check = 1;
    surface(1).aperture_radius = 0.6 * epr;
    ASSERT_EQ(set_object_point(), 0);
    const double* row = reference_ray().ray.pupil_bounds;
    ASSERT_NE(row, nullptr);
    EXPECT_NEAR(row[0], -0.6, 1e-8);
    EXPECT_NEAR(row[1], 0.6, 1e-8);
    EXPECT_NEAR(row[2], -0.6, 1e-8);
    EXPECT_NEAR(row[3], 0.6, 1e-8);
    // The stop's own rim rays stand at nearly the full pupil (the real stop rim lies a little
    // off the paraxial one), so the ratio is near 1.2^2 / 2^2.
    EXPECT_NEAR(row[4], 0.36, 0.36 * 0.03);
    // The reference ray's own pupil point, the middle, re-expressed within the limits.
    EXPECT_NEAR(reference_ray().ray.eff_pup_y, 0.0, 1e-8);
    EXPECT_EQ(lens.reference_surface, 3);
    EXPECT_EQ(lens.image_surface, 8);
}

}  // namespace
}  // namespace lens_setup_test

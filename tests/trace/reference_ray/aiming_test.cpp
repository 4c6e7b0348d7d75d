// Wide-angle aiming: a monocentric lens with its stop at the common centre, where the chief ray
// of every field goes through undeviated; rays aimed at points of the stop from an 80 degree
// field, from a finite object, an unreachable field, and the lens unchanged after every aim.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/state_reset.h"
#include "tests/trace/lens_setup/lens_setup_fixture.h"
#include "trace/derived_rays.h"
#include "trace/grin_propagation.h"
#include "trace/object_point.h"
#include "trace/ray_aiming.h"
#include "trace/ray_trace.h"
#include "trace/special_surfaces.h"
#include "trace/surface_probes.h"
#include "trace/trace_seams.h"

namespace lens_setup_test {
namespace {

constexpr double kDeg = M_PI / 180.0;

class Aiming : public LensSetupTest {
protected:
    void SetUp() override {
        LensSetupTest::SetUp();
        saved_seams_ = trace_seams();
        install_derived_rays();
        install_ray_aiming();
        reset_pupil_scale_factors();
    }
    void TearDown() override {
        trace_seams() = saved_seams_;
        LensSetupTest::TearDown();
    }

    // Glass shells of radius 20 about one centre, the stop (surface 2) at the centre.
    void monocentric(double t0) {
        make_lens(t0, {{1.0 / 20.0, 20.0, 1.5}, {0.0, 20.0, 1.5}, {-1.0 / 20.0, 40.0, 1.0}}, 2);
        aperture_by_radius(2.0);
        if (t0 >= 1e8) {
            field_by_angle(80.0 * kDeg);
        } else {
            field_by_height(60.0);
        }
        ASSERT_EQ(lens_setup(0), 0);
        lens_data().wide_angle = 1;
    }

    static RayRecord ray(double oy, double px, double py) {
        RayRecord r{};
        r.kind = kRayKept;
        r.obj_y = oy;
        r.pup_x = px;
        r.pup_y = py;
        return r;
    }

    struct Snapshot {
        int image, rfs, skip[6];
        double thickness[6];
        std::uint8_t wide;
    };
    static Snapshot snapshot() {
        Snapshot s{};
        s.image = lens_data().image_surface;
        s.rfs = lens_data().reference_surface;
        s.wide = lens_data().wide_angle;
        for (int n = 0; n < 6; ++n) {
            s.skip[n] = surface(n).skip_to;
            s.thickness[n] = surface(n).thickness;
        }
        return s;
    }
    static void expect_same(const Snapshot& a, const Snapshot& b) {
        EXPECT_EQ(a.image, b.image);
        EXPECT_EQ(a.rfs, b.rfs);
        EXPECT_EQ(a.wide, b.wide);
        for (int n = 0; n < 6; ++n) {
            EXPECT_EQ(a.skip[n], b.skip[n]);
            EXPECT_EQ(a.thickness[n], b.thickness[n]);
        }
    }

private:
    TraceSeams saved_seams_{};
};

// From an 80 degree field, rays aimed at points (a R, b R) of the stop meet them there and
// start in the field's direction; the chief ray leaves the lens in that direction too.
TEST_F(Aiming, RaysFromAnEightyDegreeFieldMeetTheirPointsOfTheStop) {
    monocentric(1e10);
    const Snapshot before = snapshot();
    const double R = surface(2).aperture_radius;
    ASSERT_GT(R, 0.0);
    const double want_l = std::sin(80.0 * kDeg), want_m = std::cos(80.0 * kDeg);
    const double points[][2] = {{0.0, 0.0}, {0.0, 0.9}, {0.0, -0.9}, {0.7, 0.3}, {-0.5, -0.6}};
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p[0] << " " << p[1]);
        RayRecord r = ray(1.0, p[0], p[1]);
        setup_ray_at_object(r, nullptr);
        ASSERT_EQ(r.failure, 0);
        EXPECT_NEAR(r.k, 0.0, 1e-15);
        EXPECT_NEAR(r.l, want_l, 1e-15);
        EXPECT_NEAR(r.m, want_m, 1e-15);
        trace_to_surface(r, 2);
        ASSERT_EQ(r.failure, 0);
        EXPECT_NEAR(r.x, p[0] * R, 1e-6 * R);
        EXPECT_NEAR(r.y, p[1] * R, 1e-6 * R);
        if (p[0] == 0.0 && p[1] == 0.0) {
            trace_to_surface(r, lens_data().image_surface);
            ASSERT_EQ(r.failure, 0);
            EXPECT_NEAR(r.l, want_l, 1e-6);
            EXPECT_NEAR(r.m, want_m, 1e-6);
        }
        expect_same(before, snapshot());
    }
}

// A finite object point: the aimed ray starts from the object point and meets its stop point.
TEST_F(Aiming, RaysFromAFiniteObjectPointMeetTheirPointsOfTheStop) {
    monocentric(80.0);
    const double R = surface(2).aperture_radius;
    const double points[][2] = {{0.0, 0.0}, {0.0, 0.8}, {0.6, -0.4}};
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p[0] << " " << p[1]);
        RayRecord r = ray(0.9, p[0], p[1]);
        setup_ray_at_object(r, nullptr);
        ASSERT_EQ(r.failure, 0);
        // The start direction points back at the object point, 80 before surface 1.
        const double s = 80.0 / r.m;
        EXPECT_NEAR(r.x - s * r.k, 0.0, 1e-9);
        EXPECT_NEAR(r.y - s * r.l, 0.9 * 60.0, 1e-9);
        trace_to_surface(r, 2);
        ASSERT_EQ(r.failure, 0);
        EXPECT_NEAR(r.x, p[0] * R, 1e-5 * R);
        EXPECT_NEAR(r.y, p[1] * R, 1e-5 * R);
    }
}

// The reference ray of the wide-angle lens crosses the stop centre, to what the aim's angular
// tolerance (a hundred-thousandth of a degree) allows over the 20 from surface 1 to the stop.
TEST_F(Aiming, TheWideAngleReferenceRayCrossesTheStopCentre) {
    monocentric(1e10);
    object_point().y = 1.0;
    ASSERT_EQ(set_object_point(), 0);
    RayRecord r = reference_ray().ray;
    r.kind = kRayKept;
    setup_ray_at_object(r, nullptr);
    trace_to_surface(r, 2);
    ASSERT_EQ(r.failure, 0);
    const double allowed = 20.0 * 1.7453292519943297e-7;
    EXPECT_NEAR(r.x, 0.0, allowed);
    EXPECT_NEAR(r.y, 0.0, allowed);
}

// A grating on the front shell bends every ray; the aiming, which traces back through it, still
// finds the rays that meet their points of the stop.
TEST_F(Aiming, RaysThroughAGratingMeetTheirPointsOfTheStop) {
    monocentric(1e10);
    install_special_surfaces();
    surface(1).grating_spacing = 0.05;
    surface(1).diffraction_order = 1;
    ASSERT_EQ(lens_setup(0), 0);  // the set-up marks which surfaces the trace may take as plain
    lens_data().wide_angle = 1;
    const double R = surface(2).aperture_radius;
    const double points[][2] = {{0.0, 0.0}, {0.0, 0.8}, {0.5, -0.5}};
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p[0] << " " << p[1]);
        RayRecord r = ray(0.5, p[0], p[1]);
        setup_ray_at_object(r, nullptr);
        ASSERT_EQ(r.failure, 0);
        trace_to_surface(r, 2);
        ASSERT_EQ(r.failure, 0);
        EXPECT_NEAR(r.x, p[0] * R, 1e-6 * R);
        EXPECT_NEAR(r.y, p[1] * R, 1e-6 * R);
    }
    surface(1).grating_spacing = 0.0;
}

// Traced back from the stop as the aiming does, through a gradient rod whose gradient is zero
// (in front of the stop, and ending at it): the ray comes out exactly as through the same
// homogeneous glass; with a gradient it still comes out, bent otherwise.
TEST_F(Aiming, RaysTracedBackThroughAGradientRod) {
    install_grin_propagation();
    install_surface_probes();
    for (int stop : {3, 2}) {
        SCOPED_TRACE(testing::Message() << "stop " << stop);
        if (stop == 3) {
            make_lens(1e10, {{0.0, 10.0, 1.6}, {0.0, 5.0, 1.0}, {0.0, 40.0, 1.0}}, 3);
        } else {
            make_lens(1e10, {{0.0, 10.0, 1.6}, {0.0, 40.0, 1.0}}, 2);
        }
        double r1[10] = {}, zero[10] = {};
        double* rows[8] = {r1, zero, zero, zero, zero, zero, zero, zero};
        GrinRecord grin{};
        grin.kind = 10;  // selfoc
        grin.step = 0.01;
        grin.coefficients = rows;
        struct Release {
            ~Release() { surface(1).grin = nullptr; }
        } release;
        aperture_by_radius(2.0);
        field_by_angle(20.0 * kDeg);
        ASSERT_EQ(lens_setup(0), 0);
        int compared = 0;
        const double aims[][4] = {{0.0, 0.0, 0.0, 0.0},
                                  {0.0, 0.0, 0.0, 0.05},
                                  {0.0, 0.3, 0.0, 0.35},
                                  {0.2, -0.2, 0.25, -0.25},
                                  {0.0, 0.0, 0.0, 0.6}};
        for (const auto& q : aims) {
            SCOPED_TRACE(testing::Message() << q[0] << " " << q[1] << " " << q[2] << " " << q[3]);
            RayRecord plain = ray(1.0, 0.0, 0.0);
            surface(1).grin = nullptr;
            trace_back_to_object(plain, stop, q[0], q[1], q[2], q[3]);
            for (double& v : r1) v = 0.0;
            surface(1).grin = &grin;
            RayRecord flat = ray(1.0, 0.0, 0.0);
            trace_back_to_object(flat, stop, q[0], q[1], q[2], q[3]);
            EXPECT_EQ(flat.failure, plain.failure);
            if (plain.failure != 0) continue;
            ++compared;
            EXPECT_NEAR(flat.x, plain.x, 1e-9);
            EXPECT_NEAR(flat.y, plain.y, 1e-9);
            EXPECT_NEAR(flat.z, plain.z, 1e-9);
            EXPECT_NEAR(flat.k, plain.k, 1e-12);
            EXPECT_NEAR(flat.l, plain.l, 1e-12);
            EXPECT_NEAR(flat.m, plain.m, 1e-12);
            EXPECT_EQ(flat.grin_state, 0);
            for (double& v : r1) v = 0.05;
            RayRecord bent = ray(1.0, 0.0, 0.0);
            trace_back_to_object(bent, stop, q[0], q[1], q[2], q[3]);
            ASSERT_EQ(bent.failure, 0);
            if (q[1] != 0.0 || q[3] != 0.0) {
                EXPECT_GT(std::fabs(bent.l - plain.l), 1e-4);
            }
        }
        EXPECT_GE(compared, 3);
    }
}

// Wide-angle aiming through a gradient rod in front of the stop: rays aimed at points of the
// stop meet them. The rod folds the 20 degree beam: scanned across by forward rays, the beam
// reaches the stop no lower than a turning height, and lower still only through the plane faces
// of the rod outside the radii the set-up gave them, which the search backwards takes as the
// faces' edges. Points of the stop below the lowest ray so found have no ray of that field, and
// their aims fail instead of returning some other ray.
TEST_F(Aiming, WideAngleRaysThroughAGradientRodMeetTheirPointsOfTheStop) {
    install_grin_propagation();
    install_surface_probes();
    make_lens(1e10, {{0.0, 10.0, 1.6}, {0.0, 5.0, 1.0}, {0.0, 40.0, 1.0}}, 3);
    double r1[10] = {}, zero[10] = {};
    for (double& v : r1) v = 0.05;
    double* rows[8] = {r1, zero, zero, zero, zero, zero, zero, zero};
    GrinRecord grin{};
    grin.kind = 10;  // selfoc
    grin.step = 0.01;
    grin.coefficients = rows;
    surface(1).grin = &grin;
    struct Release {
        ~Release() { surface(1).grin = nullptr; }
    } release;
    aperture_by_radius(2.0);
    field_by_angle(20.0 * kDeg);
    ASSERT_EQ(lens_setup(0), 0);
    lens_data().wide_angle = 1;
    const double R = surface(3).aperture_radius;
    ASSERT_GT(R, 0.0);
    // The lowest point of the stop the field's rays reach within the faces' radii, scanning
    // their heights in the entrance plane finely across the turning point.
    const double face1 = surface(1).aperture_radius, face2 = surface(2).aperture_radius;
    ASSERT_GT(face1, 0.0);
    ASSERT_GT(face2, 0.0);
    double lowest = 1e30;
    for (double y0 = -13.0; y0 <= -6.0; y0 += 0.01) {
        RayRecord f{};
        f.kind = kRayPlain;
        f.y = y0;
        f.z = -1.0;
        f.l = std::sin(20.0 * kDeg);
        f.m = std::cos(20.0 * kDeg);
        f.medium = f.prev_medium = surface(0).index;
        trace_to_surface(f, 1);
        const double y1 = f.y;
        trace_to_surface(f, 2);
        const double y2 = f.y;
        trace_to_surface(f, 3);
        ASSERT_EQ(f.failure, 0) << y0;
        if (std::fabs(y1) <= face1 && std::fabs(y2) <= face2) lowest = std::fmin(lowest, f.y);
    }
    ASSERT_LT(lowest, 0.0);
    ASSERT_LT(-0.5 * R, lowest - 0.01 * R);  // the rim ray that fails has no ray to find
    for (double b : {0.0, 0.5, 0.9, -0.15, -0.3, -0.5, -0.9}) {
        SCOPED_TRACE(testing::Message() << b);
        RayRecord r = ray(1.0, 0.0, b);
        setup_ray_at_object(r, nullptr);
        if (b * R < lowest - 0.01 * R) {
            EXPECT_EQ(r.failure, kRayFailMissed);
            continue;
        }
        ASSERT_GT(b * R, lowest + 0.01 * R);  // no point near the fold, where the aim is ill-posed
        ASSERT_EQ(r.failure, 0);
        trace_to_surface(r, 3);
        ASSERT_EQ(r.failure, 0);
        EXPECT_NEAR(r.x, 0.0, 1e-6 * R);
        EXPECT_NEAR(r.y, b * R, 1e-6 * R);
    }
}

// A field beyond a right angle cannot reach the lens: the aim fails with its code, within its
// bounds, and leaves the lens as it was.
TEST_F(Aiming, AnUnreachableFieldFailsAndLeavesTheLensAsItWas) {
    monocentric(1e10);
    lens_data().field_angle = 100.0 * kDeg;
    const Snapshot before = snapshot();
    RayRecord r = ray(1.0, 0.0, 0.5);
    setup_ray_at_object(r, nullptr);
    EXPECT_NE(r.failure, 0);
    expect_same(before, snapshot());
    EXPECT_EQ(trace_globals().aim_cache_stale, 1);
}

TEST(AimingAngles, AngleOfAndFieldDirectionsFollowTheirDefinitions) {
    const double cases[][2] = {{0.0, 1.0},  {0.0, -1.0}, {1e-30, 1.0}, {1.0, 1e-30},
                               {-2.0, 0.5}, {0.5, -2.0}, {-0.5, -2.0}, {3.0, -0.1}};
    for (const auto& c : cases) EXPECT_NEAR(angle_of(c[0], c[1]), std::atan2(c[0], c[1]), 1e-15);
    for (const double t : {0.3, -0.3, 1.2, -1.2, 1.9, -1.9, 2.5, -2.5}) {
        SCOPED_TRACE(t);
        double k, l, m;
        direction_from_field_angles(0.0, t, k, l, m);
        EXPECT_NEAR(l, std::sin(t), 1e-15);
        EXPECT_NEAR(m, std::cos(t), 1e-15);
        EXPECT_EQ(k, 0.0);
        direction_from_field_angles(t, 0.0, k, l, m);
        EXPECT_NEAR(k, std::sin(t), 1e-15);
        EXPECT_NEAR(m, std::cos(t), 1e-15);
    }
    double k, l, m;
    direction_from_field_angles(0.2, -0.4, k, l, m);
    EXPECT_NEAR(k / m, std::tan(0.2), 1e-15);
    EXPECT_NEAR(l / m, std::tan(-0.4), 1e-15);
    EXPECT_NEAR(k * k + l * l + m * m, 1.0, 1e-15);
}

}  // namespace
}  // namespace lens_setup_test

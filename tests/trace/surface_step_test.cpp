// Decentred and tilted surfaces, SKP links, the image surface's thickness, apertures and the
// failure codes of the surface step.
#include <gtest/gtest.h>

#include <cmath>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"

namespace trace_test {
namespace {

constexpr double kStepExact = 1e-12;

DecentreRecord rotation_record(const double (&r)[9], int kind, double dcx, double dcy) {
    DecentreRecord d{};
    for (int i = 0; i < 9; ++i) d.rotation[i] = r[i];
    d.rotation_kind = static_cast<std::uint8_t>(kind);
    d.tilt_mode = 1;
    d.dcx = dcx;
    d.dcy = dcy;
    return d;
}

// A plane-parallel plate, decentred and tilted: the ray leaves parallel to itself, displaced
// by T sin(theta) (1 - cos(theta) / sqrt(n^2 - sin^2(theta))).
TEST_F(TraceTest, TiltedDecentredPlateDisplacesTheRayByThePlateFormula) {
    const double th = 12.0, n = 1.6;
    Medium glass(n);
    struct Case {
        const char* name;
        double r[9];
        int kind;
        double dcx, dcy;
    };
    const double a = 20.0 * M_PI / 180.0, b = -15.0 * M_PI / 180.0, e = 35.0 * M_PI / 180.0;
    // Rotation about y by b, then about x by e.
    const double ry[9] = {std::cos(b), 0, -std::sin(b), 0, 1, 0, std::sin(b), 0, std::cos(b)};
    const double rx[9] = {1, 0, 0, 0, std::cos(e), std::sin(e), 0, -std::sin(e), std::cos(e)};
    Case both{"compound", {}, 2, 0.7, -1.3};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k) s += rx[3 * i + k] * ry[3 * k + j];
            both.r[3 * i + j] = s;
        }
    }
    const Case cases[] = {
        {"about x",
         {1, 0, 0, 0, std::cos(a), std::sin(a), 0, -std::sin(a), std::cos(a)},
         1,
         0.0,
         2.5},
        {"about y", {ry[0], ry[1], ry[2], ry[3], ry[4], ry[5], ry[6], ry[7], ry[8]}, 2, -3.0, 0.0},
        both,
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        curvature(1, 0.0);
        thickness(1, th);
        curvature(2, 0.0);
        thickness(2, 0.0);
        make_lens(2, kInfiniteDistance);
        surface(1).index = glass.data();
        DecentreRecord dec = rotation_record(c.r, c.kind, c.dcx, c.dcy);
        surface(1).decentre = &dec;
        LensData& lens = lens_data();
        lens.object_height = 0.0;
        lens.axial_start_height = 4.0;
        lens.chief_start_height = 0.0;

        RayRecord ray = make_ray(kRayReported, 0, 0, 0.1, -0.2);
        setup_ray_at_object(ray, nullptr);
        const Vec p0{ray.x, ray.y, ray.z};
        const Vec d0{ray.k, ray.l, ray.m};
        trace_to_next_surface(ray);
        trace_to_next_surface(ray);
        ASSERT_EQ(ray.failure, 0);
        ASSERT_EQ(ray.surface, 2);
        // The incident line and its direction in the plate's frame.
        auto into = [&](Vec v, bool offset) {
            if (offset) v = add(v, {c.dcx, c.dcy, 0.0}, -1.0);
            return Vec{c.r[0] * v[0] + c.r[1] * v[1] + c.r[2] * v[2],
                       c.r[3] * v[0] + c.r[4] * v[1] + c.r[5] * v[2],
                       c.r[6] * v[0] + c.r[7] * v[1] + c.r[8] * v[2]};
        };
        const Vec u = into(d0, false);
        const Vec l0 = into(p0, true);
        EXPECT_NEAR(ray.k, u[0], kStepExact);
        EXPECT_NEAR(ray.l, u[1], kStepExact);
        EXPECT_NEAR(ray.m, u[2], kStepExact);
        const Vec p{ray.x, ray.y, ray.z + th};  // back in the frame of surface 1
        const Vec w = add(p, l0, -1.0);
        const Vec cross{w[1] * u[2] - w[2] * u[1], w[2] * u[0] - w[0] * u[2],
                        w[0] * u[1] - w[1] * u[0]};
        const double cos_t = u[2], sin_t = std::sqrt(1.0 - cos_t * cos_t);
        const double formula = th * sin_t * (1.0 - cos_t / std::sqrt(n * n - sin_t * sin_t));
        EXPECT_NEAR(std::sqrt(dot(cross, cross)), formula, kStepExact);
        surface(1).decentre = nullptr;
    }
}

TEST_F(TraceTest, SkipLinkJumpsAheadSubtractingOnlyTheCurrentThickness) {
    for (int n = 1; n <= 5; ++n) {
        curvature(n, 0.0);
        thickness(n, 10.0 * n);
    }
    make_lens(5, kInfiniteDistance);
    surface(2).skip_to = 5;
    lens_data().axial_start_height = 1.0;
    RayRecord ray = make_ray(kRayPlain, 0, 0, 0, 1);
    setup_ray_at_object(ray, nullptr);
    trace_to_next_surface(ray);
    ASSERT_EQ(ray.surface, 1);
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.surface, 5);
    // Only surface 1's thickness lies between the ray and surface 5's vertex.
    EXPECT_NEAR(ray.dist, 10.0, kStepExact);
    EXPECT_NEAR(ray.opl, 10.0, kStepExact);
    surface(2).skip_to = 0;
}

TEST_F(TraceTest, ImageSurfaceThicknessMovesTheImagePlaneUnlessAfocal) {
    curvature(1, 0.0);
    thickness(1, 20.0);
    thickness(2, 7.0);
    make_lens(1, kInfiniteDistance);
    LensData& lens = lens_data();
    lens.axial_start_height = 1.0;
    for (int afocal : {0, 1}) {
        lens.afocal = static_cast<std::uint8_t>(afocal);
        RayRecord ray = make_ray(kRayPlain, 0, 0, 0, 1);
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0);
        EXPECT_NEAR(ray.dist, afocal ? 20.0 : 27.0, kStepExact);
    }
}

TEST_F(TraceTest, RayWithZeroAxialDirectionGetsInfiniteTangentDifferences) {
    curvature(1, 0.0);
    thickness(1, 10.0);
    make_lens(1, kInfiniteDistance);
    reference_ray().ray.m = 1.0;
    reference_ray().ray.prev_medium = air_.data();
    RayRecord ray = make_ray(kRayMeasured, 0, 0, 0, 0);
    ray.prev_medium = air_.data();
    ray.m = 0.0;
    ray.l = 1.0;
    ray_errors_vs_reference(ray, true);
    EXPECT_EQ(ray.dtan_x, kInfiniteDistance);
    EXPECT_EQ(ray.dtan_y, kInfiniteDistance);
}

// Surface 1 of radius 2 (the other surfaces plain) for the failure cases.
class Failures : public TraceTest {
protected:
    Medium glass_{1.5};
    void SetUp() override {
        TraceTest::SetUp();
        for (int n = 1; n <= 5; ++n) thickness(n, 5.0);
        make_lens(5, kInfiniteDistance);
        LensData& lens = lens_data();
        lens.object_height = 0.0;
        lens.axial_start_height = 3.0;
        lens.chief_start_height = 0.0;
    }
};

TEST_F(Failures, ARayThatMissesTheSphereFailsAtThatSurface) {
    curvature(5, 1.0);  // radius 1, the ray at height 3
    for (int kind : {kRayPlain, kRayKept, kRaySphere}) {
        SCOPED_TRACE(kind);
        RayRecord ray = make_ray(kind, 0, 0, 0, 1);
        ray.dx = ray.dy = 1.5;  // a kind-4 ray keeps what it had
        trace_ray(ray);
        EXPECT_EQ(ray.failure, kRayFailMissed);
        EXPECT_EQ(ray.surface, 5);
        EXPECT_FALSE(std::isnan(ray.x) || std::isnan(ray.k));
        if (kind == kRaySphere) {
            EXPECT_EQ(ray.dx, 1.5);
        } else if (kind == kRayPlain) {
            EXPECT_EQ(ray.dx, 0.0);
        }
    }
}

TEST_F(Failures, RayParallelToAPlaneFailsQuietly) {
    RayRecord ray = make_ray(kRayReported, 0, 0, 0, 1);
    setup_ray_at_object(ray, nullptr);
    trace_to_next_surface(ray);
    ray.k = 0.0;
    ray.l = 1.0;
    ray.m = 0.0;
    ray.z = 1.0;
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.failure, kRayFailMissed);
    EXPECT_EQ(ray.surface, 2);
}

TEST_F(Failures, SurfaceApertureStopsOnlyRaysThatCheckIt) {
    set_aperture_data(2, 1, 0, 3.0);
    surface(2).aperture_check = 1;
    struct Case {
        int kind;
        double pupil;
        int apck;
        int failure;
    };
    const Case cases[] = {
        {kRayReported, 1.0, 1, 0},        // exactly on the radius
        {kRayReported, 1.0000009, 1, 0},  // within one part in a million
        {kRayReported, 1.0000011, 1, kRayFailAperture},
        {kRayMeasured, 1.2, 1, kRayFailAperture},
        {kRayKept, 1.2, 1, kRayFailAperture},
        {kRayReported, 1.2, 0, 0},               // "APCK Off"
        {kRaySphere, 1.2, 0, kRayFailAperture},  // kind 4 always checks
        {kRayPlain, 1.2, 1, 0},                  // kinds 0, 6, 7, 8 never
        {kRayReference, 1.2, 1, 0},
        {kRayFractional, 1.2, 1, 0},
        {kRayGaussian, 1.2, 1, 0},
        {kRayOptimise, 1.2, 1, 0},  // without the optimisation's flag
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " pupil " << c.pupil);
        lens_data().apck = static_cast<std::uint8_t>(c.apck);
        RayRecord ray = make_ray(c.kind, 0, 0, 0, c.pupil);
        trace_ray(ray);
        EXPECT_EQ(ray.failure, c.failure);
        if (c.failure != 0) {
            EXPECT_EQ(ray.surface, 2);
        }
    }
    lens_data().optimise_params->opac = 1;
    RayRecord ray = make_ray(kRayOptimise, 0, 0, 0, 1.2);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailAperture);
    // Without the surface's aperture-check byte nothing stops.
    surface(2).aperture_check = 0;
    ray = make_ray(kRaySphere, 0, 0, 0, 1.2);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, 0);
}

int g_special_result = 0;
int fixed_special_result(int, double, double) {
    return g_special_result;
}

TEST_F(Failures, SpecialApertureResultsBecomeFailuresOrPassThrough) {
    SpecialAperture entry{};
    surface(2).special_apertures = &entry;
    surface(2).special_aperture_count = 1;
    curvature(2, 0.05);
    surface(2).index = glass_.data();
    // Without the special-aperture code the ray cannot be traced past the surface.
    trace_seams().check_special_apertures = nullptr;
    RayRecord ray = make_ray(kRayReported, 0, 0, 0, 0.5);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailNotAvailable);
    EXPECT_EQ(ray.surface, 2);

    trace_seams().check_special_apertures = fixed_special_result;
    struct Case {
        int result;
        int failure;
    };
    for (const Case& c : {Case{0, 0}, {2, kRayFailSpecialAperture}, {4, kRayFailAperture}}) {
        g_special_result = c.result;
        ray = make_ray(kRayReported, 0, 0, 0, 0.5);
        trace_ray(ray);
        EXPECT_EQ(ray.failure, c.failure);
    }
    // Inside an entry of action 1 the ray passes the surface untouched.
    g_special_result = 1;
    ray = make_ray(kRayReported, 0, 0, 0, 0.5);
    setup_ray_at_object(ray, nullptr);
    trace_to_next_surface(ray);
    const double l = ray.l, m = ray.m;
    ray.gamma = 7.0;
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.l, l);
    EXPECT_EQ(ray.m, m);
    EXPECT_EQ(ray.gamma, 0.0);
    EXPECT_EQ(ray.medium, air_.data());
    // Kinds that never check apertures are not stopped.
    g_special_result = 2;
    ray = make_ray(kRayPlain, 0, 0, 0, 0.5);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, 0);
}

TEST_F(Failures, SurfaceKindsWithoutTheirCodeFailAsNotAvailable) {
    trace_seams().intersect_general_surface = nullptr;
    AsphereRecord asphere{};
    surface(3).asphere = &asphere;
    RayRecord ray = make_ray(kRayPlain, 0, 0, 0, 0.5);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailNotAvailable);
    EXPECT_EQ(ray.surface, 3);
    surface(3).asphere = nullptr;

    surface(3).grating_spacing = 0.001;
    ray = make_ray(kRayPlain, 0, 0, 0, 0.5);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailNotAvailable);
    surface(3).grating_spacing = 0.0;
}

// The object sits in glass; surface 1, a plane tilted by 60 degrees, leads into air.
class TotalReflection : public TraceTest {
protected:
    Medium glass_{1.5};
    DecentreRecord tilt_{};
    void SetUp() override {
        TraceTest::SetUp();
        thickness(1, -10.0);
        make_lens(1, kInfiniteDistance);
        surface(0).index = glass_.data();
        const double a = 60.0 * M_PI / 180.0;
        const double r[9] = {1, 0, 0, 0, std::cos(a), std::sin(a), 0, -std::sin(a), std::cos(a)};
        tilt_ = rotation_record(r, 1, 0.0, 0.0);
        LensData& lens = lens_data();
        lens.object_height = 0.0;
        lens.axial_start_height = 1.0;
        lens.chief_start_height = 0.0;
    }
};

TEST_F(TotalReflection, PastTheCriticalAngleFailsUnlessTheSurfaceReflects) {
    surface(1).decentre = &tilt_;
    RayRecord ray = make_ray(kRayMeasured, 0, 0, 0, 0);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailTotalReflection);
    EXPECT_EQ(ray.surface, 1);

    surface(1).tir_only = 1;
    ray = make_ray(kRayPlain, 0, 0, 0, 0);
    setup_ray_at_object(ray, nullptr);
    trace_to_next_surface(ray);
    ASSERT_EQ(ray.failure, 0);
    // Reflected in the surface's frame: the incident direction (0, sin 60, cos 60) mirrored.
    EXPECT_NEAR(ray.k, 0.0, kStepExact);
    EXPECT_NEAR(ray.l, std::sin(60.0 * M_PI / 180.0), kStepExact);
    EXPECT_NEAR(ray.m, -0.5, kStepExact);
    EXPECT_EQ(ray.reversed, 1);
    EXPECT_EQ(ray.medium, glass_.data());
}

TEST_F(TotalReflection, SurfaceThatRequiresReflectionFailsARefractingRay) {
    surface(1).tir_only = 1;  // untilted: the ray meets it at normal incidence
    RayRecord ray = make_ray(kRayMeasured, 0, 0, 0, 0);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailNoReflection);
    EXPECT_EQ(ray.surface, 1);
}

TEST_F(TraceTest, EqualIndicesLeaveTheDirectionAndSetGammaToZero) {
    curvature(1, 0.1);
    thickness(1, 5.0);
    make_lens(1, kInfiniteDistance);
    lens_data().axial_start_height = 2.0;
    RayRecord ray = make_ray(kRayPlain, 0, 0, 0.3, 1);
    setup_ray_at_object(ray, nullptr);
    const double k = ray.k, l = ray.l, m = ray.m;
    ray.gamma = 3.0;
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.k, k);
    EXPECT_EQ(ray.l, l);
    EXPECT_EQ(ray.m, m);
    EXPECT_EQ(ray.gamma, 0.0);
}

TEST_F(TraceTest, SkipLinksReversedAreRestoredWhenTheGuardEnds) {
    make_lens(6, kInfiniteDistance);
    surface(1).skip_to = 4;
    surface(4).skip_to = 6;
    {
        SkipLinksReversed guard;
        EXPECT_EQ(surface(1).skip_to, 0);
        EXPECT_EQ(surface(4).skip_to, 1);
        EXPECT_EQ(surface(6).skip_to, 4);
    }
    EXPECT_EQ(surface(1).skip_to, 4);
    EXPECT_EQ(surface(4).skip_to, 6);
    EXPECT_EQ(surface(6).skip_to, 0);
    surface(1).skip_to = surface(4).skip_to = 0;
}

}  // namespace
}  // namespace trace_test

namespace trace_test {
namespace {

// A glass rod of radius 2 and length 10 whose first surface carries the edge byte: a steep
// ray inside meets the cylindrical wall before the second surface.
class EdgeWall : public TraceTest {
protected:
    Medium glass_{1.5};
    void SetUp() override {
        TraceTest::SetUp();
        thickness(1, 10.0);
        thickness(2, 5.0);
        make_lens(2, kInfiniteDistance);
        surface(1).index = glass_.data();
        set_aperture_data(1, 1, 0, 2.0);
        surface(1).edge = 1;
        lens_data().axial_start_height = 0.0;
    }
    // The ray just inside surface 1 at the axis, heading along (0, l, m).
    RayRecord inside(double l) {
        RayRecord ray = make_ray(kRayPlain, 0, 0, 0, 0);
        setup_ray_at_object(ray, nullptr);
        trace_to_next_surface(ray);
        EXPECT_EQ(ray.edge_state, kEdgeArmed);
        ray.k = 0.0;
        ray.l = l;
        ray.m = std::sqrt(1.0 - l * l);
        return ray;
    }
};

TEST_F(EdgeWall, RayPastTheCriticalAngleReflectsInsideTheWall) {
    RayRecord ray = inside(0.6);
    const double opl = ray.opl;
    trace_to_next_surface(ray);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.edge_state, kEdgeInside);
    EXPECT_EQ(ray.surface, 1);  // the next surface is not reached yet
    EXPECT_NEAR(ray.y, 2.0, kStepExact);
    EXPECT_NEAR(ray.z, 2.0 / 0.6 * 0.8, kStepExact);
    EXPECT_NEAR(ray.l, -0.6, kStepExact);
    EXPECT_NEAR(ray.m, 0.8, kStepExact);
    EXPECT_NEAR(ray.opl - opl, 1.5 * 2.0 / 0.6, kStepExact);
}

TEST_F(EdgeWall, RayLeavesThroughTheWallAndGoesOnInTheOuterMedium) {
    const double l = 0.9, m = std::sqrt(1.0 - l * l);
    RayRecord ray = inside(l);
    trace_to_next_surface(ray);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.edge_state, kEdgeLeft);
    const double z_wall = 2.0 / l * m;
    EXPECT_NEAR(ray.y, 2.0, kStepExact);
    EXPECT_NEAR(ray.z, z_wall, kStepExact);
    // Snell at the wall: the axial component keeps n m, the radial one makes up the rest.
    const double m_out = 1.5 * m, l_out = std::sqrt(1.0 - m_out * m_out);
    EXPECT_NEAR(ray.l, l_out, kStepExact);
    EXPECT_NEAR(ray.m, m_out, kStepExact);
    EXPECT_EQ(ray.medium, air_.data());
    trace_to_next_surface(ray);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.edge_state, kEdgeNone);
    EXPECT_EQ(ray.surface, 2);
    EXPECT_NEAR(ray.y, 2.0 + (10.0 - z_wall) * l_out / m_out, kStepExact);
    EXPECT_NEAR(ray.l, l_out, kStepExact);
}

TEST_F(EdgeWall, RayThatMeetsTheNextSurfaceFirstIgnoresTheWall) {
    RayRecord ray = inside(0.1);
    trace_to_next_surface(ray);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.edge_state, kEdgeNone);
    EXPECT_EQ(ray.surface, 2);
    EXPECT_NEAR(ray.y, 10.0 * 0.1 / std::sqrt(0.99), kStepExact);
}

}  // namespace
}  // namespace trace_test

// Rays meet the surfaces without a closed form, through the trace's surface step: the point
// found lies on the ray and on the surface (residual below 1e-9), and the normal the ray is
// bent with is the surface's. Then the verdicts of the three operations on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/trace/geometry/geometry_fixture.h"
#include "trace/general_intersect.h"
#include "trace/ray_trace.h"

namespace geometry_test {
namespace {

constexpr double kResidual = 1e-9;
constexpr double kHitNormalTolerance = 1e-7;
constexpr int kHitSurface = 1;

struct MeetCase {
    std::string name;
    std::function<void()> setup;
};

class Intersection : public GeometryTest {
protected:
    Medium glass_{1.6};
    void SetUp() override {
        GeometryTest::SetUp();
        make_lens(1, 100.0);
        surface(kHitSurface).index = glass_.data();
    }
    // A ray 10 before the vertex plane of surface 1 aimed at (px, py, 0).
    static RayRecord ray_towards(double x0, double y0, double px, double py) {
        RayRecord r{};
        r.x = x0;
        r.y = y0;
        r.z = -10.0;
        const double dx = px - x0, dy = py - y0, dz = 10.0;
        const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
        r.k = dx / len;
        r.l = dy / len;
        r.m = dz / len;
        r.grin_index = 1.0;
        r.group_offset = -1;
        return r;
    }
    void check_meets() {
        const double starts[][4] = {{0, 0, 0.5, 1.0},  {0, 3, -2, -4},   {2, -1, 4, 5},
                                    {-3, 2, -5, -1.5}, {1, 1, 6.0, 0.5}, {0, -5, 0.2, -6}};
        for (const auto& st : starts) {
            SCOPED_TRACE(::testing::Message() << "ray to " << st[2] << ", " << st[3]);
            RayRecord ray = ray_towards(st[0], st[1], st[2], st[3]);
            ray.medium = ray.prev_medium = air_.data();
            const RayRecord before = ray;
            trace_to_next_surface(ray);
            ASSERT_EQ(ray.failure, 0);
            ASSERT_EQ(ray.surface, kHitSurface);
            SagPoint p{};
            surface_sag_normal(surface(kHitSurface), ray.x, ray.y, p);
            EXPECT_EQ(p.beyond_edge, 0);
            EXPECT_LT(std::fabs(ray.z - p.z), kResidual);
            // On the incoming ray: the offset from the start is along the old direction.
            const double ox = ray.x - before.x, oy = ray.y - before.y, oz = ray.z - before.z;
            const double cx = oy * before.m - oz * before.l, cy = oz * before.k - ox * before.m,
                         cz = ox * before.l - oy * before.k;
            EXPECT_LT(std::sqrt(cx * cx + cy * cy + cz * cz), kResidual);
            // The normal the ray was bent with is the surface's.
            const double len = std::sqrt(ray.normal_len2);
            EXPECT_NEAR(ray.nx / len, p.nx, kHitNormalTolerance);
            EXPECT_NEAR(ray.ny / len, p.ny, kHitNormalTolerance);
            EXPECT_NEAR(ray.nz / len, p.nz, kHitNormalTolerance);
            // Snell's law with that normal: n1 (d1 x n) = n2 (d2 x n).
            const double n1 = 1.0, n2 = glass_.n[0];
            const double d1[3] = {before.k, before.l, before.m};
            const double d2[3] = {ray.k, ray.l, ray.m};
            const double nn[3] = {p.nx, p.ny, p.nz};
            for (int i = 0; i < 3; ++i) {
                const int j = (i + 1) % 3, k = (i + 2) % 3;
                EXPECT_NEAR(n1 * (d1[j] * nn[k] - d1[k] * nn[j]),
                            n2 * (d2[j] * nn[k] - d2[k] * nn[j]), 1e-9);
            }
        }
    }
};

TEST_F(Intersection, RaysMeetEveryGeneralSurfaceOnTheSurface) {
    const std::vector<MeetCase> cases = {
        {"even asphere",
         [&] {
             base(kHitSurface, kShapeAsphere, 0.03, -1.2);
             asphere(kHitSurface, kAsphereEven, {0, 0, 2e-5, -3e-7, 0, 0});
         }},
        {"series asphere with a constant term",
         [&] {
             base(kHitSurface, kShapeAsphere, -0.02, 0.3);
             asphere(kHitSurface, kAsphereSeries, {0.05, 0.004, -1e-5});
         }},
        {"odd asphere",
         [&] {
             base(kHitSurface, kShapeAsphere, 0.025, 0);
             asphere(kHitSurface, kAsphereOdd, {2e-4, -1e-5});
         }},
        {"radial series",
         [&] {
             base(kHitSurface, kShapeAsphere, 0.02, 0);
             asphere(kHitSurface, kAsphereRadial, {0.0, 0.01, 0.001});
         }},
        {"toroid", [&] { base(kHitSurface, kShapeToroid, 0.04, -0.5, -0.015, 0.0, 1); }},
        {"toroid with an even asphere profile",
         [&] {
             base(kHitSurface, kShapeToroid, 0.04, 0.0, 0.02, 0.0, 1);
             asphere(kHitSurface, kAsphereSeries, {0.0, 0.0, 1e-5});
         }},
        {"cylinder", [&] { base(kHitSurface, kShapeCylinder, 0.05, 0.2, 0.0, 0.0, 1); }},
        {"biconic with pairs",
         [&] {
             base(kHitSurface, kShapeSpecialBase, 0.03, -0.3, 0.01, 0.5);
             asphere(kHitSurface, kAsphereBiconic, {1e-4, 2e-4, 1e-6, -1e-6});
         }},
        {"biconic kind 101",
         [&] {
             base(kHitSurface, kShapeSpecialBase, 0.03, -0.3, 0.01, 0.5);
             asphere(kHitSurface, kAsphereBiconicPairs, {0, 0, 1e-5, 0, 0, 0}, kAsphereEven);
         }},
        {"cone",
         [&] {
             base(kHitSurface, kShapeSpecialBase, 0, 0);
             asphere(kHitSurface, kAsphereCone, {0.15, 1e-3});
         }},
        {"elliptical cone (bracketing search)",
         [&] {
             base(kHitSurface, kShapeSpecialBase, 0, 0);
             asphere(kHitSurface, kAsphereEllipticCone, {0.2, 2.0, 3.0});
         }},
        {"XY polynomial (bracketing search)",
         [&] {
             base(kHitSurface, kShapeAsphere, 0.05, 0);
             asphere(kHitSurface, kAsphereXy, {0.0, 0.01, -0.02, 0.004, 0.002, -0.003});
         }},
        {"toric asphere in x (bracketing search)",
         [&] {
             base(kHitSurface, kShapeToroid, 0.01, 0.0, 0.04, 0.0, 2);
             asphere(kHitSurface, kAsphereToricX, {1e-5});
         }},
        {"spline",
         [&] {
             base(kHitSurface, kShapeSpline, 0.02, 0);
             spline(
                 kHitSurface, {0.0, 3.0, 6.0, 9.0},
                 [](double r) { return 0.01 * r * r - 3e-4 * r * r * r; },
                 [](double r) { return 0.02 * r - 9e-4 * r * r; },
                 [](double r) { return 0.02 - 1.8e-3 * r; });
         }},
    };
    for (const MeetCase& c : cases) {
        SCOPED_TRACE(c.name);
        c.setup();
        check_meets();
    }
}

TEST_F(Intersection, FresnelRaysStayOnTheSubstrateWithTheOpticalNormal) {
    base(kHitSurface, kShapeSphere, 0.05, 0);
    surface(kHitSurface).fresnel = 1;
    surface(kHitSurface).fresnel_curvature = -0.01;
    surface(kHitSurface).fresnel_conic = 0.0;
    RayRecord ray = ray_towards(1.0, 2.0, 3.0, -4.0);
    ray.medium = ray.prev_medium = air_.data();
    trace_to_next_surface(ray);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_LT(std::fabs(ray.z - conic_sag(-0.01, 0.0, ray.x * ray.x + ray.y * ray.y)), kResidual);
    // The optical surface is a sphere of curvature 0.05: its normal at (x, y).
    const double len = std::sqrt(ray.normal_len2);
    const double r2 = ray.x * ray.x + ray.y * ray.y;
    const double zs = conic_sag(0.05, 0.0, r2);
    const double nz = 1.0 - 0.05 * zs;
    EXPECT_NEAR(ray.nx / len, -0.05 * ray.x, 1e-12);
    EXPECT_NEAR(ray.ny / len, -0.05 * ray.y, 1e-12);
    EXPECT_NEAR(ray.nz / len, nz, 1e-12);
}

TEST_F(Intersection, VerdictsOfTheThreeOperations) {
    base(kHitSurface, kShapeAsphere, 0.02, 0);
    asphere(kHitSurface, kAsphereEven, {0, 0, 1e-6});
    // With backward set, a crossing behind the start point is rejected.
    RayRecord ray{};
    ray.x = 1.0;
    ray.z = 0.5;
    ray.m = 1.0;
    ray.backward = 1;
    intersect_general_surface(kHitSurface, ray, 0.02, 0.0, 0.0);
    EXPECT_EQ(ray.failure, kRayRejectedHit);
    // Forward, the same crossing is found, with nz = 1 and the squared length of the normal.
    ray = RayRecord{};
    ray.x = 1.0;
    ray.z = 0.5;
    ray.m = 1.0;
    intersect_general_surface(kHitSurface, ray, 0.02, 0.0, 0.0);
    EXPECT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.nz, 1.0);
    EXPECT_DOUBLE_EQ(ray.normal_len2, 1.0 + ray.nx * ray.nx + ray.ny * ray.ny);
    EXPECT_NEAR(ray.z, conic_sag(0.02, 0, 1.0) + 1e-6, 1e-12);
    EXPECT_NEAR(ray.dist, ray.z - 0.5, 1e-12);

    // Equal starts give no bracket.
    ray = RayRecord{};
    ray.m = 1.0;
    double t1 = 2.0, t2 = 2.0;
    EXPECT_EQ(bracket_surface_crossing(kHitSurface, ray, t1, t2), 0);

    // The XY polynomial has no closed form: the iteration hands over at once.
    base(kHitSurface, kShapeAsphere, 0.0, 0);
    asphere(kHitSurface, kAsphereXy, {0.0, 0.0, 0.0, 0.0625});
    ray = RayRecord{};
    ray.x = 2.0;
    ray.z = -1.0;
    ray.m = 1.0;
    intersect_general_surface(kHitSurface, ray, 0.0, 0.0, 0.0);
    EXPECT_EQ(ray.failure, kRayFailMissed);
    EXPECT_EQ(ray.z, -1.0);
    // The refinement returns at once when an end lies on the surface.
    ray = RayRecord{};
    ray.x = 2.0;
    ray.z = -1.0;
    ray.m = 1.0;
    EXPECT_EQ(refine_surface_crossing(kHitSurface, ray, 1.25, 3.0, 1e-9), 0);
    EXPECT_EQ(ray.dist, 1.25);
    // A bracket and refinement from a start far off.
    ray.dist = 0.0;
    t1 = 1e-8;
    t2 = 0.2;
    ASSERT_EQ(bracket_surface_crossing(kHitSurface, ray, t1, t2), 1);
    ASSERT_EQ(refine_surface_crossing(kHitSurface, ray, t1, t2, 1e-9), 0);
    EXPECT_NEAR(ray.dist, 1.25, 1e-9);
    // No crossing inside the bracket: the refinement fails with dist 0.
    ray.dist = 5.0;
    EXPECT_EQ(refine_surface_crossing(kHitSurface, ray, 2.0, 3.0, 1e-9), kRayFailMissed);
    EXPECT_EQ(ray.dist, 0.0);

    // A start point beyond a conic's rim fails at once.
    base(kHitSurface, kShapeAsphere, 0.5, 0);
    asphere(kHitSurface, kAsphereEven, {0, 0, 1e-6});
    ray = RayRecord{};
    ray.x = 3.0;
    ray.m = 1.0;
    intersect_general_surface(kHitSurface, ray, 0.5, 0.0, 0.0);
    EXPECT_EQ(ray.failure, kRayFailMissed);
}

}  // namespace
}  // namespace geometry_test

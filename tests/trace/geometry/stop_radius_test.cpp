// The stop radius from a real ray: an object at infinity, a convex glass surface and a plane
// stop behind it, against the ray worked out with the vector law.
#include <gtest/gtest.h>

#include <cmath>

#include "lens/lens_data.h"
#include "tests/trace/geometry/geometry_fixture.h"
#include "trace/ray_trace.h"
#include "trace/stop_radius.h"

namespace geometry_test {
namespace {

using trace_test::Vec;

class StopRadius : public GeometryTest {
protected:
    static constexpr double kR = 50.0, kThick = 5.0, kBeam = 4.0;
    Medium glass_{1.5};
    void SetUp() override {
        GeometryTest::SetUp();
        curvature(1, 1.0 / kR);
        thickness(1, kThick);
        thickness(2, 10.0);
        make_lens(2, kInfiniteDistance);
        surface(1).index = glass_.data();
        surface(2).aperture_radius = 99.0;
        surface(2).aperture_kind = kApertureComputed;
        LensData& lens = lens_data();
        lens.reference_surface = 2;
        lens.entrance_beam_radius = kBeam;
        trace_globals().aiming_state[0] = 3.0;
        trace_globals().aim_cache_stale = 0;
    }
};

TEST_F(StopRadius, RayHeightAtTheReferenceSurfaceBecomesItsRadius) {
    // The parallel ray at the beam radius, refracted at the sphere, reaches the plane stop.
    const double z1 = kR - std::sqrt(kR * kR - kBeam * kBeam);
    const Vec n = trace_test::sphere_normal({0, kBeam, z1}, 0.0, kR);
    const Vec d = trace_test::refract({0, 0, 1}, n, 1.0, 1.5);
    const double y2 = kBeam + (kThick - z1) * d[1] / d[2];
    set_stop_radius_from_ray();
    EXPECT_NEAR(surface(2).aperture_radius, std::fabs(y2), 1e-12);

    // The pupil scale factor is a definition of the wide-angle aiming, not a quantity of optics:
    // on a plane stop it is 1 - (a / y) tan u', with a the stop radius, y the ray's height on the
    // stop and u' the angle it leaves the stop with, back in air. The pieces come from the
    // vector-law ray above; the factor then shows what the definition implies: the converging
    // rim ray (tan u' < 0) gives more than 1, and it moves with the radius the stop keeps.
    const Vec e = trace_test::refract(d, {0, 0, 1}, 1.5, 1.0);
    const double tan_out = e[1] / e[2];
    ASSERT_LT(tan_out, 0.0);
    const TraceGlobals& g = trace_globals();
    EXPECT_NEAR(g.pupil_scale[0], 1.0 - tan_out, 1e-12);  // a = y: the radius is the ray's height
    EXPECT_NEAR(g.pupil_scale[1], 1.0 - tan_out, 1e-12);
    EXPECT_EQ(g.real_stop, 1);
    EXPECT_EQ(g.aim_cache_stale, 1);
    EXPECT_EQ(g.aiming_state[0], 0.0);

    // A fixed aperture keeps its radius; the scale factors use it.
    surface(2).aperture_kind = kApertureFixedValue;
    surface(2).aperture_radius = 2.0;
    set_stop_radius_from_ray();
    EXPECT_EQ(surface(2).aperture_radius, 2.0);
    EXPECT_NEAR(trace_globals().pupil_scale[0], 1.0 - 2.0 / y2 * tan_out, 1e-12);
}

TEST_F(StopRadius, ARayLeavingTheStopParallelToTheAxisNeedsNoScaling) {
    // A plane first surface leaves the parallel beam parallel: the stop takes the beam radius,
    // and whatever radius the stop keeps, the factors stay 1.
    curvature(1, 0.0);
    set_stop_radius_from_ray();
    EXPECT_NEAR(surface(2).aperture_radius, kBeam, 1e-12);
    EXPECT_NEAR(trace_globals().pupil_scale[0], 1.0, 1e-15);
    surface(2).aperture_kind = kApertureFixedValue;
    surface(2).aperture_radius = 7.0;
    set_stop_radius_from_ray();
    EXPECT_NEAR(trace_globals().pupil_scale[0], 1.0, 1e-15);
    EXPECT_NEAR(trace_globals().pupil_scale[1], 1.0, 1e-15);
}

TEST_F(StopRadius, FailedRayLeavesTheRadiusAndUnitScaleFactors) {
    lens_data().entrance_beam_radius = 60.0;  // beyond the sphere's rim
    set_stop_radius_from_ray();
    EXPECT_EQ(surface(2).aperture_radius, 99.0);
    EXPECT_EQ(trace_globals().pupil_scale[0], 1.0);
    EXPECT_EQ(trace_globals().pupil_scale[1], 1.0);
    EXPECT_EQ(trace_globals().real_stop, 1);
}

}  // namespace
}  // namespace geometry_test

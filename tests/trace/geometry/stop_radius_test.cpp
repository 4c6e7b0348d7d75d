// The stop radius from a real ray: an object at infinity, a convex glass surface and a plane
// stop behind it, against the ray worked out with the vector law.
#include <gtest/gtest.h>

#include <cmath>

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
        make_lens(2, kObjectAtInfinity);
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
    // The scale factors take the direction the ray leaves the stop with, back in air.
    const Vec e = trace_test::refract(d, {0, 0, 1}, 1.5, 1.0);
    set_stop_radius_from_ray();
    EXPECT_NEAR(surface(2).aperture_radius, std::fabs(y2), 1e-12);
    const TraceGlobals& g = trace_globals();
    const double scale = (y2 - (0.0 + std::fabs(y2)) * e[1] / e[2]) / y2;
    EXPECT_NEAR(g.pupil_scale[0], scale, 1e-12);
    EXPECT_NEAR(g.pupil_scale[1], scale, 1e-12);
    EXPECT_EQ(g.real_stop, 1);
    EXPECT_EQ(g.aim_cache_stale, 1);
    EXPECT_EQ(g.aiming_state[0], 0.0);

    // A fixed aperture keeps its radius; the scale factors use it.
    surface(2).aperture_kind = kApertureFixedValue;
    surface(2).aperture_radius = 2.0;
    set_stop_radius_from_ray();
    EXPECT_EQ(surface(2).aperture_radius, 2.0);
    EXPECT_NEAR(trace_globals().pupil_scale[0], (y2 - 2.0 * e[1] / e[2]) / y2, 1e-12);
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

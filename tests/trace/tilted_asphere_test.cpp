// A tilted and decentred even asphere through the trace, against a global-coordinate trace
// worked out here: the surface placed by its axis vectors, the crossing found by bisection,
// refraction by the vector law; and the surface frames carry the image point back to global
// coordinates.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/trace/trace_fixture.h"
#include "trace/surface_frames.h"
#include "trace/surface_profile.h"

namespace trace_test {
namespace {

constexpr double kC = 0.02, kK = -1.0, kA4 = 1e-5;
constexpr double kTilt = 10.0, kDecentreY = 0.5, kThickness = 20.0;

double sag(double x, double y) {
    const double s = x * x + y * y;
    return kC * s / (1.0 + std::sqrt(1.0 - (1.0 + kK) * kC * kC * s)) + kA4 * s * s;
}

class TiltedAsphere : public TraceTest {
protected:
    Medium glass_{1.5};
    AsphereRecord asphere_{};
    double coefficients_[3] = {0.0, 0.0, kA4};
    DecentreRecord decentre_{};

    void SetUp() override {
        TraceTest::SetUp();
        thickness(1, kThickness);
        make_lens(1, 100.0);
        SurfaceRecord& s = surface(1);
        s.curvature = kC;
        s.conic = kK;
        s.shape = kShapeAsphere;
        s.index = glass_.data();
        asphere_.kind = kAsphereEven;
        asphere_.working_count = 3;
        asphere_.working = coefficients_;
        s.asphere = &asphere_;
        // A tilt of 10 degrees about x after an offset of 0.5 in y, as the lens set-up
        // prepares it.
        decentre_.tla = kTilt;
        decentre_.dcy = kDecentreY;
        decentre_.tilt_mode = 1;
        double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        double c = 0.0;
        decentre_.rotation_kind =
            static_cast<std::uint8_t>(tilt_matrix_from_angles(kTilt, 0, c, m, 1));
        std::copy(m, m + 9, decentre_.rotation);
        s.decentre = &decentre_;
    }
};

TEST_F(TiltedAsphere, RaysAgreeWithAGlobalTrace) {
    const double t = kTilt * M_PI / 180.0;
    // The surface's local axes in global coordinates: a positive tilt turns the axis to +y.
    const Vec ax{1, 0, 0}, ay{0, std::cos(t), -std::sin(t)}, az{0, std::sin(t), std::cos(t)};
    const Vec vertex{0, kDecentreY, 0};
    auto local = [&](const Vec& g) {
        const Vec d = add(g, vertex, -1.0);
        return Vec{dot(d, ax), dot(d, ay), dot(d, az)};
    };
    const double starts[][5] = {
        {0, 0, 0, 0.05, 1}, {1, -2, 0.1, 0.1, 1}, {-3, 4, 0.05, -0.2, 1}, {2, 6, -0.1, -0.1, 1}};
    for (const auto& st : starts) {
        SCOPED_TRACE(::testing::Message() << "start " << st[0] << ", " << st[1]);
        const Vec p0{st[0], st[1], -5.0};
        const Vec d0 = unit({st[2], st[3], st[4]});
        // Global trace: bisection for the crossing of the tilted asphere.
        auto f = [&](double s) {
            const Vec q = local(add(p0, d0, s));
            return q[2] - sag(q[0], q[1]);
        };
        double lo = 0.0, hi = 30.0;
        for (int i = 0; i < 200; ++i) {
            const double mid = 0.5 * (lo + hi);
            (f(mid) < 0.0 ? lo : hi) = mid;
        }
        const Vec hit = add(p0, d0, 0.5 * (lo + hi));
        const Vec hl = local(hit);
        const double h = 1e-6;
        const double zx = (sag(hl[0] + h, hl[1]) - sag(hl[0] - h, hl[1])) / (2 * h);
        const double zy = (sag(hl[0], hl[1] + h) - sag(hl[0], hl[1] - h)) / (2 * h);
        const Vec nl = unit({-zx, -zy, 1.0});
        const Vec ng = add(add(scale(ax, nl[0]), ay, nl[1]), az, nl[2]);
        const Vec d1 = refract(d0, ng, 1.0, 1.5);
        // The image plane lies 20 along the tilted axis, across it.
        const Vec centre = add(vertex, az, kThickness);
        const double s = dot(add(centre, hit, -1.0), az) / dot(d1, az);
        const Vec image = add(hit, d1, s);
        const Vec il = local(image);

        RayRecord ray{};
        ray.x = p0[0];
        ray.y = p0[1];
        ray.z = p0[2];
        ray.k = d0[0];
        ray.l = d0[1];
        ray.m = d0[2];
        ray.medium = ray.prev_medium = air_.data();
        ray.grin_index = 1.0;
        ray.group_offset = -1;
        trace_to_next_surface(ray);
        ASSERT_EQ(ray.failure, 0);
        EXPECT_NEAR(ray.x, hl[0], 1e-9);
        EXPECT_NEAR(ray.y, hl[1], 1e-9);
        EXPECT_NEAR(ray.z, hl[2], 1e-9);
        trace_to_next_surface(ray);
        ASSERT_EQ(ray.failure, 0);
        ASSERT_EQ(ray.surface, 2);
        EXPECT_NEAR(ray.x, il[0], 1e-8);
        EXPECT_NEAR(ray.y, il[1], 1e-8);
        EXPECT_NEAR(ray.z, 0.0, 1e-12);
        EXPECT_NEAR(ray.k, dot(d1, ax), 1e-8);
        EXPECT_NEAR(ray.l, dot(d1, ay), 1e-8);
        EXPECT_NEAR(ray.m, dot(d1, az), 1e-8);
        // The frames put the image point where the global trace did.
        lens_data().frames_valid = 0;
        build_surface_frames(0);
        double g[3];
        frame_xyz_to_global(ray.x, ray.y, ray.z, 2, g);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(g[i], image[i], 1e-8) << i;
    }
}

}  // namespace
}  // namespace trace_test

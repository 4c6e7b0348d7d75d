// Gratings, diffractive and holographic surfaces and the perfect lens, each checked against
// optics worked out independently: the grating equation, Snell's law, a thin lens's focus, the
// imaging of an ideal lens and the reconstruction of a hologram's construction point.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"
#include "trace/special_surfaces.h"

namespace {

using namespace trace_test;

class SpecialSurfaceTest : public TraceTest {
protected:
    void SetUp() override {
        TraceTest::SetUp();
        make_lens(2, 200.0);
        lens_data().units = 1.0;
        lens_data().wavelength_count = 1;
        lens_data().wavelengths[0].wavelength = 0.5;
        install_special_surfaces();
    }
    void TearDown() override {
        for (int n = 0; n <= surface_limit(); ++n) {
            surface(n).perfect_lens = nullptr;
            surface(n).diffractive = nullptr;
            surface(n).hologram = nullptr;
            surface(n).grating_spacing = 0.0;
            surface(n).medium_kind = 0;
        }
        TraceTest::TearDown();
    }

    // A ray at point p of the plane surface 1 travelling along d from a medium of index n1.
    RayRecord ray_at(const Vec& p, const Vec& d, const double* before) {
        RayRecord r{};
        r.surface = 1;
        r.x = p[0];
        r.y = p[1];
        r.z = p[2];
        const Vec u = unit(d);
        r.k = u[0];
        r.l = u[1];
        r.m = u[2];
        r.medium = r.prev_medium = before;
        r.nx = 0.0;
        r.ny = 0.0;
        r.nz = 1.0;
        r.normal_len2 = 1.0;
        r.cos_i = r.m;
        return r;
    }

    Medium glass_{1.5};
};

// f = 100, m = -1: an object point 200 before the lens at height 5 images 200 behind it at -5;
// every ray from it meets there and has the same optical path.
TEST_F(SpecialSurfaceTest, PerfectLensImagesAnObjectPointWithoutPathDifference) {
    PerfectLensRecord record{100.0, -1.0};
    surface(1).perfect_lens = &record;
    const Vec object{2.0, 5.0, -200.0};
    const Vec image{-2.0, -5.0, 200.0};  // m times the object height, (1 - m) f behind
    std::vector<double> paths;
    for (const Vec& p : {Vec{0, 0, 0}, Vec{0, 3, 0}, Vec{0, 10, 0}, Vec{0, 20, 0}, Vec{-7, 3, 0},
                         Vec{15, -12, 0}}) {
        const Vec d = add(p, object, -1.0);
        RayRecord r = ray_at(p, d, air_.data());
        r.opl = std::sqrt(dot(d, d));
        trace_perfect_lens(1, r);
        ASSERT_EQ(r.failure, 0);
        EXPECT_EQ(r.z, 0.0);
        const double t = (image[2] - r.z) / r.m;  // along the outgoing ray to the image plane
        EXPECT_NEAR(r.x + t * r.k, image[0], 1e-10) << p[0] << " " << p[1];
        EXPECT_NEAR(r.y + t * r.l, image[1], 1e-10) << p[0] << " " << p[1];
        EXPECT_NEAR(r.k * r.k + r.l * r.l + r.m * r.m, 1.0, 1e-14);
        paths.push_back(r.opl + t);
    }
    for (double path : paths) EXPECT_NEAR(path, paths[0], 1e-9);
}

// The same lens in a whole trace: object height 5 at 200 before the ideal lens, the image plane
// 200 behind it; every ray of the pupil lands at -5.
TEST_F(SpecialSurfaceTest, WholeRaysThroughAPerfectLensMeetAtTheImage) {
    PerfectLensRecord record{100.0, -1.0};
    surface(1).perfect_lens = &record;
    make_lens(1, 200.0);
    thickness(1, 200.0);
    refresh_vertex_positions();
    LensData& lens = lens_data();
    lens.object_height = 5.0;
    lens.axial_start_height = 20.0;
    lens.chief_start_height = 0.0;
    lens.epxy = 1;
    std::vector<double> paths;
    for (const std::array<double, 2>& pupil :
         {std::array<double, 2>{0, 0}, {0, 0.15}, {0, 0.5}, {0, 1}, {0.6, -0.7}}) {
        RayRecord ray = make_ray(kRayPlain, 0, 1, pupil[0], pupil[1]);
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0);
        EXPECT_EQ(ray.surface, 2);
        EXPECT_NEAR(ray.x, 0.0, 1e-10);
        EXPECT_NEAR(ray.y, -5.0, 1e-10);
        paths.push_back(ray.opl);
    }
    for (double path : paths) EXPECT_NEAR(path, paths[0], 1e-9);
}

// Traced back from the image point while the aiming steps backwards, the same lens maps the
// rays onto the object point.
TEST_F(SpecialSurfaceTest, PerfectLensMapsBackToTheObjectInTheBackwardStep) {
    PerfectLensRecord record{100.0, -1.0};
    surface(1).perfect_lens = &record;
    const Vec object{2.0, 5.0, -200.0};
    const Vec image{-2.0, -5.0, 200.0};
    trace_globals().backward_step = 1;
    for (const Vec& p : {Vec{0, -3, 0}, Vec{4, 10, 0}, Vec{-6, -20, 0}}) {
        RayRecord r = ray_at(p, add(p, image, -1.0), air_.data());
        trace_perfect_lens(1, r);
        ASSERT_EQ(r.failure, 0);
        const double t = (object[2] - r.z) / r.m;
        EXPECT_NEAR(r.x + t * r.k, object[0], 1e-10);
        EXPECT_NEAR(r.y + t * r.l, object[1], 1e-10);
    }
    trace_globals().backward_step = 0;
}

TEST_F(SpecialSurfaceTest, PerfectLensEdgeCases) {
    PerfectLensRecord record{100.0, 1.0};
    surface(1).perfect_lens = &record;
    // Unit magnification or no focal length: the ray goes on unchanged.
    for (const PerfectLensRecord& values :
         {PerfectLensRecord{100.0, 1.0}, PerfectLensRecord{0.0, -2.0}}) {
        record = values;
        RayRecord r = ray_at({1, 2, 0}, {0.1, 0.2, 1}, air_.data());
        r.gamma = 7.0;
        const RayRecord before = r;
        trace_perfect_lens(1, r);
        EXPECT_EQ(r.failure, 0);
        EXPECT_EQ(r.gamma, 0.0);
        EXPECT_EQ(r.x, before.x);
        EXPECT_EQ(r.k, before.k);
        EXPECT_EQ(r.opl, before.opl);
    }
    // An axial ray stays on the axis and adds no path.
    record = {50.0, -3.0};
    RayRecord axial = ray_at({0, 0, 0}, {0, 0, 1}, air_.data());
    trace_perfect_lens(1, axial);
    EXPECT_EQ(axial.failure, 0);
    EXPECT_EQ(axial.x, 0.0);
    EXPECT_EQ(axial.y, 0.0);
    EXPECT_EQ(axial.m, 1.0);
    EXPECT_EQ(axial.opl, 0.0);
    // A magnification beyond 1e7 acts as 1e7: the same result as 1e7 itself.
    record = {10.0, 1e9};
    RayRecord huge = ray_at({0, 1e-6, 0}, {0, 0, 1}, air_.data());
    trace_perfect_lens(1, huge);
    record = {10.0, 1e7};
    RayRecord capped = ray_at({0, 1e-6, 0}, {0, 0, 1}, air_.data());
    trace_perfect_lens(1, capped);
    EXPECT_EQ(huge.failure, capped.failure);
    EXPECT_EQ(huge.y, capped.y);
    EXPECT_EQ(huge.l, capped.l);
    // A mapping with no real direction fails and leaves the ray where it was.
    record = {1.0, -1.0};
    RayRecord steep = ray_at({0, 50, 0}, {0, 0.9, 0.3}, air_.data());
    const RayRecord before = steep;
    trace_perfect_lens(1, steep);
    EXPECT_EQ(steep.failure, kRayFailMissed);
    EXPECT_EQ(steep.l, before.l);
    EXPECT_EQ(steep.y, before.y);
}

// The grating equation n2 sin(theta_m) = n1 sin(theta_i) + m lambda / d in the y-z plane.
TEST_F(SpecialSurfaceTest, GratingFollowsTheGratingEquation) {
    struct Case {
        double n1, n2, incidence_deg, spacing;
        int order;
        bool mirror;
    };
    const Case cases[] = {
        {1.0, 1.0, 0.0, 0.001, 1, false},  // sin = 0.5 at 0.5 um and 1 um lines
        {1.0, 1.0, 10.0, 0.002, -1, false}, {1.0, 1.5, 20.0, 0.003, 2, false},
        {1.5, 1.0, -15.0, 0.004, 1, false}, {1.0, 1.0, 5.0, 0.002, 1, true},
        {1.0, 1.0, -30.0, 0.0015, 2, true}, {1.0, 1.5, 25.0, 0.01, 0, false},
    };
    for (const Case& c : cases) {
        Medium before(c.n1), after(c.n2);
        surface(0).index = before.data();
        surface(1).index = after.data();
        surface(1).medium_kind = c.mirror ? kMediumMirror : 0;
        surface(1).grating_spacing = c.spacing;
        surface(1).diffraction_order = c.order;
        const double a = c.incidence_deg * M_PI / 180.0;
        RayRecord r = ray_at({0, 4.0, 0}, {0, std::sin(a), std::cos(a)}, before.data());
        trace_grating(1, r);
        ASSERT_EQ(r.failure, 0) << c.incidence_deg;
        const double n_out = c.mirror ? c.n1 : c.n2;
        const double expected = (c.n1 * std::sin(a) + c.order * 0.5e-3 / c.spacing) / n_out;
        EXPECT_NEAR(r.l, expected, 1e-13) << c.incidence_deg;
        EXPECT_NEAR(r.k, 0.0, 1e-15);
        EXPECT_NEAR(r.k * r.k + r.l * r.l + r.m * r.m, 1.0, 1e-14);
        EXPECT_EQ(r.m < 0.0, c.mirror);
        EXPECT_EQ(r.reversed, c.mirror ? 1 : 0);
        // The path grows by the order's number of waves across the lines below y.
        EXPECT_NEAR(r.opl, c.order * 0.5e-3 * 4.0 / c.spacing, 1e-12);
        if (!c.mirror) {
            EXPECT_EQ(r.medium, after.data());
        }
    }
    // Order 0 at a tilted point refracts by Snell's law.
    Medium glass(1.5);
    surface(0).index = air_.data();
    surface(1).index = glass.data();
    surface(1).grating_spacing = 0.001;
    surface(1).diffraction_order = 0;
    const Vec d = unit({0.2, -0.3, 1.0});
    RayRecord r = ray_at({1, 1, 0}, d, air_.data());
    trace_grating(1, r);
    const Vec expected = refract(d, {0, 0, 1}, 1.0, 1.5);
    EXPECT_NEAR(r.k, expected[0], 1e-14);
    EXPECT_NEAR(r.l, expected[1], 1e-14);
    EXPECT_NEAR(r.m, expected[2], 1e-14);
    EXPECT_EQ(r.opl, 0.0);
    // An order beyond grazing is evanescent; the ray keeps its direction.
    surface(1).index = air_.data();
    surface(1).diffraction_order = 3;  // 3 * 0.5 / 1 > 1
    RayRecord lost = ray_at({0, 0, 0}, {0, 0, 1}, air_.data());
    trace_grating(1, lost);
    EXPECT_EQ(lost.failure, kRayFailGratingOrder);
    EXPECT_EQ(lost.m, 1.0);
}

// Traced back through the same grating (the aiming's backward step), the reversed outgoing ray
// leaves along the reversed incoming one.
TEST_F(SpecialSurfaceTest, GratingTracedBackwardsUndoesTheForwardBending) {
    surface(0).index = air_.data();
    surface(1).index = glass_.data();
    surface(1).grating_spacing = 0.002;
    surface(1).diffraction_order = 1;
    const Vec d = unit({0.1, 0.3, 1.0});
    RayRecord forward = ray_at({1, 2, 0}, d, air_.data());
    trace_grating(1, forward);
    ASSERT_EQ(forward.failure, 0);
    RayRecord back = ray_at({1, 2, 0}, {-forward.k, -forward.l, -forward.m}, glass_.data());
    back.backward = 1;
    trace_globals().backward_step = 1;
    trace_grating(1, back);
    trace_globals().backward_step = 0;
    ASSERT_EQ(back.failure, 0);
    EXPECT_NEAR(back.k, -d[0], 1e-14);
    EXPECT_NEAR(back.l, -d[1], 1e-14);
    EXPECT_NEAR(back.m, -d[2], 1e-14);
}

TEST_F(SpecialSurfaceTest, DiffractiveConstantTermRefractsPlainlyAndAddsItsPath) {
    double coefficients[3] = {0.004, 0.0, 0.0};
    DiffractiveRecord record{};
    record.kind = 0;
    record.working_count = 3;
    record.working = coefficients;
    record.design_wavelength = 0.6;
    surface(1).diffractive = &record;
    surface(1).diffraction_order = 2;
    surface(1).index = glass_.data();
    const Vec d = unit({-0.1, 0.25, 1.0});
    RayRecord r = ray_at({2, -1, 0}, d, air_.data());
    trace_diffractive_surface(1, r);
    ASSERT_EQ(r.failure, 0);
    const Vec expected = refract(d, {0, 0, 1}, 1.0, 1.5);
    EXPECT_NEAR(r.k, expected[0], 1e-14);
    EXPECT_NEAR(r.l, expected[1], 1e-14);
    EXPECT_NEAR(r.m, expected[2], 1e-14);
    EXPECT_NEAR(r.opl, 2 * 0.004 * 0.5 / 0.6, 1e-15);  // GOR c0 lambda / lambda0
    EXPECT_EQ(r.medium, glass_.data());
}

// A phase A2 r^2 is a thin lens: a ray parallel to the axis at height h gains the slope
// m lambda (2 A2 h) / lambda0 (the phase gradient in waves times the wavelength), so it crosses
// the axis at f = -lambda0 / (2 m lambda A2).
TEST_F(SpecialSurfaceTest, QuadraticPhaseFocusesLikeAThinLens) {
    const double A2 = -0.01;
    double coefficients[2] = {0.0, A2};
    DiffractiveRecord record{};
    record.kind = 0;
    record.working_count = 2;
    record.working = coefficients;
    record.design_wavelength = 0.55;
    surface(1).diffractive = &record;
    surface(1).diffraction_order = 1;
    const double f = -0.55 / (2.0 * 0.5 * A2);
    for (double h : {1e-5, 1e-4, -3e-4}) {
        RayRecord r = ray_at({0, h, 0}, {0, 0, 1}, air_.data());
        trace_diffractive_surface(1, r);
        ASSERT_EQ(r.failure, 0);
        const double crossing = -h * r.m / r.l;
        EXPECT_NEAR(crossing / f, 1.0, 1e-6) << h;
    }
    // The same surface as a zone plate not traced as one: while the reference ray is aimed it
    // does not bend it.
    record.kind = 4;
    record.zernike_switch = 0;
    trace_globals().aiming_in_progress = 1;
    RayRecord chief = ray_at({0, 1e-3, 0}, {0, 0, 1}, air_.data());
    chief.kind = kRayReference;
    trace_diffractive_surface(1, chief);
    EXPECT_EQ(chief.l, 0.0);
    EXPECT_EQ(chief.opl, 0.0);
    RayRecord plain = ray_at({0, 1e-3, 0}, {0, 0, 1}, air_.data());
    plain.kind = kRayMeasured;
    trace_diffractive_surface(1, plain);
    EXPECT_LT(plain.l, 0.0);
    trace_globals().aiming_in_progress = 0;
    record.zernike_switch = 1;
    RayRecord traced = ray_at({0, 1e-3, 0}, {0, 0, 1}, air_.data());
    traced.kind = kRayReference;
    trace_globals().aiming_in_progress = 1;
    trace_diffractive_surface(1, traced);
    trace_globals().aiming_in_progress = 0;
    EXPECT_LT(traced.l, 0.0);
}

TEST_F(SpecialSurfaceTest, DiffractiveOrderBeyondGrazingFails) {
    double coefficients[2] = {0.0, -1.0};
    DiffractiveRecord record{};
    record.kind = 0;
    record.working_count = 2;
    record.working = coefficients;
    record.design_wavelength = 0.5;
    surface(1).diffractive = &record;
    surface(1).diffraction_order = 1;
    RayRecord r = ray_at({0, 1.0, 0}, {0, 0, 1}, air_.data());  // slope 2 at y = 1
    trace_diffractive_surface(1, r);
    EXPECT_EQ(r.failure, kRayFailDiffractiveOrder);
    EXPECT_EQ(r.m, 1.0);
}

// Light from one construction point, at the construction wavelength and in order -1, leaves
// on the line through the other point: away from it when that point is real (light that seems
// to come from it), towards it when it is virtual (light that converges on it).
TEST_F(SpecialSurfaceTest, HologramReconstructsTheSecondPoint) {
    HologramRecord record{};
    record.order = -1;
    record.wavelength = 0.5;
    const Vec q1{3.0, -2.0, -100.0};
    struct Case {
        Vec q2;
        bool virtual2;
    };
    for (const Case& c : {Case{{-5.0, 20.0, -150.0}, false}, Case{{-5.0, 20.0, 150.0}, true}}) {
        for (int i = 0; i < 3; ++i) {
            record.first_point[i] = q1[i];
            record.second_point[i] = c.q2[i];
        }
        record.second_point_virtual = c.virtual2 ? 1 : 0;
        surface(1).hologram = &record;
        for (const Vec& p : {Vec{0, 0, 0}, Vec{0, 5, 0}, Vec{-4, 8, 0}, Vec{6, -3, 0}}) {
            RayRecord r = ray_at(p, add(p, q1, -1.0), air_.data());
            trace_hologram(1, r);
            ASSERT_EQ(r.failure, 0);
            const Vec along = unit(c.virtual2 ? add(c.q2, p, -1.0) : add(p, c.q2, -1.0));
            EXPECT_NEAR(r.k, along[0], 1e-13) << c.virtual2;
            EXPECT_NEAR(r.l, along[1], 1e-13) << c.virtual2;
            EXPECT_NEAR(r.m, along[2], 1e-13) << c.virtual2;
        }
    }
    record.second_point_virtual = 0;
    // Coincident real points do not bend beyond refraction and add no path.
    for (int i = 0; i < 3; ++i) record.second_point[i] = q1[i];
    surface(1).index = glass_.data();
    const Vec d = unit({0.1, 0.3, 1.0});
    RayRecord r = ray_at({1, 2, 0}, d, air_.data());
    trace_hologram(1, r);
    ASSERT_EQ(r.failure, 0);
    const Vec expected = refract(d, {0, 0, 1}, 1.0, 1.5);
    EXPECT_NEAR(r.k, expected[0], 1e-14);
    EXPECT_NEAR(r.l, expected[1], 1e-14);
    EXPECT_NEAR(r.m, expected[2], 1e-14);
    EXPECT_NEAR(r.opl, 0.0, 1e-15);
    // No construction wavelength: the ray fails.
    record.wavelength = 0.0;
    RayRecord none = ray_at({1, 2, 0}, d, air_.data());
    trace_hologram(1, none);
    EXPECT_EQ(none.failure, kRayFailMissed);
}

// The hologram equation in vector form: n2 t2 x n = n1 t1 x n + (m lambda / lambda_h)(e1 - e2) x n,
// e_i the unit vectors from the (real) construction points to the ray point, the ray staying on
// its way through the surface. Points on a sphere of radius -25 (tilted normals), construction
// points on one side and on either side of it: the outgoing ray satisfies the equation, and the
// backward step, fed the reversed outgoing ray, returns the reversed incoming one.
TEST_F(SpecialSurfaceTest, HologramOnACurvedSurfaceObeysItsEquationBothWays) {
    surface(0).index = air_.data();
    surface(1).index = glass_.data();
    const double c = -1.0 / 25.0, lambda = 0.5;  // slot 0 wavelength
    HologramRecord record{};
    record.wavelength = 0.6;
    struct Case {
        Vec q1, q2;
        int order;
    };
    const Case cases[] = {
        {{0, 0, -60}, {0, 2, 90}, 1},  // either side: a large normal part
        {{0, 0, -60}, {0, 2, 90}, -1},
        {{1, -3, 80}, {0, 0, -50}, 1},  // either side, the other way round
        {{3, -2, -100}, {-5, 20, -150}, -1},
    };
    const double points[][2] = {{1, 2}, {-3, 0.5}, {0, 0}};
    const Vec directions[] = {unit({0.1, 0.3, 1.0}), unit({-0.2, 0.05, 1.0})};
    for (const Case& k : cases) {
        record.order = k.order;
        for (int i = 0; i < 3; ++i) {
            record.first_point[i] = k.q1[i];
            record.second_point[i] = k.q2[i];
        }
        surface(1).hologram = &record;
        for (const auto& xy : points) {
            const double r2 = xy[0] * xy[0] + xy[1] * xy[1];
            const Vec p{xy[0], xy[1], c * r2 / (1 + std::sqrt(1 - c * c * r2))};
            const Vec n = unit({-c * p[0], -c * p[1], 1 - c * p[2]});
            auto at = [&](const Vec& d, const double* before) {
                RayRecord r = ray_at(p, d, before);
                r.nx = n[0];
                r.ny = n[1];
                r.nz = n[2];
                r.cos_i = dot(unit(d), n);
                return r;
            };
            const Vec e1 = unit(add(p, k.q1, -1.0)), e2 = unit(add(p, k.q2, -1.0));
            const Vec g = scale(add(e1, e2, -1.0), k.order * lambda / record.wavelength);
            for (const Vec& d : directions) {
                SCOPED_TRACE(testing::Message() << k.order << " " << k.q1[2] << " " << k.q2[2]
                                                << " at " << xy[0] << "," << xy[1]);
                RayRecord forward = at(d, air_.data());
                trace_hologram(1, forward);
                ASSERT_EQ(forward.failure, 0);
                const Vec t{forward.k, forward.l, forward.m};
                EXPECT_NEAR(dot(t, t), 1.0, 1e-14);
                EXPECT_GT(dot(t, n), 0.0);
                // The part of n2 t - n1 d - g along the surface is zero.
                const Vec residual = add(add(scale(t, 1.5), d, -1.0), g, -1.0);
                const Vec along = add(residual, n, -dot(residual, n));
                for (int i = 0; i < 3; ++i) EXPECT_NEAR(along[i], 0.0, 1e-13);

                RayRecord back = at(scale(t, -1.0), glass_.data());
                back.backward = 1;
                trace_globals().backward_step = 1;
                trace_hologram(1, back);
                trace_globals().backward_step = 0;
                ASSERT_EQ(back.failure, 0);
                EXPECT_NEAR(back.k, -d[0], 1e-13);
                EXPECT_NEAR(back.l, -d[1], 1e-13);
                EXPECT_NEAR(back.m, -d[2], 1e-13);
            }
        }
    }
    surface(1).hologram = nullptr;
}

}  // namespace

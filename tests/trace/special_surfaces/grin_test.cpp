// Rays through gradient-index media against closed-form solutions of the ray equation.
//
// In a selfoc rod n^2 = n_b^2 (1 - R1^2 r^2), and with dR/dt = T (T = n dR/ds) the ray equation
// dT/dt = grad(n^2)/2 = -w^2 (x, y, 0), w = n_b R1, is solved by
//   y(t) = y0 cos(wt) + (T0y / w) sin(wt),  T_y = T0y cos(wt) - w y0 sin(wt),  z = T0z t,
// and the optical path is the integral of n^2 dt = n_b^2 t - w^2 * integral of y^2 dt.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"
#include "trace/aperture_shapes.h"
#include "trace/drawing_buffers.h"
#include "trace/grin_propagation.h"
#include "trace/lens_setup.h"
#include "trace/special_surfaces.h"

namespace {

using namespace trace_test;

constexpr std::uint8_t kArg = 1, kWod = 2, kSel = 10;

class GrinTest : public TraceTest {
protected:
    void SetUp() override {
        TraceTest::SetUp();
        make_lens(2, 10.0);
        lens_data().units = 1.0;
        lens_data().wavelength_count = 1;
        lens_data().wavelengths[0].wavelength = 0.5;
        for (int r = 0; r < 8; ++r) {
            rows_[r].fill(0.0);
            row_pointers_[r] = rows_[r].data();
        }
        record_ = GrinRecord{};
        record_.coefficients = row_pointers_;
        surface(1).grin = &record_;
        surface(1).index = base_.data();
        install_special_surfaces();
        install_grin_propagation();
    }
    void TearDown() override {
        surface(1).grin = nullptr;
        for (int n : {1, 2}) {
            surface(n).aperture_check = 0;
            surface(n).aperture_radius = 0.0;
        }
        lens_data().grck = 0;
        TraceTest::TearDown();
    }

    void medium(std::uint8_t kind, double step, double thickness_value) {
        record_.kind = kind;
        record_.step = step;
        thickness(1, thickness_value);
        refresh_vertex_positions();
    }
    void coefficient(int row, double v) { rows_[row].fill(v); }

    // A ray from air meeting the plane surface 1 at height y0 with direction (0, sin a, cos a),
    // refracted into the medium and carried to surface 2.
    RayRecord trace_rod(double y0, double a, int kind = kRayPlain, bool check = false) {
        RayRecord r{};
        r.kind = static_cast<std::uint8_t>(kind);
        r.check_apertures = check ? 1 : 0;
        r.surface = 1;
        r.y = y0;
        r.l = std::sin(a);
        r.m = std::cos(a);
        r.medium = r.prev_medium = air_.data();
        r.nz = 1.0;
        r.normal_len2 = 1.0;
        r.cos_i = r.m;
        trace_seams().refract_into_grin(1, r);
        if (r.failure != 0) return r;
        r.surface = 2;
        r.z -= surface(1).thickness;
        trace_seams().propagate_in_grin(2, r);
        return r;
    }

    Medium base_{1.6};
    std::array<std::array<double, 10>, 8> rows_{};
    double* row_pointers_[8]{};
    GrinRecord record_{};
};

struct Rod {
    double y, ty, opl;  // exit height, transverse optical direction, optical path
};

Rod selfoc_exit(double nb, double r1, double y0, double a, double length) {
    const double w = nb * r1;
    const double t0y = std::sin(a);  // Snell at the plane entry: n sin = 1 * sin a
    const double n0 = nb * std::sqrt(1.0 - r1 * r1 * y0 * y0);
    const double t0z = std::sqrt(n0 * n0 - t0y * t0y);
    const double t = length / t0z;
    const double p = y0, q = t0y / w;
    const double s2 = std::sin(2 * w * t), c2 = std::cos(2 * w * t);
    const double y2 = p * p * (t / 2 + s2 / (4 * w)) + q * q * (t / 2 - s2 / (4 * w)) +
                      p * q * (1 - c2) / (2 * w);
    return {p * std::cos(w * t) + q * std::sin(w * t),
            t0y * std::cos(w * t) - w * y0 * std::sin(w * t), nb * nb * t - w * w * y2};
}

TEST_F(GrinTest, SelfocRodFollowsTheSinusoid) {
    const double nb = 1.6, r1 = 0.15, length = 12.0;
    coefficient(0, r1);
    struct Case {
        double y0, a;
    };
    for (const Case& c : {Case{0.5, 0.0}, Case{1.0, 0.1}, Case{-0.3, -0.2}, Case{0.0, 0.25}}) {
        const Rod expected = selfoc_exit(nb, r1, c.y0, c.a, length);
        for (double step : {0.02, 0.01}) {
            medium(kSel, step, length);
            const RayRecord r = trace_rod(c.y0, c.a);
            ASSERT_EQ(r.failure, 0);
            EXPECT_NEAR(r.z, 0.0, 1e-9);
            // Out into air through the plane end: the direction's y cosine is T_y.
            EXPECT_NEAR(r.y, expected.y, 1e-9) << c.y0 << " " << c.a;
            EXPECT_NEAR(r.l, expected.ty, 1e-9);
            EXPECT_NEAR(r.opl, expected.opl, 1e-9);
            EXPECT_EQ(r.medium, air_.data());
        }
    }
    // Fourth order: halving a coarse step cuts the error about sixteen-fold.
    const Case c{1.0, 0.1};
    const Rod expected = selfoc_exit(nb, r1, c.y0, c.a, length);
    double error[2];
    int i = 0;
    for (double step : {0.4, 0.2}) {
        medium(kSel, step, length);
        const RayRecord r = trace_rod(c.y0, c.a);
        ASSERT_EQ(r.failure, 0);
        error[i++] = std::fabs(r.y - expected.y);
    }
    RecordProperty("error_ratio", std::to_string(error[0] / error[1]));
    EXPECT_GT(error[0] / error[1], 10.0);
    EXPECT_LT(error[0] / error[1], 24.0);
}

// The whole trace from an object point 10 before the rod: each ray reaches the image plane just
// behind the rod's end where the sinusoid puts it, with the rod's optical path added to the
// path in air.
TEST_F(GrinTest, WholeRaysThroughTheRodFromAnObjectPoint) {
    const double nb = 1.6, r1 = 0.15, length = 9.0, epr = 1.5;
    coefficient(0, r1);
    medium(kSel, 0.01, length);
    thickness(2, 0.0);
    refresh_vertex_positions();
    LensData& lens = lens_data();
    lens.object_height = 0.0;
    lens.axial_start_height = epr;
    lens.chief_start_height = 0.0;
    lens.epxy = 1;
    for (double py : {0.0, 0.2, 0.7, -1.0}) {
        RayRecord ray = make_ray(kRayPlain, 0, 0, 0, py);
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0) << py;
        EXPECT_EQ(ray.surface, 3);
        const double h = epr * py;
        const double a = std::atan2(h, 10.0);
        const Rod expected = selfoc_exit(nb, r1, h, a, length);
        EXPECT_NEAR(ray.y, expected.y, 1e-9) << py;
        EXPECT_NEAR(ray.l, expected.ty, 1e-9) << py;
        EXPECT_NEAR(ray.opl, std::hypot(h, 10.0) - 10.0 + expected.opl, 1e-9) << py;
        EXPECT_EQ(ray.grin_state, 0);  // left the medium at surface 2
    }
}

TEST_F(GrinTest, WoodMediumWithoutGradientIsHomogeneous) {
    medium(kWod, 0.3, 7.0);  // R1 = 0
    const double a = 0.2;
    const RayRecord r = trace_rod(0.4, a);
    ASSERT_EQ(r.failure, 0);
    const double sin_in = std::sin(a) / 1.6;  // Snell into n_b = 1.6
    const double tan_in = sin_in / std::sqrt(1 - sin_in * sin_in);
    EXPECT_NEAR(r.y, 0.4 + 7.0 * tan_in, 1e-12);
    EXPECT_NEAR(r.l, std::sin(a), 1e-12);
    EXPECT_NEAR(r.opl, 1.6 * 7.0 / std::sqrt(1 - sin_in * sin_in), 1e-11);
}

TEST_F(GrinTest, RaysThatNeverArriveFail) {
    // An index falling along the axis turns an oblique ray back before the end surface.
    medium(kArg, 0.05, 10.0);
    coefficient(4, -0.12);  // n = 1.6 - 0.12 z
    const RayRecord turned = trace_rod(0.0, 0.6);
    EXPECT_EQ(turned.failure, kRayFailMissed);
    // No step at all.
    coefficient(4, 0.0);
    medium(kArg, 0.0, 10.0);
    const RayRecord still = trace_rod(0.0, 0.1);
    EXPECT_EQ(still.failure, kRayFailMissed);
}

// From index 2 into 1.6 at sin a = 0.9: 2 * 0.9 / 1.6 > 1, total reflection where the surface
// does not allow it; the ray keeps its state and direction.
TEST_F(GrinTest, TotalReflectionAtTheEntryFails) {
    medium(kSel, 0.1, 5.0);
    Medium dense(2.0);
    RayRecord r{};
    r.surface = 1;
    r.l = 0.9;
    r.m = std::sqrt(1 - 0.81);
    r.medium = r.prev_medium = dense.data();
    r.nz = 1.0;
    r.normal_len2 = 1.0;
    r.cos_i = r.m;
    trace_seams().refract_into_grin(1, r);
    EXPECT_EQ(r.failure, kRayFailTotalReflection);
    EXPECT_EQ(r.grin_state, 0);
    EXPECT_EQ(r.l, 0.9);
}

TEST_F(GrinTest, DrawingRayGrowsThePointBufferAndKeepsItsPoints) {
    ASSERT_EQ(init_lens_drawing(), 0);
    const double nb = 1.6, r1 = 0.15, length = 12.0, step = 0.005;
    coefficient(0, r1);
    medium(kSel, step, length);
    const RayRecord r = trace_rod(0.5, 0.0, kRayKept);
    ASSERT_EQ(r.failure, 0);
    const DrawingBuffers& b = drawing_buffers();
    EXPECT_GT(r.dtan_x, 1000.0);
    EXPECT_EQ(b.point_rows % kDrawingPointRows, 0);
    EXPECT_GT(b.point_rows, r.dtan_x);
    // Every stored point lies on the sinusoid, the early rows included.
    const double w = nb * r1;
    const double t0z = nb * std::sqrt(1 - r1 * r1 * 0.25);
    for (int row : {1, 2, 400, 501, 502, 503, 1000, 1004, 1400}) {
        const double z = b.points[row][2];
        EXPECT_NEAR(z, row * step * t0z, 1e-9) << row;
        EXPECT_NEAR(b.points[row][1], 0.5 * std::cos(w * z / t0z), 1e-9) << row;
    }
    free_lens_drawing();
}

// The rod's apertures: its own surface's along the path (only with GRCK on), and the end
// surface's where the ray arrives. A ray entering on the axis at angle a swings out to
// sin(a) / (n_b R1) inside the rod and leaves lower, where the sinusoid puts it.
TEST_F(GrinTest, ApertureChecksAlongAndAtTheEndOfTheMedium) {
    const double nb = 1.6, r1 = 0.15, length = 12.0, a = 0.1;
    coefficient(0, r1);
    medium(kSel, 0.01, length);
    const double peak = std::sin(a) / (nb * r1);
    const double exit = selfoc_exit(nb, r1, 0.0, a, length).y;
    ASSERT_LT(exit + 0.004, peak);  // the ray turns back inside the rod

    // Rectangles with corners (-1, -h) and (1, h).
    auto rectangle = [](double h, std::uint8_t action) {
        SpecialAperture e{};
        e.shape = kApertureRectangle;
        e.x[0] = -1.0;
        e.x[1] = 1.0;
        e.y[0] = -h;
        e.y[1] = h;
        e.action = action;
        return e;
    };
    struct Case {
        const char* name;
        bool grck, check;
        double radius1, radius2;   // circular apertures; 0 none
        double clear1;             // half height of a clear rectangle on surface 1; 0 none
        double clear2, obstruct2;  // the same on surface 2, and an obstruction there
        int failure;
    };
    const double in = 0.002;  // margin inside or outside the ray's heights
    const Case cases[] = {
        {"rod aperture cuts the path", true, true, peak - in, 0, 0, 0, 0, kRayFailAperture},
        {"rod aperture without GRCK", false, true, peak - in, 0, 0, 0, 0, 0},
        {"rod aperture wide enough", true, true, peak + in, 0, 0, 0, 0, 0},
        {"ray that checks no apertures", true, false, peak - in, exit - in, 0, 0, 0, 0},
        {"rod rectangle cuts the path", true, true, 0, 0, peak - in, 0, 0, kRayFailAperture},
        {"rod rectangle wide enough", true, true, 0, 0, peak + in, 0, 0, 0},
        {"end aperture below the exit", false, true, 0, exit - in, 0, 0, 0, kRayFailAperture},
        {"end aperture above the exit", false, true, 0, exit + in, 0, 0, 0, 0},
        {"end rectangle below the exit", false, true, 0, 0, 0, exit - in, 0, kRayFailAperture},
        {"end obstruction over the exit", false, true, 0, 0, 0, 0, exit + in,
         kRayFailSpecialAperture},
        {"end obstruction below the exit", false, true, 0, 0, 0, 0, exit - in, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lens_data().grck = c.grck ? 1 : 0;
        surface(1).aperture_check = c.radius1 > 0.0 ? 1 : 0;
        surface(1).aperture_radius = c.radius1;
        surface(2).aperture_check = c.radius2 > 0.0 ? 1 : 0;
        surface(2).aperture_radius = c.radius2;
        SpecialAperture one = rectangle(c.clear1, kActionClear);
        SpecialAperture two = c.obstruct2 > 0.0 ? rectangle(c.obstruct2, kActionObstruct)
                                                : rectangle(c.clear2, kActionClear);
        surface(1).special_apertures = c.clear1 > 0.0 ? &one : nullptr;
        surface(1).special_aperture_count = c.clear1 > 0.0 ? 1 : 0;
        const bool end_special = c.clear2 > 0.0 || c.obstruct2 > 0.0;
        surface(2).special_apertures = end_special ? &two : nullptr;
        surface(2).special_aperture_count = end_special ? 1 : 0;
        const RayRecord r = trace_rod(0.0, a, kRayPlain, c.check);
        EXPECT_EQ(r.failure, c.failure);
        if (c.failure == 0) {
            EXPECT_NEAR(r.y, exit, 1e-9);
        }
        for (int n : {1, 2}) {
            surface(n).special_apertures = nullptr;
            surface(n).special_aperture_count = 0;
        }
    }
}

int g_grin_special_result = 0;
int grin_special_result(int, double, double) {
    return g_grin_special_result;
}

// The end surface's special apertures act on a ray arriving through the medium exactly as on
// one arriving through homogeneous glass: without the special-aperture code the ray is not
// traced past the surface, and each result of the test stops or passes it the same way.
TEST_F(GrinTest, EndSurfaceSpecialAperturesActAsBehindHomogeneousGlass) {
    medium(kWod, 0.3, 7.0);  // R1 = 0: the index is n_b throughout
    LensData& lens = lens_data();
    lens.object_height = 0.0;
    lens.axial_start_height = 1.5;
    lens.chief_start_height = 0.0;
    lens.epxy = 1;
    SpecialAperture entry{};
    surface(2).special_apertures = &entry;
    surface(2).special_aperture_count = 1;
    struct Case {
        const char* name;
        bool available;
        int result;
        int failure;
    };
    const Case cases[] = {
        {"no special-aperture code", false, 0, kRayFailNotAvailable},
        {"passes", true, kSpecialPass, 0},
        {"untouched", true, kSpecialUntouched, 0},
        {"obstructed", true, kSpecialObstructed, kRayFailSpecialAperture},
        {"outside", true, kSpecialOutside, kRayFailAperture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        trace_seams().check_special_apertures = c.available ? grin_special_result : nullptr;
        g_grin_special_result = c.result;
        RayRecord through[2];
        for (int grin : {0, 1}) {
            surface(1).grin = grin != 0 ? &record_ : nullptr;
            through[grin] = make_ray(kRayReported, 0, 0, 0, 0.5);
            trace_ray(through[grin]);
        }
        EXPECT_EQ(through[1].failure, c.failure);
        EXPECT_EQ(through[1].failure, through[0].failure);
        EXPECT_EQ(through[1].surface, through[0].surface);
        if (c.failure == 0) {
            EXPECT_NEAR(through[1].y, through[0].y, 1e-9);
            EXPECT_NEAR(through[1].m, through[0].m, 1e-12);
        }
    }
    surface(2).special_apertures = nullptr;
    surface(2).special_aperture_count = 0;
}

// A drawing ray stopped by the rod's aperture keeps only the points inside it.
TEST_F(GrinTest, DrawingRayStoppedInTheRodKeepsThePointsInside) {
    ASSERT_EQ(init_lens_drawing(), 0);
    const double nb = 1.6, r1 = 0.15, a = 0.1;
    coefficient(0, r1);
    medium(kSel, 0.01, 12.0);
    const double radius = 0.9 * std::sin(a) / (nb * r1);
    lens_data().grck = 1;
    surface(1).aperture_check = 1;
    surface(1).aperture_radius = radius;
    const RayRecord r = trace_rod(0.0, a, kRayKept, true);
    EXPECT_EQ(r.failure, kRayFailAperture);
    const int last = static_cast<int>(r.dtan_x);
    ASSERT_GE(last, 1);
    const DrawingBuffers& b = drawing_buffers();
    EXPECT_LE(std::fabs(b.points[last][1]), radius);
    EXPECT_GT(std::fabs(b.points[last + 1][1]), radius);  // stored, then given up
    free_lens_drawing();
}

// A drawing ray's points lie in the frame of the surface where the medium begins. In a
// homogeneous medium (WOD with R1 = 0) the path from the entry point P along the refracted
// direction D is straight, and with dR/dt = n D the point of step i is P + i dt n D, in that
// surface's frame, whether or not the surface returns the coordinates after it (the
// integration then runs in the undecentred frame).
TEST_F(GrinTest, PathPointsAreInTheFrameOfTheMediumSurface) {
    ASSERT_EQ(init_lens_drawing(), 0);
    const double step = 0.25, length = 10.0, nb = 1.6;
    medium(kWod, step, length);
    DecentreRecord tilt{};
    tilt.dcy = 0.4;
    tilt.dcx = -0.1;
    const double t = 5.0 * M_PI / 180.0;
    const double rotation[9] = {1, 0, 0, 0, std::cos(t), std::sin(t), 0, -std::sin(t), std::cos(t)};
    for (int i = 0; i < 9; ++i) tilt.rotation[i] = rotation[i];
    tilt.rotation_kind = 1;
    tilt.tilt_mode = 1;
    DecentreRecord back{};
    back.pickup_source = 1;
    struct Release {
        ~Release() {
            surface(1).decentre = nullptr;
            surface(1).return_coordinates = nullptr;
            free_lens_drawing();
        }
    } release;
    for (bool returned : {false, true}) {
        SCOPED_TRACE(returned ? "coordinates returned" : "decentre kept");
        surface(1).decentre = &tilt;
        surface(1).return_coordinates = returned ? &back : nullptr;
        if (returned) prepare_return_coordinates(1);
        RayRecord r{};
        r.kind = kRayKept;
        r.surface = 0;
        r.y = 0.3;
        r.z = -5.0;
        r.l = std::sin(0.15);
        r.m = std::cos(0.15);
        r.medium = r.prev_medium = air_.data();
        trace_to_surface(r, 1);
        ASSERT_EQ(r.failure, 0);
        const double P[3] = {r.x, r.y, r.z}, D[3] = {r.k, r.l, r.m};
        trace_to_surface(r, 2);
        ASSERT_EQ(r.failure, 0);
        ASSERT_GE(r.dtan_x, 20.0);
        EXPECT_EQ(r.sphere_path, 1.0);
        const DrawingBuffers& b = drawing_buffers();
        for (int row : {1, 2, 17, static_cast<int>(r.dtan_x)}) {
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(b.points[row][i], P[i] + row * step * nb * D[i], 1e-12) << row;
            }
        }
    }
}

}  // namespace

// Rays traced backwards through gradient media, as the aiming traces them, against the forward
// trace: light paths are reversible, so a ray sent back from a point of the stop and then traced
// forward from where it came out must return to that point of the stop along the reversed
// starting direction. The lens holds two gradient media in a row (a selfoc rod, then an axial
// and radial gradient), with decentres, coordinate returns, repeated tilts, gratings,
// diffractive and holographic surfaces and a perfect lens on the media's surfaces in turn.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"
#include "trace/grin_propagation.h"
#include "trace/lens_setup.h"
#include "trace/ray_aiming.h"
#include "trace/special_surfaces.h"
#include "trace/surface_probes.h"

namespace {

using namespace trace_test;

constexpr std::uint8_t kBackArg = 1, kBackSel = 10;
constexpr int kStop = 4;
constexpr double kStopRadius = 1.5;

// A rotation of a degrees about x followed by b degrees about y, row by row.
void tilt_rotation(double a_deg, double b_deg, double (&r)[9]) {
    const double a = a_deg * M_PI / 180.0, b = b_deg * M_PI / 180.0;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const double m[9] = {cb, sa * sb, -ca * sb, 0.0, ca, sa, sb, -sa * cb, ca * cb};
    for (int i = 0; i < 9; ++i) r[i] = m[i];
}

struct Variant {
    const char* name;
    bool decentre1;     // surface 1, where the rod begins, decentred and tilted
    bool return1;       // ... and returning the coordinates after it
    bool repeat1;       // ... and repeating its tilt after it
    bool decentre2;     // surface 2, between the two media, decentred and tilted
    bool grating1;      // a grating on the rod's entry surface
    bool grating2;      // a grating between the two media
    bool perfect3;      // a perfect lens on the exit surface of the second medium
    bool diffractive1;  // a diffractive surface at the rod's entry
    bool hologram2;     // a hologram between the media
    bool tilts_first;   // the decentres of surfaces 1 and 2 tilt before they shift
};

class GrinBackward : public TraceTest {
protected:
    void SetUp() override {
        TraceTest::SetUp();
        make_lens(4, 20.0);
        LensData& lens = lens_data();
        lens.units = 1.0;
        lens.wavelength_count = 1;
        lens.wavelengths[0].wavelength = 0.55;
        curvature(1, 1.0 / 30.0);
        thickness(1, 6.0);
        curvature(2, -1.0 / 25.0);
        thickness(2, 5.0);
        curvature(3, -1.0 / 40.0);
        thickness(3, 8.0);
        thickness(4, 10.0);
        refresh_vertex_positions();
        // The shape word the lens set-up gives a sphere; the end-surface tests read it.
        for (int n = 1; n <= 3; ++n) surface(n).shape = kShapeSphere;
        surface(kStop).aperture_radius = kStopRadius;
        for (int r = 0; r < 8; ++r) {
            rod_rows_[r].fill(0.0);
            second_rows_[r].fill(0.0);
            rod_pointers_[r] = rod_rows_[r].data();
            second_pointers_[r] = second_rows_[r].data();
        }
        rod_rows_[0].fill(0.1);  // R1 of the selfoc profile
        rod_.kind = kBackSel;
        rod_.step = 0.01;
        rod_.coefficients = rod_pointers_;
        second_rows_[0].fill(-0.004);  // n = 1.55 - 0.004 r^2 + 0.002 z
        second_rows_[4].fill(0.002);
        second_.kind = kBackArg;
        second_.step = 0.01;
        second_.coefficients = second_pointers_;
        surface(1).grin = &rod_;
        surface(1).index = rod_base_.data();
        surface(2).grin = &second_;
        surface(2).index = second_base_.data();
        install_special_surfaces();
        install_grin_propagation();
        install_surface_probes();
        install_ray_aiming();
    }
    void TearDown() override {
        clear_variant();
        for (int n = 1; n <= 3; ++n) surface(n).grin = nullptr;
        TraceTest::TearDown();
    }

    static void clear_variant() {
        for (int n = 1; n <= 3; ++n) {
            SurfaceRecord& s = surface(n);
            s.decentre = nullptr;
            s.return_coordinates = nullptr;
            s.perfect_lens = nullptr;
            s.diffractive = nullptr;
            s.hologram = nullptr;
            s.grating_spacing = 0.0;
            s.second_tilt = 0;
        }
        curvature(3, -1.0 / 40.0);
        surface(3).shape = kShapeSphere;
    }

    void apply(const Variant& v) {
        if (v.decentre1) {
            tilt1_.dcx = 0.2;
            tilt1_.dcy = -0.3;
            tilt1_.dcz = 0.1;
            tilt_rotation(4.0, -2.5, tilt1_.rotation);
            tilt1_.rotation_kind = 2;
            tilt1_.tilt_mode = v.tilts_first ? -1 : 1;
            surface(1).decentre = &tilt1_;
        }
        if (v.return1) {
            return1_ = DecentreRecord{};
            return1_.pickup_source = 1;
            surface(1).return_coordinates = &return1_;
            prepare_return_coordinates(1);
        }
        if (v.repeat1) surface(1).second_tilt = 1;
        if (v.decentre2) {
            tilt2_.dcy = 0.15;
            tilt_rotation(-3.0, 0.0, tilt2_.rotation);
            tilt2_.rotation_kind = 1;
            tilt2_.tilt_mode = v.tilts_first ? -1 : 1;
            surface(2).decentre = &tilt2_;
        }
        if (v.grating1) {
            surface(1).grating_spacing = 0.02;
            surface(1).diffraction_order = 1;
        }
        if (v.grating2) {
            surface(2).grating_spacing = 0.01;
            surface(2).diffraction_order = -1;
        }
        if (v.perfect3) {
            // An ideal lens stands on its vertex plane.
            curvature(3, 0.0);
            surface(3).shape = kShapePlane;
            perfect_ = PerfectLensRecord{50.0, -0.5};
            surface(3).perfect_lens = &perfect_;
        }
        if (v.diffractive1) {
            diffractive_ = DiffractiveRecord{};
            diffractive_.kind = 0;
            diffractive_.working_count = 3;
            diffractive_.working = phase_;
            diffractive_.design_wavelength = 0.6;
            surface(1).diffractive = &diffractive_;
            surface(1).diffraction_order = 1;
        }
        if (v.hologram2) {
            hologram_ = HologramRecord{};
            hologram_.order = 1;
            hologram_.wavelength = 0.6;
            hologram_.first_point[2] = -60.0;
            hologram_.second_point[1] = 2.0;
            hologram_.second_point[2] = 90.0;
            surface(2).hologram = &hologram_;
        }
    }

    Medium rod_base_{1.6};
    Medium second_base_{1.55};
    std::array<std::array<double, 10>, 8> rod_rows_{}, second_rows_{};
    double* rod_pointers_[8]{};
    double* second_pointers_[8]{};
    GrinRecord rod_{}, second_{};
    DecentreRecord tilt1_{}, tilt2_{}, return1_{};
    PerfectLensRecord perfect_{};
    DiffractiveRecord diffractive_{};
    double phase_[3] = {0.002, -0.001, 0.00002};
    HologramRecord hologram_{};
};

TEST_F(GrinBackward, ARayTracedBackThenForwardReturnsToItsPointOfTheStop) {
    const bool o = false, X = true;
    const Variant variants[] = {
        {"centred", o, o, o, o, o, o, o, o, o, o},
        {"decentred rod", X, o, o, o, o, o, o, o, o, o},
        {"decentred rod, tilted first", X, o, o, o, o, o, o, o, o, X},
        {"decentred rod, coordinates returned", X, X, o, o, o, o, o, o, o, o},
        {"decentred rod tilted first, coordinates returned", X, X, o, o, o, o, o, o, o, X},
        {"decentred rod, tilt repeated", X, o, X, o, o, o, o, o, o, o},
        {"decentre between the media", o, o, o, X, o, o, o, o, o, o},
        {"decentre between the media, tilted first", o, o, o, X, o, o, o, o, o, X},
        {"grating at the entry", o, o, o, o, X, o, o, o, o, o},
        {"grating between the media", o, o, o, o, o, X, o, o, o, o},
        {"perfect lens at the exit", o, o, o, o, o, o, X, o, o, o},
        {"diffractive surface at the entry", o, o, o, o, o, o, o, X, o, o},
        {"hologram between the media", o, o, o, o, o, o, o, o, X, o},
        {"all at once", X, o, o, X, o, X, X, X, o, o},
        {"all at once, hologram between the media", X, o, o, X, X, o, X, o, X, X},
    };
    // Points (a, b) of the stop and the aim points (u, v) the ray is sent back towards.
    const double aims[][4] = {
        {0.0, 0.0, 0.0, 0.1}, {0.0, 0.6, 0.0, 0.5}, {0.4, -0.3, 0.2, -0.2}, {-0.5, 0.5, -0.3, 0.6}};
    for (const Variant& v : variants) {
        apply(v);
        for (const auto& q : aims) {
            SCOPED_TRACE(testing::Message()
                         << v.name << ": " << q[0] << " " << q[1] << " " << q[2] << " " << q[3]);
            RayRecord back{};
            back.kind = kRayPlain;
            trace_back_to_object(back, kStop, q[0], q[1], q[2], q[3]);
            ASSERT_EQ(back.failure, 0);
            EXPECT_EQ(back.grin_state, 0);
            EXPECT_EQ(trace_globals().backward_step, 0);

            // Forward from a point behind where the ray came out, along its outgoing line.
            RayRecord ray{};
            ray.kind = kRayPlain;
            ray.surface = 0;
            ray.x = back.x - 2.0 * back.k;
            ray.y = back.y - 2.0 * back.l;
            ray.z = back.z - 2.0 * back.m;
            ray.k = back.k;
            ray.l = back.l;
            ray.m = back.m;
            ray.medium = ray.prev_medium = air_.data();
            trace_to_surface(ray, kStop);
            ASSERT_EQ(ray.failure, 0);
            ASSERT_EQ(ray.surface, kStop);
            EXPECT_NEAR(ray.x, q[0] * kStopRadius, 1e-8);
            EXPECT_NEAR(ray.y, q[1] * kStopRadius, 1e-8);
            EXPECT_NEAR(ray.z, 0.0, 1e-8);
            // The backward ray left the stop towards (u R, v R, -R).
            const double t[3] = {(q[2] - q[0]) * kStopRadius, (q[3] - q[1]) * kStopRadius,
                                 -kStopRadius};
            const double len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
            EXPECT_NEAR(ray.k, -t[0] / len, 1e-9);
            EXPECT_NEAR(ray.l, -t[1] / len, 1e-9);
            EXPECT_NEAR(ray.m, -t[2] / len, 1e-9);
        }
        clear_variant();
    }
}

// A ray of the reverse media stepped back surface by surface outside the aiming (no backward
// step under way) crosses both media as the aiming's backward trace does.
TEST_F(GrinBackward, AReverseMediaRayOutsideTheAimingCrossesTheMedia) {
    for (const double q : {0.0, 0.4, -0.7}) {
        SCOPED_TRACE(q);
        RayRecord aimed{};
        aimed.kind = kRayPlain;
        trace_back_to_object(aimed, kStop, 0.2, q, -0.1, q + 0.2);
        ASSERT_EQ(aimed.failure, 0);

        // The same start as the aiming's: on the plane stop towards (u R, v R, -R).
        RayRecord ray{};
        ray.kind = kRayPlain;
        ray.surface = kStop;
        ray.backward = 1;
        ray.reversed = 1;
        ray.x = 0.2 * kStopRadius;
        ray.y = q * kStopRadius;
        const double t[3] = {-0.3 * kStopRadius, 0.2 * kStopRadius, -kStopRadius};
        const double len = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        ray.k = t[0] / len;
        ray.l = t[1] / len;
        ray.m = t[2] / len;
        ray.medium = ray.prev_medium = surface(kStop - 1).index;
        start_backward_in_grin(kStop, ray);
        ASSERT_EQ(trace_globals().backward_step, 0);
        while (ray.failure == 0 && ray.surface > 1) trace_to_previous_surface(ray);
        ASSERT_EQ(ray.failure, 0);
        EXPECT_EQ(ray.grin_state, 0);
        EXPECT_NEAR(ray.x, aimed.x, 1e-12);
        EXPECT_NEAR(ray.y, aimed.y, 1e-12);
        EXPECT_NEAR(ray.z, aimed.z, 1e-12);
        EXPECT_NEAR(-ray.k, aimed.k, 1e-12);
        EXPECT_NEAR(-ray.l, aimed.l, 1e-12);
        EXPECT_NEAR(-ray.m, aimed.m, 1e-12);
    }
}

}  // namespace

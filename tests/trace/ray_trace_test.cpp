// Whole rays through a singlet, a spherical mirror and a paraboloid against an independent
// vector-law trace; the optical path difference against a hand-made reference ray.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"

namespace trace_test {
namespace {

constexpr double kExact = 1e-12;

struct Expected {
    Vec p;       // global point on the image plane
    Vec d;       // direction there
    double opl;  // from the object point, minus its distance to the vertex of surface 1
};

// Singlet: object 50 before surface 1, radii 40 and -60, 5 thick, then 70 to the image.
class Singlet : public TraceTest {
protected:
    static constexpr double kObjectDistance = 50.0;
    static constexpr double kHeight = 5.0;
    static constexpr double kR1 = 40.0, kR2 = -60.0, kGlassThickness = 5.0, kBack = 70.0;
    static constexpr double kEpr = 8.0, kP1 = -2.0;
    Medium glass_{1.5, 1.52, 1.49};

    void SetUp() override {
        TraceTest::SetUp();
        curvature(1, 1.0 / kR1);
        thickness(1, kGlassThickness);
        curvature(2, 1.0 / kR2);
        thickness(2, kBack);
        make_lens(2, kObjectDistance);
        surface(1).index = glass_.data();
        LensData& lens = lens_data();
        lens.object_height = kHeight;
        lens.axial_start_height = kEpr;
        lens.chief_start_height = kP1;
        lens.epxy = 1;  // the paraxial pupil for every kind
    }

    // Surface 1's vertex at z = 0.
    Expected expected(const RayRecord& r) const {
        const Vec obj{kHeight * r.obj_x, kHeight * r.obj_y, -kObjectDistance};
        const Vec start{kP1 * r.obj_x + kEpr * r.pup_x, kP1 * r.obj_y + kEpr * r.pup_y, 0.0};
        const Vec to_start = add(start, obj, -1.0);
        Vec d = unit(to_start);
        const double n = glass_.n[r.wavelength];
        double opl = std::sqrt(dot(to_start, to_start)) -
                     std::sqrt(dot(obj, obj));  // the vertex of surface 1 is the origin
        const double t1 = sphere_distance(start, d, 0.0, kR1);
        Vec p = add(start, d, t1);
        opl += t1;
        d = refract(d, sphere_normal(p, 0.0, kR1), 1.0, n);
        const double t2 = sphere_distance(p, d, kGlassThickness, kR2);
        p = add(p, d, t2);
        opl += n * t2;
        d = refract(d, sphere_normal(p, kGlassThickness, kR2), n, 1.0);
        const double t3 = (kGlassThickness + kBack - p[2]) / d[2];
        p = add(p, d, t3);
        opl += t3;
        return {p, d, opl};
    }
};

TEST_F(Singlet, RaysOfEveryKindMeetTheVectorLawTrace) {
    struct Case {
        double ox, oy, px, py;
        int slot;
    };
    const Case cases[] = {{0, 0, 0, 1, 0},
                          {0, 1, 0, 0, 0},
                          {0.5, -0.3, 0.4, 0.7, 1},
                          {-1, 0.2, -0.6, -0.6, 2},
                          {0, 0, 0, 0, 0}};
    for (int kind = 0; kind <= 8; ++kind) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "kind " << kind << " object (" << c.ox << ", " << c.oy << ") pupil ("
                         << c.px << ", " << c.py << ") slot " << c.slot);
            RayRecord ray = make_ray(kind, c.ox, c.oy, c.px, c.py, c.slot);
            trace_ray(ray);
            ASSERT_EQ(ray.failure, 0);
            EXPECT_EQ(ray.surface, 3);
            const Expected e = expected(ray);
            EXPECT_NEAR(ray.x, e.p[0], kExact);
            EXPECT_NEAR(ray.y, e.p[1], kExact);
            EXPECT_NEAR(ray.z, e.p[2] - (kGlassThickness + kBack), kExact);
            EXPECT_NEAR(ray.k, e.d[0], kExact);
            EXPECT_NEAR(ray.l, e.d[1], kExact);
            EXPECT_NEAR(ray.m, e.d[2], kExact);
            EXPECT_NEAR(ray.opl, e.opl, kExact);
            EXPECT_EQ(ray.reversed, 0);
            if (kind == kRayKept) {
                EXPECT_DOUBLE_EQ(ray.dx, kHeight * c.ox);
                EXPECT_DOUBLE_EQ(ray.dy, kHeight * c.oy);
            }
        }
    }
}

TEST_F(Singlet, StartLengthIsZeroForTheAxialChiefRayAndGrowsWithThePupil) {
    RayRecord chief = make_ray(kRayPlain, 0, 0, 0, 0);
    setup_ray_at_object(chief, nullptr);
    EXPECT_EQ(chief.dist, 0.0);
    double last = 0.0;
    for (double py : {0.25, 0.5, 1.0}) {
        RayRecord ray = make_ray(kRayPlain, 0, 0, 0, py);
        setup_ray_at_object(ray, nullptr);
        const double hand = std::hypot(kEpr * py, kObjectDistance) - kObjectDistance;
        EXPECT_NEAR(ray.dist, hand, kExact);
        EXPECT_GT(ray.dist, last);
        last = ray.dist;
    }
}

TEST_F(Singlet, SmallPupilStartPointLiesOnTheTangentPlane) {
    // |EPR| below a tenth of the object distance, flat object, object height 10.
    LensData& lens = lens_data();
    lens.epxy = 0;
    lens.object_height = 10.0;
    lens.axial_start_height = 1.0;
    RayRecord ray = make_ray(kRayPlain, 0.5, 0, 0, 0);
    setup_ray_at_object(ray, nullptr);
    EXPECT_EQ(trace_globals().object_point.x, 5.0);
    EXPECT_EQ(ray.x, kP1 * 0.5);
    EXPECT_EQ(ray.y, 0.0);
    EXPECT_EQ(ray.z, 0.0);
}

TEST_F(Singlet, WidePupilSpreadsTheDirectionSinesEvenlyOverThePupil) {
    // On the axis the pupil extent is seen at sine Rp / sqrt(d^2 + Rp^2); a pupil fraction
    // takes its share of that sine.
    lens_data().epxy = 0;
    const double sine = kEpr / std::hypot(kObjectDistance, kEpr);
    for (const auto& [px, py] : {std::pair{0.0, 1.0}, {0.6, -0.3}, {-1.0, 0.0}}) {
        RayRecord ray = make_ray(kRayReported, 0, 0, px, py);
        setup_ray_at_object(ray, nullptr);
        ASSERT_EQ(ray.failure, 0);
        EXPECT_NEAR(ray.k, px * sine, kExact);
        EXPECT_NEAR(ray.l, py * sine, kExact);
        EXPECT_NEAR(ray.k * ray.k + ray.l * ray.l + ray.m * ray.m, 1.0, kExact);
        // The start point lies on the ray from the object point.
        EXPECT_NEAR(ray.x, kObjectDistance * ray.k / ray.m, kExact);
        EXPECT_NEAR(ray.y, kObjectDistance * ray.l / ray.m, kExact);
        EXPECT_NEAR(ray.dist, std::hypot(ray.x, ray.y, kObjectDistance) - kObjectDistance, kExact);
    }
}

TEST_F(Singlet, TheCallerCanTakeThePupilAtTheEntrancePupil) {
    LensData& lens = lens_data();
    lens.aim_mode = kAimParaxial;
    // A reference ray off the pupil centre: a measured ray is centred on it, unless its caller
    // takes the pupil fractions as they stand. The start is on the tangent plane of surface 1:
    // the chief-ray height of the object point and the pupil fraction of the beam radius.
    reference_ray().ray.pup_x = 0.3;
    reference_ray().ray.pup_y = -0.2;
    for (const int at_entrance : {0, 1}) {
        SCOPED_TRACE(at_entrance);
        RayRecord ray = make_ray(kRayMeasured, 0.4, 0.8, 0.5, 0.5);
        ray.pupil_at_entrance = static_cast<std::uint8_t>(at_entrance);
        setup_ray_at_object(ray, nullptr);
        ASSERT_EQ(ray.failure, 0);
        const double shift_x = at_entrance ? 0.0 : 0.3, shift_y = at_entrance ? 0.0 : -0.2;
        EXPECT_NEAR(ray.x, kP1 * 0.4 + kEpr * (0.5 + shift_x), kExact);
        EXPECT_NEAR(ray.y, kP1 * 0.8 + kEpr * (0.5 + shift_y), kExact);
    }

    // A pupil wide against the object distance, seen from the axial object point: the rim ray's
    // direction sine is Rp / sqrt(d^2 + Rp^2), with the beam radius 8 at surface 1 (d = 50), or
    // with the entrance pupil's radius 6 at 10 behind surface 1 (d = 60).
    reference_ray().ray.pup_x = reference_ray().ray.pup_y = 0.0;
    lens.epxy = 0;
    lens.entrance_pupil_position = 10.0;
    lens.entrance_pupil_semi_diameter = 6.0;
    for (const int at_entrance : {0, 1}) {
        SCOPED_TRACE(at_entrance);
        RayRecord ray = make_ray(kRayMeasured, 0, 0, 0, 1);
        ray.pupil_at_entrance = static_cast<std::uint8_t>(at_entrance);
        setup_ray_at_object(ray, nullptr);
        ASSERT_EQ(ray.failure, 0);
        const double sine =
            at_entrance ? 6.0 / std::hypot(60.0, 6.0) : kEpr / std::hypot(50.0, kEpr);
        EXPECT_NEAR(ray.l, sine, kExact);
        EXPECT_NEAR(ray.k, 0.0, kExact);
    }
}

TEST_F(Singlet, AnAimedRayKeepsWhereItCrossesSurfaceOneApartFromItsDifferences) {
    // A stand-in aiming leaves every ray 5 in front of surface 1 at (1, 2), going along
    // (0.1, 0.2, m): it reaches the plane of surface 1 after 5 / m, at (1 + 0.5 / m, 2 + 1 / m).
    LensData& lens = lens_data();
    lens.wide_angle = 1;
    lens.reference_surface = 2;
    trace_globals().aiming_possible = 1;
    trace_seams().aim_ray_finite_object = [](RayRecord& ray, double, double, double) {
        ray.x = 1.0;
        ray.y = 2.0;
        ray.z = -5.0;
        ray.k = 0.1;
        ray.l = 0.2;
        ray.m = std::sqrt(1.0 - 0.05);
    };
    const double m = std::sqrt(1.0 - 0.05);
    const double x1 = 1.0 + 0.1 * 5.0 / m, y1 = 2.0 + 0.2 * 5.0 / m;
    for (const int kind : {kRayPlain, kRayMeasured}) {
        SCOPED_TRACE(kind);
        RayRecord ray = make_ray(kind, 0.4, 0.8, 0.5, 0.5);
        setup_ray_at_object(ray, nullptr);
        ASSERT_EQ(ray.failure, 0);
        if (kind == kRayPlain) {
            // In fractions of the beam radius around the chief ray's paraxial height there.
            EXPECT_NEAR(ray.paraxial_pup_x, (x1 - kP1 * 0.4) / kEpr, kExact);
            EXPECT_NEAR(ray.paraxial_pup_y, (y1 - kP1 * 0.8) / kEpr, kExact);
        } else {
            EXPECT_EQ(ray.paraxial_pup_x, 0.0);
            EXPECT_EQ(ray.paraxial_pup_y, 0.0);
        }
        // The differences from the reference ray are not a place to keep them.
        EXPECT_EQ(ray.dx, 0.0);
        EXPECT_EQ(ray.dtan_x, 0.0);
    }
}

TEST_F(Singlet, TelecentricObjectAimsAtTheBeamRadiusAroundTheObjectPoint) {
    LensData& lens = lens_data();
    lens.aim_telecentric = 1;
    lens.entrance_beam_radius = 3.0;
    for (const auto& [px, py] : {std::pair{0.0, 1.0}, {-1.0, 0.0}, {0.6, 0.3}}) {
        RayRecord ray = make_ray(kRayMeasured, 0.4, 0.8, px, py);
        setup_ray_at_object(ray, nullptr);
        ASSERT_EQ(ray.failure, 0);
        const double x0 = kHeight * 0.4, y0 = kHeight * 0.8;
        EXPECT_NEAR(ray.k * ray.k + ray.l * ray.l + ray.m * ray.m, 1.0, kExact);
        // The start point lies on the ray from the object point.
        EXPECT_NEAR(ray.x, x0 + kObjectDistance * ray.k / ray.m, kExact);
        EXPECT_NEAR(ray.y, y0 + kObjectDistance * ray.l / ray.m, kExact);
        if (px * py == 0.0) {
            // A pupil rim on one axis: the beam radius beside the object point.
            EXPECT_NEAR(ray.x, x0 + 3.0 * px, kExact);
            EXPECT_NEAR(ray.y, y0 + 3.0 * py, kExact);
        }
        // Measured against the object distance along the axis.
        EXPECT_NEAR(ray.dist, std::hypot(ray.x - x0, ray.y - y0, kObjectDistance) - kObjectDistance,
                    kExact);
    }
}

TEST_F(Singlet, ConeOfTheObjectSpaceApertureFromAnAxialPoint) {
    LensData& lens = lens_data();
    lens.cone_reference = 1.0;
    lens.object_na = 0.2;
    RayRecord ray = make_ray(kRayReported, 0, 0, 0, 1);
    setup_ray_at_object(ray, nullptr);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_NEAR(ray.l, 0.2, kExact);  // the sine of the cone's half angle in air
    EXPECT_NEAR(ray.k, 0.0, kExact);
    EXPECT_NEAR(ray.m, std::sqrt(1.0 - 0.04), kExact);
    EXPECT_NEAR(ray.y, kObjectDistance * 0.2 / std::sqrt(0.96), kExact);
    // A wide pupil splits the sine between the axes.
    lens.epxy = 0;
    ray = make_ray(kRayReported, 0, 0, 1, 1);
    setup_ray_at_object(ray, nullptr);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_NEAR(ray.k * ray.k + ray.l * ray.l + ray.m * ray.m, 1.0, kExact);
    EXPECT_NEAR(ray.k, ray.l, kExact);
    // At the rim of a cone of half angle 90 degrees the set-up fails.
    lens.object_na = 1.0;
    ray = make_ray(kRayReported, 0, 0, 0, 1);
    lens_data().apck = 1;
    setup_ray_at_object(ray, nullptr);
    EXPECT_EQ(ray.failure, kRayFailMissed);
    EXPECT_EQ(ray.surface, 1);
}

TEST_F(Singlet, ObjectDistanceZeroFailsAtSetUpWithoutTracing) {
    thickness(0, 0.0);
    RayRecord ray = make_ray(kRayMeasured, 0, 0, 0, 1);
    trace_ray(ray);
    EXPECT_EQ(ray.failure, kRayFailMissed);
    EXPECT_EQ(ray.surface, 1);
    EXPECT_EQ(ray.opd, 0.0);
}

// The optical path difference of a kind-2 ray against a hand-made reference ray, with the
// reference sphere of radius R centred on the reference ray's image point.
TEST_F(Singlet, OpticalPathDifferenceAgainstAHandMadeReferenceRay) {
    const double radius = 60.0;
    ReferenceRay& ref = reference_ray();
    ref.ray = make_ray(kRayReference, 0, 0.7, 0, 0);
    trace_ray(ref.ray);
    ASSERT_EQ(ref.ray.failure, 0);
    ref.sphere_radius = radius;
    const Expected er = expected(ref.ray);

    for (int slot : {0, 2}) {
        for (int opdw : {1, 0}) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " opdw " << opdw);
            lens_data().opdw = static_cast<std::uint8_t>(opdw);
            RayRecord ray = make_ray(kRayMeasured, 0, 0.7, 0.3, 0.9, slot);
            trace_ray(ray);
            ASSERT_EQ(ray.failure, 0);
            const Expected e = expected(ray);
            // Go back along the ray from its image point to the sphere: |P + tau u - Q| = R.
            const Vec pq = add(e.p, er.p, -1.0);
            const double b = dot(pq, e.d);
            const double tau = -b - std::sqrt(b * b - (dot(pq, pq) - radius * radius));
            // Reference ray's path to the sphere minus the ray's.
            const double ref_opl = er.opl;  // the reference ray runs in slot 0
            const double opd_units = (ref_opl - radius) - (e.opl + tau);
            const double wavelength = lens_data().wavelengths[slot].wavelength;
            const double expected_opd = opdw ? opd_units * 1000.0 / wavelength : opd_units;
            EXPECT_NEAR(ray.opd, expected_opd, opdw ? 1e-8 : kExact);
            EXPECT_NEAR(ray.dx, e.p[0] - er.p[0], kExact);
            EXPECT_NEAR(ray.dy, e.p[1] - er.p[1], kExact);
            EXPECT_NEAR(ray.dtan_y, e.d[1] / e.d[2] - er.d[1] / er.d[2], kExact);
        }
    }
    // Kind 4 keeps lens units and fills the sphere path.
    lens_data().opdw = 1;
    RayRecord ray = make_ray(kRaySphere, 0, 0.7, 0.3, 0.9);
    trace_ray(ray);
    ASSERT_EQ(ray.failure, 0);
    const Expected e = expected(ray);
    const Vec pq = add(e.p, er.p, -1.0);
    const double b = dot(pq, e.d);
    const double tau = -b - std::sqrt(b * b - (dot(pq, pq) - radius * radius));
    EXPECT_NEAR(ray.opd, (er.opl - radius) - (e.opl + tau), kExact);
    EXPECT_NEAR(ray.sphere_path, -tau - radius, kExact);
}

// A concave spherical mirror of radius 100, object at infinity at a field angle of 2 degrees,
// image 50 in front of the mirror.
class SphericalMirror : public TraceTest {
protected:
    static constexpr double kRadius = -100.0;
    static constexpr double kEpr = 10.0, kP1 = 0.0;
    const double field = 2.0 * M_PI / 180.0;

    void SetUp() override {
        TraceTest::SetUp();
        curvature(1, 1.0 / kRadius);
        thickness(1, kRadius / 2);
        make_lens(1, kInfiniteDistance);
        surface(1).medium_kind = kMediumMirror;
        LensData& lens = lens_data();
        lens.object_height = -std::tan(field) * kInfiniteDistance;
        lens.axial_start_height = kEpr;
        lens.chief_start_height = kP1;
    }
};

TEST_F(SphericalMirror, RaysOfEveryKindReflectAsTheVectorLawSays) {
    for (int kind = 0; kind <= 8; ++kind) {
        for (const auto& [oy, px, py] :
             {std::tuple{1.0, 0.0, 1.0}, {0.0, 0.5, -0.5}, {-0.5, -1.0, 0.0}}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " oy " << oy << " pupil (" << px
                                            << ", " << py << ")");
            RayRecord ray = make_ray(kind, 0, oy, px, py);
            trace_ray(ray);
            ASSERT_EQ(ray.failure, 0);
            // Hand computation: a parallel beam at field angle oy * 2 degrees.
            const Vec start{kEpr * px, kEpr * py, 0.0};
            const Vec d = unit({0.0, std::tan(field) * oy, 1.0});
            const double t = sphere_distance(start, d, 0.0, kRadius);
            const Vec q = add(start, d, t);
            const Vec r = reflect(d, sphere_normal(q, 0.0, kRadius));
            const double t2 = (kRadius / 2 - q[2]) / r[2];
            const Vec p = add(q, r, t2);
            EXPECT_NEAR(ray.x, p[0], kExact);
            EXPECT_NEAR(ray.y, p[1], kExact);
            EXPECT_NEAR(ray.z, 0.0, kExact);
            EXPECT_NEAR(ray.k, r[0], kExact);
            EXPECT_NEAR(ray.l, r[1], kExact);
            EXPECT_NEAR(ray.m, r[2], kExact);
            EXPECT_LT(ray.m, 0.0);
            EXPECT_EQ(ray.reversed, 1);
            // The start length of a plane wave is the start point's projection on the ray.
            EXPECT_NEAR(ray.opl, dot(start, d) + t + t2, 1e-9);
        }
    }
}

TEST_F(SphericalMirror, TwoMirrorsTurnTheRayForwardAgain) {
    // A flat mirror 50 in front of the first: the ray goes back along +z.
    curvature(2, 0.0);
    thickness(2, 30.0);
    make_lens(2, kInfiniteDistance);
    surface(1).medium_kind = kMediumMirror;
    surface(2).medium_kind = kMediumMirror;
    RayRecord ray = make_ray(kRayPlain, 0, 0, 0, 1);
    setup_ray_at_object(ray, nullptr);
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.reversed, 1);
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.reversed, 0);
    EXPECT_GT(ray.m, 0.0);
    trace_to_next_surface(ray);
    EXPECT_EQ(ray.failure, 0);
    EXPECT_EQ(ray.surface, 3);
}

// A paraboloid focuses a beam from an infinite object without aberration: every ray meets
// the focus and has the optical path of the chief ray.
TEST_F(TraceTest, ParaboloidFocusesAnAxialBeamWithZeroPathDifference) {
    const double c = -1.0 / 200.0;
    curvature(1, c);
    set_conic_constant(1, -1.0);
    thickness(1, 1.0 / (2.0 * c));
    make_lens(1, kInfiniteDistance);
    surface(1).medium_kind = kMediumMirror;
    LensData& lens = lens_data();
    lens.object_height = 0.0;
    lens.axial_start_height = 40.0;
    lens.chief_start_height = 0.0;

    ReferenceRay& ref = reference_ray();
    ref.ray = make_ray(kRayReference, 0, 0, 0, 0);
    trace_ray(ref.ray);
    ASSERT_EQ(ref.ray.failure, 0);
    ref.sphere_radius = 1.0 / (2.0 * c);
    for (int opdw : {0, 1}) {
        lens.opdw = static_cast<std::uint8_t>(opdw);
        for (const auto& [px, py] : {std::pair{0.0, 1.0}, {1.0, 0.0}, {0.6, -0.7}, {-0.2, 0.1}}) {
            SCOPED_TRACE(testing::Message() << "pupil (" << px << ", " << py << ")");
            RayRecord ray = make_ray(kRayMeasured, 0, 0, px, py);
            trace_ray(ray);
            ASSERT_EQ(ray.failure, 0);
            EXPECT_NEAR(ray.x, 0.0, kExact);
            EXPECT_NEAR(ray.y, 0.0, kExact);
            EXPECT_NEAR(ray.opd, 0.0, opdw ? 1e-9 : kExact);
        }
    }
}

}  // namespace
}  // namespace trace_test

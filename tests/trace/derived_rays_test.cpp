// Pupil and object derivatives of traced rays (the differential trace and the auxiliary rays),
// focus distances against Coddington's equations, vergences of an afocal lens, and rays given by
// fractions of the reference surface's aperture.
#include <gtest/gtest.h>

#include <cmath>

#include "lens/lens_data.h"
#include "tests/trace/trace_fixture.h"
#include "trace/derived_rays.h"

namespace trace_test {
namespace {

struct End {
    double x, y, z, k, l, m;
};

// A ray traced plainly, without derivatives: the set-up and the surface steps alone.
End plain_end(double ox, double oy, double px, double py) {
    RayRecord r{};
    r.obj_x = ox;
    r.obj_y = oy;
    r.pup_x = px;
    r.pup_y = py;
    setup_ray_at_object(r, nullptr);
    trace_to_surface(r, lens_data().image_surface);
    EXPECT_EQ(r.failure, 0);
    return {r.x, r.y, r.z, r.k, r.l, r.m};
}

// Central difference of the end values in one of the four ray parameters.
RayDerivative central(double ox, double oy, double px, double py, int which, double h) {
    double p[4] = {ox, oy, px, py};
    double q[4] = {ox, oy, px, py};
    p[which] += h;
    q[which] -= h;
    const End a = plain_end(p[0], p[1], p[2], p[3]);
    const End b = plain_end(q[0], q[1], q[2], q[3]);
    const double s = 0.5 / h;
    return {(a.x - b.x) * s, (a.y - b.y) * s, (a.z - b.z) * s,
            (a.k - b.k) * s, (a.l - b.l) * s, (a.m - b.m) * s};
}

void expect_near(const RayDerivative& got, const RayDerivative& want, double pos_tol,
                 double dir_tol, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(got.dx, want.dx, pos_tol);
    EXPECT_NEAR(got.dy, want.dy, pos_tol);
    EXPECT_NEAR(got.dz, want.dz, pos_tol);
    EXPECT_NEAR(got.dk, want.dk, dir_tol);
    EXPECT_NEAR(got.dl, want.dl, dir_tol);
    EXPECT_NEAR(got.dm, want.dm, dir_tol);
}

// Rotation about y by b, then about x by e, row-major.
void compound_rotation(double b, double e, double (&r)[9]) {
    const double ry[9] = {std::cos(b), 0, -std::sin(b), 0, 1, 0, std::sin(b), 0, std::cos(b)};
    const double rx[9] = {1, 0, 0, 0, std::cos(e), std::sin(e), 0, -std::sin(e), std::cos(e)};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k) s += rx[3 * i + k] * ry[3 * k + j];
            r[3 * i + j] = s;
        }
    }
}

class DerivedRays : public TraceTest {
protected:
    void SetUp() override {
        TraceTest::SetUp();
        install_derived_rays();
    }
};

// A singlet with a conic back surface tilted and decentred, then a plane image; the object
// surface itself tilted in the finite case, so that the object-surface normal enters the
// object derivatives.
class DerivativeLens : public DerivedRays {
protected:
    Medium glass_{1.6};
    DecentreRecord tilt_{};
    DecentreRecord object_tilt_{};

    void build(double object_distance, bool tilted_object) {
        curvature(1, 1.0 / 35.0);
        thickness(1, 6.0);
        curvature(2, -1.0 / 50.0);
        thickness(2, 60.0);
        make_lens(2, object_distance);
        surface(1).index = glass_.data();
        surface(2).conic = -0.7;
        compound_rotation(2.0 * M_PI / 180.0, -3.0 * M_PI / 180.0, tilt_.rotation);
        tilt_.rotation_kind = 2;
        tilt_.tilt_mode = 1;
        tilt_.dcx = 0.3;
        tilt_.dcy = -0.2;
        surface(2).decentre = &tilt_;
        if (tilted_object) {
            const double a = 10.0 * M_PI / 180.0;
            const double r[9] = {1,          0, 0, 0, std::cos(a), std::sin(a), 0, -std::sin(a),
                                 std::cos(a)};
            for (int i = 0; i < 9; ++i) object_tilt_.rotation[i] = r[i];
            object_tilt_.rotation_kind = 1;
            object_tilt_.tilt_mode = 1;
            surface(0).decentre = &object_tilt_;
        }
        LensData& lens = lens_data();
        lens.object_height = object_distance >= kInfiniteDistance ? -object_distance * 0.2 : 12.0;
        lens.axial_start_height = 7.0;
        lens.chief_start_height = -3.0;
        lens.epxy = 1;
        lens.reference_surface = 1;
    }

    void trace_with(int differential, RayRecord& ray) {
        lens_data().differential_trace = static_cast<std::uint8_t>(differential);
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0);
    }
};

// The differential trace and the auxiliary rays give the derivatives that central differences
// of plainly traced rays give, for the ray's pupil derivatives (plain and reference rays) and
// for the reference ray's four derivative records.
TEST_F(DerivativeLens, DifferentialAndAuxiliaryDerivativesMatchCentralDifferences) {
    struct Case {
        const char* name;
        double object_distance;
        bool tilted_object;
    };
    const Case cases[] = {{"finite object", 80.0, false},
                          {"tilted finite object", 80.0, true},
                          {"object at infinity", kInfiniteDistance, false}};
    const double ox = 0.3, oy = 0.7, px = 0.4, py = -0.5;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        build(c.object_distance, c.tilted_object);
        const RayDerivative pa = central(ox, oy, px, py, 2, 1e-4);
        const RayDerivative pb = central(ox, oy, px, py, 3, 1e-4);
        const RayDerivative objx = central(ox, oy, px, py, 0, 1e-4);
        const RayDerivative objy = central(ox, oy, px, py, 1, 1e-4);
        for (const int method : {1, 0}) {
            SCOPED_TRACE(method == 1 ? "differential" : "auxiliary");
            RayRecord plain = make_ray(kRayPlain, ox, oy, px, py);
            trace_with(method, plain);
            // The auxiliary rays take forward differences with steps of 1e-6 and more.
            const double tol = method == 1 ? 1e-6 : 2e-4;
            EXPECT_NEAR(plain.dx, pa.dx, tol);
            EXPECT_NEAR(plain.dy, pa.dy, tol);
            EXPECT_NEAR(plain.dz, pb.dx, tol);
            EXPECT_NEAR(plain.dtan_x, pb.dy, tol);

            RayRecord& ref = reference_ray().ray;
            ref = make_ray(kRayReference, ox, oy, px, py);
            trace_with(method, ref);
            const RayDerivative* d = reference_ray().derivatives;
            expect_near(d[kDerivPupilX], pa, tol, tol * 1e-2, "pupil x");
            expect_near(d[kDerivPupilY], pb, tol, tol * 1e-2, "pupil y");
            expect_near(d[kDerivObjectX], objx, tol, tol * 1e-2, "object x");
            expect_near(d[kDerivObjectY], objy, tol, tol * 1e-2, "object y");
        }
        surface(0).decentre = nullptr;
    }
}

// One refracting sphere, an oblique meridional ray from a point object: the sagittal and
// tangential foci along the refracted ray follow Coddington's equations
//   n'/s' - n/s = (n' cos I' - n cos I) / R,  n' cos^2 I' / t' - n cos^2 I / t = the same,
// with s = t the signed distance from the object point to the point of incidence (negative
// for a real object). The traced focus distances are axial distances from the ray's end point.
TEST_F(DerivedRays, FocusDistancesOfAnObliqueRayFollowCoddington) {
    const double R = 40.0, n = 1.0, n1 = 1.5, back = 90.0, dist = 150.0, height = 10.0;
    const double epr = 6.0, p1 = -4.0;
    Medium glass(n1);
    curvature(1, 1.0 / R);
    thickness(1, back);
    make_lens(1, dist);
    surface(1).index = glass.data();
    LensData& lens = lens_data();
    lens.object_height = height;
    lens.axial_start_height = epr;
    lens.chief_start_height = p1;
    lens.epxy = 1;
    const double oy = -1.0, py = 0.8;

    // The ray by the vector law: from the object point through its start point on the plane
    // of surface 1 (vertex at the origin).
    const Vec obj{0.0, height * oy, -dist};
    const Vec start{0.0, p1 * oy + epr * py, 0.0};
    const Vec d0 = unit(add(start, obj, -1.0));
    const Vec p = add(start, d0, sphere_distance(start, d0, 0.0, R));
    const Vec normal = sphere_normal(p, 0.0, R);
    const Vec d1 = refract(d0, normal, n, n1);
    const double cos_i = dot(d0, normal), cos_r = dot(d1, normal);
    const Vec op = add(p, obj, -1.0);
    const double s = -std::sqrt(dot(op, op));
    const double power = (n1 * cos_r - n * cos_i) / R;
    const double s1 = n1 / (power + n / s);
    const double t1 = n1 * cos_r * cos_r / (power + n * cos_i * cos_i / s);
    const double sagittal = p[2] + s1 * d1[2] - back;
    const double tangential = p[2] + t1 * d1[2] - back;

    for (const int method : {1, 0}) {
        SCOPED_TRACE(method == 1 ? "differential" : "auxiliary");
        lens.differential_trace = static_cast<std::uint8_t>(method);
        RayRecord ray = make_ray(kRayPlain, 0.0, oy, 0.0, py);
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0);
        const double tol = method == 1 ? 1e-9 : 1e-4;
        EXPECT_NEAR(ray.dtan_y, sagittal, tol * std::fabs(sagittal));
        EXPECT_NEAR(ray.sphere_path, tangential, tol * std::fabs(tangential));
    }
    // The two foci differ for an oblique ray (astigmatism): the check is not a single number.
    EXPECT_GT(std::fabs(sagittal - tangential), 1.0);
}

// An afocal lens gives vergences in dioptres: one refracting sphere focusing a parallel beam
// n' R / (n' - n) = 500 units behind it (lens unit 1 mm) gives 1000 / 500 = 2.
TEST_F(DerivedRays, AnAfocalLensGivesItsFocusDistancesInDioptres) {
    const double n1 = 1.5, R = 500.0 * (n1 - 1.0) / n1;
    Medium glass(n1);
    curvature(1, 1.0 / R);
    thickness(1, 120.0);
    make_lens(1, kInfiniteDistance);
    surface(1).index = glass.data();
    surface(2).index = glass.data();
    LensData& lens = lens_data();
    lens.units = 1.0;
    lens.afocal = 1;
    lens.object_height = 0.0;
    lens.axial_start_height = 0.01;  // paraxial: the focus is n' R / (n' - n) to 1e-9
    lens.chief_start_height = 0.0;
    lens.epxy = 1;
    for (const int method : {1, 0}) {
        SCOPED_TRACE(method == 1 ? "differential" : "auxiliary");
        lens.differential_trace = static_cast<std::uint8_t>(method);
        RayRecord ray = make_ray(kRayPlain, 0.0, 0.0, 0.3, 0.4);
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0);
        EXPECT_NEAR(ray.dtan_y, 2.0, 1e-6);
        EXPECT_NEAR(ray.sphere_path, 2.0, 1e-6);
    }
}

// Plates only: the neighbours of a ray near the axis cross where the plate formula puts the
// object's image, T (1 - 1/n) nearer than the object itself (a virtual focus, before the end
// point).
TEST_F(DerivedRays, APlateImagesTheObjectWhereThePlateFormulaPutsIt) {
    const double n = 1.7, plate = 8.0, back = 30.0, dist = 100.0;
    Medium glass(n);
    curvature(1, 0.0);
    thickness(1, plate);
    curvature(2, 0.0);
    thickness(2, back);
    make_lens(2, dist);
    surface(1).index = glass.data();
    LensData& lens = lens_data();
    lens.object_height = 10.0;
    lens.axial_start_height = 5.0;
    lens.chief_start_height = 0.0;
    lens.epxy = 1;
    const double image_of_object = -dist + plate * (1.0 - 1.0 / n);
    const double expected = image_of_object - (plate + back);
    for (const int method : {1, 0}) {
        SCOPED_TRACE(method == 1 ? "differential" : "auxiliary");
        lens.differential_trace = static_cast<std::uint8_t>(method);
        RayRecord ray = make_ray(kRayPlain, 0.0, 0.0, 1e-3, 2e-3);
        trace_ray(ray);
        ASSERT_EQ(ray.failure, 0);
        EXPECT_NEAR(ray.dtan_y, expected, 1e-5);
        EXPECT_NEAR(ray.sphere_path, expected, 1e-5);
    }
}

// A singlet with a plane stop of radius 4 behind it: a fractional ray meets the stop at its
// fractions of the radius, goes on to the image, and the lens is as it was.
class FractionalRays : public DerivedRays {
protected:
    Medium glass_{1.55};
    static constexpr double kStopRadius = 4.0;

    void SetUp() override {
        DerivedRays::SetUp();
        curvature(1, 1.0 / 30.0);
        thickness(1, 5.0);
        curvature(2, -1.0 / 80.0);
        thickness(2, 10.0);
        curvature(3, 0.0);
        thickness(3, 40.0);
        make_lens(3, 100.0);
        surface(1).index = glass_.data();
        surface(3).aperture_radius = kStopRadius;
        LensData& lens = lens_data();
        lens.object_height = 10.0;
        lens.axial_start_height = 5.0;
        lens.chief_start_height = -2.0;
        lens.epxy = 1;
        lens.reference_surface = 3;
    }
};

TEST_F(FractionalRays, TheRayMeetsTheReferenceSurfaceAtItsFractions) {
    struct Case {
        double ox, oy, a, b, start_a, start_b;
    };
    const Case cases[] = {{0, 0, 0.5, 0.25, 0, 0},
                          {0.2, 0.8, -0.6, 0.7, 0, 0},
                          {0, 1, 0.0, -1.0, 0.3, 0.3}};  // with a start guess
    for (const int method : {1, 0}) {
        lens_data().differential_trace = static_cast<std::uint8_t>(method);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << (method ? "differential " : "auxiliary ") << c.oy
                                            << " " << c.a << " " << c.b);
            RayRecord ray = make_ray(kRayFractional, c.ox, c.oy, c.a, c.b);
            trace_fractional_ray(ray, kRayFractional, c.start_a, c.start_b, 0, nullptr);
            ASSERT_EQ(ray.failure, 0);
            EXPECT_EQ(ray.surface, 3);
            EXPECT_NEAR(ray.x, c.a * kStopRadius, 1e-8);
            EXPECT_NEAR(ray.y, c.b * kStopRadius, 1e-8);
            EXPECT_EQ(ray.aim_pup_x, c.a);
            EXPECT_EQ(ray.aim_pup_y, c.b);
            // The pupil fractions found, traced plainly, meet the stop at the same point.
            RayRecord check = make_ray(kRayPlain, c.ox, c.oy, ray.pup_x, ray.pup_y);
            setup_ray_at_object(check, nullptr);
            trace_to_surface(check, 3);
            EXPECT_NEAR(check.x, c.a * kStopRadius, 1e-8);
            EXPECT_NEAR(check.y, c.b * kStopRadius, 1e-8);
            EXPECT_EQ(lens_data().image_surface, 4);
            EXPECT_EQ(surface(3).thickness, 40.0);
        }
    }
}

// A ray that cannot reach its point (the first surface is missed) keeps the wanted fractions,
// zero intercepts and zero focus distances, and the lens is as it was.
TEST_F(FractionalRays, AnUnreachablePointFailsAndLeavesTheLensAsItWas) {
    curvature(1, 1.0 / 3.0);  // a sphere of radius 3 cannot pass a beam of radius 5
    RayRecord ray = make_ray(kRayFractional, 0.0, 0.0, 0.0, 1.0);
    trace_fractional_ray(ray, kRayFractional, 0.0, 0.9, 0, nullptr);
    EXPECT_EQ(ray.failure, kRayFailMissed);
    EXPECT_EQ(ray.x, 0.0);
    EXPECT_EQ(ray.y, 0.0);
    EXPECT_EQ(ray.dtan_y, 0.0);
    EXPECT_EQ(ray.sphere_path, 0.0);
    EXPECT_EQ(ray.pup_x, 0.0);
    EXPECT_EQ(ray.pup_y, 1.0);
    EXPECT_EQ(lens_data().image_surface, 4);
    EXPECT_EQ(surface(3).thickness, 40.0);
    EXPECT_EQ(lens_data().wide_angle, 0);
}

// With a reference ray given, a ray predicted on one side of it but found on the other by more
// than 5 % of the aperture in both quantities is marked with failure code 1.
TEST_F(FractionalRays, ARayOnTheWrongSideOfTheReferenceIsMarked) {
    RayRecord ref = make_ray(kRayFractional, 0.0, 0.0, 0.0, 0.0);
    trace_fractional_ray(ref, kRayFractional, 0.0, 0.0, 0, nullptr);
    ASSERT_EQ(ref.failure, 0);
    RayRecord ray = make_ray(kRayFractional, 0.0, 0.0, 0.0, 0.5);
    trace_fractional_ray(ray, kRayFractional, 0.0, 0.0, 0, &ref);
    ASSERT_EQ(ray.failure, 0);
    EXPECT_NEAR(ray.y, 0.5 * kStopRadius, 1e-8);
    // The same reference with its y derivative turned round predicts the other side.
    ref.dtan_x = -ref.dtan_x;
    RayRecord crossed = make_ray(kRayFractional, 0.0, 0.0, 0.0, 0.5);
    trace_fractional_ray(crossed, kRayFractional, 0.0, 0.0, 0, &ref);
    EXPECT_EQ(crossed.failure, 1);
    EXPECT_EQ(crossed.pup_y, 0.5);
}

}  // namespace
}  // namespace trace_test

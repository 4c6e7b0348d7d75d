// Sag and normal of every surface shape and asphere kind against the surface formula written
// out here, the normal against central differences of that formula; and the rim and edge
// behaviour of spheres, conics and splines.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/trace/geometry/geometry_fixture.h"

namespace geometry_test {
namespace {

constexpr double kSagTolerance = 1e-12;
constexpr double kNormalTolerance = 1e-7;
constexpr int kS = 1;  // the surface the cases are built on

using SagFn = std::function<double(double, double)>;

struct SagCase {
    std::string name;
    std::function<void()> setup;
    SagFn z;  // the surface formula
    std::vector<std::array<double, 2>> points;
};

class SagNormal : public GeometryTest {
protected:
    void SetUp() override {
        GeometryTest::SetUp();
        make_lens(1, 100.0);
    }
    void check(const SagCase& c) {
        SCOPED_TRACE(c.name);
        c.setup();
        for (const auto& p : c.points) {
            SCOPED_TRACE(::testing::Message() << "x " << p[0] << " y " << p[1]);
            SagPoint out{};
            out.beyond_edge = 7;
            surface_sag_normal(surface(kS), p[0], p[1], out);
            EXPECT_EQ(out.beyond_edge, 0);
            EXPECT_EQ(out.x, p[0]);
            EXPECT_EQ(out.y, p[1]);
            EXPECT_NEAR(out.z, c.z(p[0], p[1]), kSagTolerance * (1.0 + std::fabs(out.z)));
            const auto n = difference_normal(c.z, p[0], p[1]);
            EXPECT_NEAR(out.nx, n[0], kNormalTolerance);
            EXPECT_NEAR(out.ny, n[1], kNormalTolerance);
            EXPECT_NEAR(out.nz, n[2], kNormalTolerance);
        }
    }
};

// Swept surface: a profile f in one transverse coordinate turned about an axis at distance
// 1/c_sweep, measured across the other coordinate u.
double swept(double f, double u, double c_sweep) {
    const double r = 1.0 / c_sweep;
    const double q = (r - f) * (r - f) - u * u;
    return r - (r > f ? 1.0 : -1.0) * std::sqrt(q);
}

const std::vector<std::array<double, 2>> kPoints = {
    {0.7, 0.3}, {-2.5, 1.5}, {3.0, -4.0}, {-1.2, -6.5}, {5.5, 0.4}};

TEST_F(SagNormal, EveryShapeAndAsphereKindFollowsItsFormula) {
    const double cv = 0.02, cc = -0.6;
    auto r2 = [](double x, double y) { return x * x + y * y; };
    const std::vector<SagCase> cases = {
        {"plane", [&] { base(kS, kShapePlane, 0, 0); }, [](double, double) { return 0.0; },
         kPoints},
        {"sphere", [&] { base(kS, kShapeSphere, cv, 0); },
         [&](double x, double y) { return 50.0 - std::sqrt(2500.0 - r2(x, y)); }, kPoints},
        {"conic", [&] { base(kS, kShapeConic, cv, cc); },
         [&](double x, double y) { return conic_sag(cv, cc, r2(x, y)); }, kPoints},
        {"kind 0: AD and AE terms",
         [&] {
             base(kS, kShapeAsphere, cv, cc);
             asphere(kS, kAsphereEven, {0, 0, 1e-5, -2e-8, 0, 0});
         },
         [&](double x, double y) {
             const double s = r2(x, y);
             return conic_sag(cv, cc, s) + 1e-5 * s * s - 2e-8 * s * s * s;
         },
         kPoints},
        {"kind 1: series in r^2 from the constant on",
         [&] {
             base(kS, kShapeAsphere, cv, cc);
             asphere(kS, kAsphereSeries, {0.01, 0.001, 1e-5, 3e-8});
         },
         [&](double x, double y) {
             const double s = r2(x, y);
             return conic_sag(cv, cc, s) + 0.01 + 0.001 * s + 1e-5 * s * s + 3e-8 * s * s * s;
         },
         kPoints},
        {"kind 9: prepared like kind 1",
         [&] {
             base(kS, kShapeAsphere, -cv, 0);
             asphere(kS, kAsphereZernike, {0, 0.002, -4e-6});
         },
         [&](double x, double y) {
             const double s = r2(x, y);
             return conic_sag(-cv, 0, s) + 0.002 * s - 4e-6 * s * s;
         },
         kPoints},
        {"kind 11: series in r",
         [&] {
             base(kS, kShapeAsphere, cv, cc);
             asphere(kS, kAsphereRadial, {0.0, 0.002, 0.0005, 1e-5});
         },
         [&](double x, double y) {
             const double r = std::sqrt(r2(x, y));
             return conic_sag(cv, cc, r * r) + 0.002 * r + 0.0005 * r * r + 1e-5 * r * r * r;
         },
         kPoints},
        {"kind 3: odd series from r^3",
         [&] {
             base(kS, kShapeAsphere, cv, cc);
             asphere(kS, kAsphereOdd, {1e-4, -2e-6, 3e-8});
         },
         [&](double x, double y) {
             const double r = std::sqrt(r2(x, y));
             return conic_sag(cv, cc, r * r) + 1e-4 * std::pow(r, 3) - 2e-6 * std::pow(r, 4) +
                    3e-8 * std::pow(r, 5);
         },
         kPoints},
        {"kind 7: cone",
         [&] {
             base(kS, kShapeSpecialBase, 0, 0);
             asphere(kS, kAsphereCone, {0.1, 1e-3, 1e-5});
         },
         [&](double x, double y) {
             const double r = std::sqrt(r2(x, y));
             return 0.1 * r + 1e-3 * std::pow(r, 3) + 1e-5 * std::pow(r, 4);
         },
         kPoints},
        {"kind 8: elliptical cone with pairs",
         [&] {
             base(kS, kShapeSpecialBase, 0, 0);
             asphere(kS, kAsphereEllipticCone, {0.2, 2.0, 3.0, 1e-4, 2e-4, 1e-6, -3e-6});
         },
         [&](double x, double y) {
             const double ax = std::fabs(x), ay = std::fabs(y);
             return 0.2 * std::sqrt(x * x / 4.0 + y * y / 9.0) + 1e-4 * std::pow(ax, 3) +
                    2e-4 * std::pow(ay, 3) + 1e-6 * std::pow(ax, 4) - 3e-6 * std::pow(ay, 4);
         },
         kPoints},
        {"kind 6: biconic with pairs (odd count skips the first)",
         [&] {
             base(kS, kShapeSpecialBase, cv, -0.3, 0.01, 0.5);
             asphere(kS, kAsphereBiconic, {99.0, 1e-4, 2e-4, 1e-6, -1e-6});
         },
         [&](double x, double y) {
             const double w = 0.01 * x * x + cv * y * y;
             const double q = 1.0 - 1.5 * 0.01 * 0.01 * x * x - 0.7 * cv * cv * y * y;
             const double ax = std::fabs(x), ay = std::fabs(y);
             return w / (1.0 + std::sqrt(q)) + 1e-4 * std::pow(ax, 3) + 2e-4 * std::pow(ay, 3) +
                    1e-6 * std::pow(ax, 4) - 1e-6 * std::pow(ay, 4);
         },
         kPoints},
        {"kind 101: the surface rays meet",
         [&] {
             base(kS, kShapeSpecialBase, cv, -0.3, 0.01, 0.5);
             asphere(kS, kAsphereBiconicPairs, {0.0, 0.001, 2e-6}, kAsphereSeries);
         },
         [&](double x, double y) {
             const double s = r2(x, y);
             auto bic = [&](double u, double v) {
                 const double w = 0.01 * u * u + cv * v * v;
                 const double q = 1.0 - 1.5 * 0.01 * 0.01 * u * u - 0.7 * cv * cv * v * v;
                 return w / (1.0 + std::sqrt(q));
             };
             const double u = (x - y) / std::sqrt(2.0), v = (x + y) / std::sqrt(2.0);
             return 0.001 * s + 2e-6 * s * s + 0.5 * bic(u, v) + 0.5 * bic(x, y);
         },
         kPoints},
        {"kind 2: XY polynomial alone, curvature ignored",
         [&] {
             base(kS, kShapeAsphere, 0.05, 0);
             asphere(kS, kAsphereXy, {0.1, 0.01, -0.02, 0.001, 0.002, -0.003, 1e-5, 0, 2e-5, 0});
         },
         [&](double x, double y) {
             return 0.1 + 0.01 * x - 0.02 * y + 0.001 * x * x + 0.002 * x * y - 0.003 * y * y +
                    1e-5 * x * x * x + 2e-5 * x * y * y;
         },
         kPoints},
        {"kind 10: XY polynomial on the base conic",
         [&] {
             base(kS, kShapeAsphere, cv, cc);
             asphere(kS, kAsphereZernikeXy, {0.0, 0.0, 0.0, 0.001, 0.002, -0.003});
         },
         [&](double x, double y) {
             return conic_sag(cv, cc, r2(x, y)) + 0.001 * x * x + 0.002 * x * y - 0.003 * y * y;
         },
         kPoints},
        {"kind 12: XY polynomial in |x| and |y|",
         [&] {
             base(kS, kShapeAsphere, 0.05, 0);
             asphere(kS, kAsphereAbsXy, {0.0, 0.01, -0.02, 0.001, 0.002, -0.003});
         },
         [&](double x, double y) {
             const double u = std::fabs(x), v = std::fabs(y);
             return 0.01 * u - 0.02 * v + 0.001 * u * u + 0.002 * u * v - 0.003 * v * v;
         },
         kPoints},
        {"cylinder curved in y", [&] { base(kS, kShapeCylinder, 0.03, -0.4, 0.0, 0.0, 1); },
         [&](double, double y) { return conic_sag(0.03, -0.4, y * y); }, kPoints},
        {"kind 5: cylinder with a y profile",
         [&] {
             base(kS, kShapeCylinder, 0.03, 0.0, 0.0, 0.0, 1);
             asphere(kS, kAsphereToricY, {1e-4, 1e-6});
         },
         [&](double, double y) {
             const double v = std::fabs(y);
             return conic_sag(0.03, 0.0, y * y) + 1e-4 * std::pow(v, 3) + 1e-6 * std::pow(v, 4);
         },
         kPoints},
        {"toroid: conic profile in y swept with the x-curvature",
         [&] { base(kS, kShapeToroid, 0.05, -0.5, -0.02, 0.0, 1); },
         [&](double x, double y) { return swept(conic_sag(0.05, -0.5, y * y), x, -0.02); },
         kPoints},
        {"kind 4: profile in x swept with the curvature",
         [&] {
             base(kS, kShapeToroid, 0.01, 0.0, 0.04, 0.0, 2);
             asphere(kS, kAsphereToricX, {1e-5, -2e-7});
         },
         [&](double x, double y) {
             const double u = std::fabs(x);
             const double f =
                 conic_sag(0.04, 0.0, x * x) + 1e-5 * std::pow(u, 3) - 2e-7 * std::pow(u, 4);
             return swept(f, y, 0.01);
         },
         kPoints},
    };
    for (const SagCase& c : cases) check(c);
}

TEST_F(SagNormal, SplineFollowsTheCubicThroughItsKnots) {
    // A cubic profile is reproduced exactly by knots carrying its values and derivatives.
    auto f = [](double r) { return 0.01 * r * r + 2e-4 * r * r * r; };
    auto df = [](double r) { return 0.02 * r + 6e-4 * r * r; };
    auto d2f = [](double r) { return 0.02 + 1.2e-3 * r; };
    base(kS, kShapeSpline, 0.02, 0);
    spline(kS, {0.0, 2.0, 4.5, 7.0}, f, df, d2f);
    const SagCase c{"spline", [] {},
                    [&](double x, double y) { return f(std::sqrt(x * x + y * y)); }, kPoints};
    check(c);

    // A radius equal to an inner knot takes the interval to its right: a broken left interval
    // does not matter there.
    splines_[kS].sag[0] = 1e3;
    SagPoint out{};
    surface_sag_normal(surface(kS), 2.0, 0.0, out);
    EXPECT_NEAR(out.z, f(2.0), kSagTolerance);
    splines_[kS].sag[0] = 0.0;

    // Beyond the last knot: the last knot's sag, an axial normal and the beyond-edge flag.
    for (const auto& p : {std::array<double, 2>{7.5, 0.0}, {-6.0, 6.0}}) {
        SagPoint b{};
        surface_sag_normal(surface(kS), p[0], p[1], b);
        EXPECT_EQ(b.beyond_edge, 1);
        EXPECT_NEAR(b.z, f(7.0), kSagTolerance);
        EXPECT_EQ(b.nx, 0.0);
        EXPECT_EQ(b.ny, 0.0);
        EXPECT_EQ(b.nz, 1.0);
    }
    // An interval without width still gives defined values.
    splines_[kS].radius[3] = splines_[kS].radius[2];
    SagPoint b{};
    b.z = NAN;
    b.nx = NAN;
    surface_sag_normal(surface(kS), 8.0, 0.0, b);
    EXPECT_EQ(b.beyond_edge, 1);
    EXPECT_TRUE(std::isfinite(b.z));
    EXPECT_EQ(b.nz, 1.0);
    EXPECT_EQ(b.nx, 0.0);
}

TEST_F(SagNormal, FresnelSagIsTheSubstrateNormalTheOpticalSurface) {
    base(kS, kShapeAsphere, 0.05, -0.5);
    asphere(kS, kAsphereEven, {0, 0, 2e-5});
    surface(kS).fresnel = 1;
    surface(kS).fresnel_curvature = 0.01;
    surface(kS).fresnel_conic = 0.0;
    const SagFn optical = [](double x, double y) {
        const double s = x * x + y * y;
        return conic_sag(0.05, -0.5, s) + 2e-5 * s * s;
    };
    for (const auto& p : kPoints) {
        SagPoint out{};
        surface_sag_normal(surface(kS), p[0], p[1], out);
        EXPECT_NEAR(out.z, conic_sag(0.01, 0.0, p[0] * p[0] + p[1] * p[1]), kSagTolerance);
        const auto n = difference_normal(optical, p[0], p[1]);
        EXPECT_NEAR(out.nx, n[0], kNormalTolerance);
        EXPECT_NEAR(out.ny, n[1], kNormalTolerance);
        EXPECT_NEAR(out.nz, n[2], kNormalTolerance);
    }
}

TEST_F(SagNormal, RimsOfSpheresAndConics) {
    // c rho = 1 exactly: the hemisphere's rim, still on the surface.
    base(kS, kShapeSphere, 0.5, 0);
    SagPoint out{};
    surface_sag_normal(surface(kS), 2.0, 0.0, out);
    EXPECT_EQ(out.beyond_edge, 0);
    EXPECT_DOUBLE_EQ(out.z, 2.0);
    EXPECT_DOUBLE_EQ(out.nx, -1.0);
    EXPECT_EQ(out.nz, 0.0);
    surface_sag_normal(surface(kS), 2.0 + 1e-9, 0.0, out);
    EXPECT_EQ(out.beyond_edge, 1);
    EXPECT_EQ(out.z, 2.0);
    EXPECT_EQ(out.nz, 1.0);
    // A conic past its root gives the rim sag 1/((1 + k) c) without the flag.
    base(kS, kShapeConic, 0.5, 0.44);
    surface_sag_normal(surface(kS), 3.0, 0.0, out);
    EXPECT_EQ(out.beyond_edge, 0);
    EXPECT_DOUBLE_EQ(out.z, 1.0 / (1.44 * 0.5));
    // A single working coefficient of the polynomial kinds is a constant sag.
    for (int kind : {kAsphereEven, kAsphereSeries, kAsphereZernike, kAsphereRadial}) {
        base(kS, kShapeAsphere, 0.0, 0.0);
        asphere(kS, kind, {0.25});
        surface_sag_normal(surface(kS), 1.5, -2.0, out);
        EXPECT_EQ(out.z, 0.25) << kind;
        EXPECT_EQ(out.nz, 1.0) << kind;
    }
    // A toroid at (x, 0) is the circle of the sweeping curvature.
    base(kS, kShapeToroid, 0.1, 0.0, 0.05, 0.0, 1);
    surface_sag_normal(surface(kS), 6.0, 0.0, out);
    EXPECT_NEAR(out.z, 20.0 - std::sqrt(400.0 - 36.0), kSagTolerance);
}

}  // namespace
}  // namespace geometry_test

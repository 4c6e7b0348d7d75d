// The trace fixture with storage for the special-data records the geometry tests hang on
// surfaces (asphere, spline, decentre and coordinate records, special apertures); the tests own
// them, so they are taken off the surfaces before the lens is freed.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "tests/trace/trace_fixture.h"
#include "trace/sag_point.h"
#include "trace/surface_profile.h"
#include "trace/surface_sag.h"

namespace geometry_test {

using trace_test::Medium;

struct OwnedAsphere {
    AsphereRecord record{};
    std::array<double, 40> coefficients{};
};

struct OwnedSpline {
    SplineRecord record{};
    std::vector<double> radius, slope, second, sag;
};

class GeometryTest : public trace_test::TraceTest {
protected:
    void TearDown() override {
        for (int n = 0; n <= surface_limit(); ++n) {
            SurfaceRecord& s = surface(n);
            s.spline = nullptr;
            s.return_coordinates = nullptr;
            s.decentre_reference = nullptr;
        }
        trace_test::TraceTest::TearDown();
    }

    // Shape, curvatures and conics of surface n; its asphere, spline and Fresnel data cleared.
    static void base(int n, std::uint16_t shape, double cv, double cc, double cvx = 0.0,
                     double ccx = 0.0, std::uint8_t toric = 0) {
        SurfaceRecord& s = surface(n);
        s.shape = shape;
        s.curvature = cv;
        s.conic = cc;
        s.x_curvature = cvx;
        s.x_conic = ccx;
        s.toric = toric;
        s.asphere = nullptr;
        s.spline = nullptr;
        s.fresnel = 0;
        s.fresnel_curvature = 0.0;
    }

    // An asphere record of the given kind and working coefficients on surface n.
    AsphereRecord& asphere(int n, int kind, std::vector<double> c, std::uint16_t sub_kind = 0) {
        OwnedAsphere& a = aspheres_[n];
        a.coefficients.fill(0.0);
        for (std::size_t i = 0; i < c.size(); ++i) a.coefficients[i] = c[i];
        a.record = AsphereRecord{};
        a.record.kind = static_cast<std::uint8_t>(kind);
        a.record.sub_kind = sub_kind;
        a.record.working_count = static_cast<std::int16_t>(c.size());
        a.record.entered_count = a.record.working_count;
        a.record.working = a.coefficients.data();
        surface(n).asphere = &a.record;
        return a.record;
    }

    // A spline record whose knot data are the values of profile f at the radii: slope f',
    // second derivative f'' and sag f (relative to f(r[0])).
    void spline(int n, std::vector<double> radii, const std::function<double(double)>& f,
                const std::function<double(double)>& df, const std::function<double(double)>& d2f) {
        OwnedSpline& sp = splines_[n];
        sp.radius = radii;
        sp.slope.clear();
        sp.second.clear();
        sp.sag.clear();
        for (double r : radii) {
            sp.slope.push_back(df(r));
            sp.second.push_back(d2f(r));
            sp.sag.push_back(f(r) - f(radii[0]));
        }
        sp.record = SplineRecord{};
        sp.record.count = static_cast<std::int32_t>(radii.size());
        sp.record.radius = sp.radius.data();
        sp.record.slope = sp.slope.data();
        sp.record.curvature_profile = sp.second.data();
        sp.record.sag_profile = sp.sag.data();
        surface(n).spline = &sp.record;
        surface(n).shape = kShapeSpline;
    }

    DecentreRecord& decentre(int n) {
        DecentreRecord& d = decentres_[n];
        d = DecentreRecord{};
        for (int i = 0; i < 3; ++i) d.rotation[4 * i] = 1.0;
        surface(n).decentre = &d;
        return d;
    }

    std::array<OwnedAsphere, 13> aspheres_{};
    std::array<OwnedSpline, 13> splines_{};
    std::array<DecentreRecord, 13> decentres_{};
};

// Central differences of a sag function: the unit normal (-dz/dx, -dz/dy, 1) normalised.
inline std::array<double, 3> difference_normal(const std::function<double(double, double)>& z,
                                               double x, double y) {
    constexpr double h = 1e-6;
    const double zx = (z(x + h, y) - z(x - h, y)) / (2 * h);
    const double zy = (z(x, y + h) - z(x, y - h)) / (2 * h);
    const double len = std::sqrt(zx * zx + zy * zy + 1.0);
    return {-zx / len, -zy / len, 1.0 / len};
}

// Conic sag of curvature c and conic constant k at squared radius s.
inline double conic_sag(double c, double k, double s) {
    return c * s / (1.0 + std::sqrt(1.0 - (1.0 + k) * c * c * s));
}

}  // namespace geometry_test

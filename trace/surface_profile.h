// The term-by-term pieces of a surface's sag that the point evaluator (surface_sag.cpp) and the
// Newton intersection (general_intersect.cpp) share, so that rays meet exactly the surface whose
// sag and normal the rest of the program reads. Inline: they sit in the innermost loops.
//
// Slopes are kept as the negated partial derivatives (nx = -dz/dx, ny = -dz/dy); g is the
// radial slope divided by the radius.
#pragma once

#include <cmath>
#include <cstdint>

#include "lens/lens_data.h"
#include "trace/trace_tolerances.h"

namespace surface_profile {

inline constexpr double kInverseSqrt2 = 0.70710678118654752440;

struct Terms {
    double a = 0.0;   // sag term
    double g = 0.0;   // radial slope over radius
    double nx = 0.0;  // -da/dx
    double ny = 0.0;  // -da/dy
};

inline int coefficient_count(const AsphereRecord& r) {
    return r.working != nullptr && r.working_count > 0 ? r.working_count : 0;
}

// Even, series and Zernike kinds: polynomial in s. Radial kind: polynomial in rho = sqrt(s).
// Odd kind: r^3 series. Cone: the polynomial terms from r^3 on. s is the radial argument of the
// base part, r = sqrt(x^2 + y^2) always. False for any other kind.
inline bool radial_terms(int kind, const double* c, int n, double s, double r, double x, double y,
                         Terms& t) {
    switch (kind) {
        case kAsphereEven:
        case kAsphereSeries:
        case kAsphereZernike: {
            double a = 0.0, g = 0.0;
            for (int k = n - 1; k >= 0; --k) a = a * s + c[k];
            for (int k = n - 1; k >= 1; --k) g = g * s + 2.0 * k * c[k];
            t.a = a;
            t.g = g;
            break;
        }
        case kAsphereRadial: {
            const double rho = std::sqrt(s);
            double a = 0.0;
            for (int k = n - 1; k >= 0; --k) a = a * rho + c[k];
            t.a = a;
            if (rho < kZeroDenominator) {
                t.a = n > 0 ? c[0] : 0.0;
                t.g = 0.0;
                t.nx = t.ny = 0.0;
                return true;
            }
            double d = 0.0;
            for (int k = n - 1; k >= 1; --k) d = d * rho + k * c[k];
            t.g = d / rho;
            break;
        }
        case kAsphereOdd: {
            double a = 0.0, g = 0.0;
            for (int k = n - 1; k >= 0; --k) {
                a = a * r + c[k];
                g = g * r + (k + 3) * c[k];
            }
            t.a = a * r * r * r;
            t.g = g * r;
            break;
        }
        case kAsphereCone: {
            double a = 0.0, g = 0.0;
            for (int k = n - 1; k >= 1; --k) {
                a = a * r + c[k];
                g = g * r + (k + 2) * c[k];
            }
            t.a = a * r * r * r;
            t.g = g * r;
            break;
        }
        default:
            return false;
    }
    t.nx = -t.g * x;
    t.ny = -t.g * y;
    return true;
}

// Sum of c[k] |u|^(k+3) and its derivative over u (slope factor times u): the toric aspheres.
inline void one_axis_terms(const double* c, int n, double u, double& a, double& g) {
    const double au = std::fabs(u);
    double sa = 0.0, sg = 0.0;
    for (int k = n - 1; k >= 0; --k) {
        sa = sa * au + c[k];
        sg = sg * au + (k + 3) * c[k];
    }
    a = sa * au * au * au;
    g = sg * au;
}

// Pairs (x term, y term) of powers 3, 4, 5, ... from c[first] on, as far as whole pairs reach.
inline void pair_terms(const double* c, int first, int n, double x, double y, Terms& t) {
    const double ax = std::fabs(x), ay = std::fabs(y);
    double px = ax * ax * ax, py = ay * ay * ay;  // |x|^(j+3)
    double qx = ax * ax, qy = ay * ay;            // |x|^(j+2)
    double dx = 0.0, dy = 0.0;
    for (int j = 0; first + 2 * j + 1 < n; ++j) {
        const double cx = c[first + 2 * j], cy = c[first + 2 * j + 1];
        t.a += cx * px + cy * py;
        dx += (j + 3) * cx * qx;
        dy += (j + 3) * cy * qy;
        px *= ax;
        py *= ay;
        qx *= ax;
        qy *= ay;
    }
    t.nx -= x < 0.0 ? -dx : dx;
    t.ny -= y < 0.0 ? -dy : dy;
}

// The XY polynomial: c[k] multiplies u^i v^j with k = (i+j)(i+j+1)/2 + j. With absolute set the
// polynomial is in |x| and |y| and each slope takes the sign of its coordinate.
inline constexpr int kMaxXyOrder = 255;

inline void xy_terms(const double* c, int n, double x, double y, bool absolute, Terms& t) {
    const double u = absolute ? std::fabs(x) : x;
    const double v = absolute ? std::fabs(y) : y;
    int order = 0;
    while ((order + 1) * (order + 2) / 2 < n && order < kMaxXyOrder) ++order;
    double pu[kMaxXyOrder + 1], pv[kMaxXyOrder + 1];
    pu[0] = pv[0] = 1.0;
    for (int i = 1; i <= order; ++i) {
        pu[i] = pu[i - 1] * u;
        pv[i] = pv[i - 1] * v;
    }
    double a = 0.0, du = 0.0, dv = 0.0;
    int k = 0;
    for (int p = 0; p <= order; ++p) {
        for (int j = 0; j <= p && k < n; ++j, ++k) {
            const double ck = c[k];
            if (ck == 0.0) continue;
            const int i = p - j;
            a += ck * pu[i] * pv[j];
            if (i >= 1) du += ck * i * pu[i - 1] * pv[j];
            if (j >= 1) dv += ck * j * pu[i] * pv[j - 1];
        }
    }
    t.a += a;
    if (absolute) {
        if (x < 0.0) du = -du;
        if (y < 0.0) dv = -dv;
    }
    t.nx -= du;
    t.ny -= dv;
}

// The biconic sag W / (1 + sqrt(Q)) with W = cx x^2 + cy y^2 and
// Q = 1 - (1 + kx) cx^2 x^2 - (1 + ky) cy^2 y^2, with its slopes added to t. False, and nothing
// added, when Q <= 0.
inline bool biconic_terms(double cx, double kx, double cy, double ky, double x, double y,
                          double weight, Terms& t) {
    const double p = (1.0 + kx) * cx, r = (1.0 + ky) * cy;
    const double q = 1.0 - p * cx * x * x - r * cy * y * y;
    if (!(q > 0.0)) return false;
    const double sq = std::sqrt(q);
    const double d = 1.0 + sq;
    const double w = cx * x * x + cy * y * y;
    t.a += weight * w / d;
    t.ny -= weight * (r * w / sq + 2.0 * d) * cy * y / (d * d);
    t.nx -= weight * (p * w / sq + 2.0 * d) * cx * x / (d * d);
    return true;
}

// The biconic-pairs surface that rays meet: the radial polynomial of the record's sub-kind, half
// of the biconic turned by 45 degrees about the axis, and half of the plain biconic (only where
// its root is real). cy, ky act along y, cx, kx along x. False when the point lies outside the
// turned biconic's domain.
inline bool biconic_pairs_terms(const AsphereRecord& rec, double cy, double ky, double cx,
                                double kx, double x, double y, Terms& t) {
    const double* c = rec.working;
    const int n = coefficient_count(rec);
    const double s = x * x + y * y;
    const double r = std::sqrt(s);
    Terms radial;
    switch (rec.sub_kind) {
        case kAsphereEven:
            if (n >= 6) {
                const double s2 = s * s;
                radial.a = s2 * (c[2] + s * (c[3] + s * (c[4] + s * c[5])));
                radial.g = s * (4.0 * c[2] + s * (6.0 * c[3] + s * (8.0 * c[4] + s * 10.0 * c[5])));
                radial.nx = -radial.g * x;
                radial.ny = -radial.g * y;
            }
            break;
        case kAsphereSeries:
        case kAsphereZernike:
        case kAsphereOdd:
        case kAsphereRadial:
            radial_terms(rec.sub_kind, c, n, s, r, x, y, radial);
            break;
        default:
            break;
    }
    t.a += radial.a;
    t.g += radial.g;
    t.nx += radial.nx;
    t.ny += radial.ny;
    // The turned biconic in u = (x - y)/sqrt 2 (along the former x) and v = (x + y)/sqrt 2.
    const double u = (x - y) * kInverseSqrt2, v = (x + y) * kInverseSqrt2;
    Terms turned;
    if (!biconic_terms(cx, kx, cy, ky, u, v, 0.5, turned)) return false;
    t.a += turned.a;
    // d/dx = (d/du + d/dv)/sqrt 2, d/dy = (-d/du + d/dv)/sqrt 2.
    t.nx += (turned.nx + turned.ny) * kInverseSqrt2;
    t.ny += (turned.ny - turned.nx) * kInverseSqrt2;
    biconic_terms(cx, kx, cy, ky, x, y, 0.5, t);
    return true;
}

// Spline profile at radius rho: 0 inside the knots; 1 beyond them (profile and slope of the
// last knot); -1 when the record cannot be evaluated (fewer than two knots or an interval
// without width), with the profile of the nearest knot and a zero slope.
inline int spline_terms(const SplineRecord& sp, double rho, double& b, double& slope) {
    const int n = sp.count;
    b = 0.0;
    slope = 0.0;
    if (n < 2 || sp.radius == nullptr || sp.slope == nullptr || sp.curvature_profile == nullptr ||
        sp.sag_profile == nullptr) {
        if (n >= 1 && sp.sag_profile != nullptr) b = sp.sag_profile[0];
        return -1;
    }
    const double* r = sp.radius;
    int i = 0;
    for (int j = n - 1; j >= 1; --j) {
        if (r[j - 1] <= rho && rho <= r[j]) {
            i = j;
            break;
        }
    }
    int result = 0;
    if (i == 0) {
        result = 1;
        rho = r[n - 1];
        i = n - 1;
    }
    const double h = r[i] - r[i - 1];
    const double* p = sp.slope;
    const double* m = sp.curvature_profile;
    const double* zk = sp.sag_profile;
    if (!(h > 0.0)) {
        b = zk[i - 1];
        return -1;
    }
    const double aa = r[i] - rho, bb = rho - r[i - 1];
    b = zk[i - 1] - h * h * m[i - 1] / 6.0 + (p[i] - h * m[i] / 2.0) * bb +
        (m[i - 1] * aa * aa * aa + m[i] * bb * bb * bb) / (6.0 * h);
    slope = p[i] - h * m[i] / 2.0 + (m[i] * bb * bb - m[i - 1] * aa * aa) / (2.0 * h);
    return result;
}

}  // namespace surface_profile

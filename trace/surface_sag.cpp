#include "trace/surface_sag.h"

#include <algorithm>
#include <cmath>

#include "lens/lens_data.h"
#include "trace/surface_profile.h"
#include "trace/trace_tolerances.h"

namespace {

using surface_profile::Terms;

void set_normal(SagPoint& out, double nx, double ny, double nz) {
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    out.nx = nx / len;
    out.ny = ny / len;
    out.nz = nz / len;
}

void set_axial(SagPoint& out, double z) {
    out.z = z;
    out.nx = 0.0;
    out.ny = 0.0;
    out.nz = 1.0;
}

// 1/d, or 0 when d is too small to divide by: the rim sag of a conic whose root has run out.
double rim_sag(double d) {
    return std::fabs(d) < kZeroDenominator ? 0.0 : 1.0 / d;
}

// The asphere part of the sag; false when it is a stand-alone XY polynomial (kAsphereXy,
// kAsphereAbsXy).
bool asphere_part(const SurfaceRecord& s, double x, double y, double sarg, Terms& t) {
    const AsphereRecord& rec = *s.asphere;
    const double* c = rec.working;
    const int n = surface_profile::coefficient_count(rec);
    const double r = std::sqrt(x * x + y * y);
    switch (rec.kind) {
        case kAsphereEven:
        case kAsphereSeries:
        case kAsphereZernike:
        case kAsphereRadial:
        case kAsphereOdd:
        case kAsphereCone:
            surface_profile::radial_terms(rec.kind, c, n, sarg, r, x, y, t);
            break;
        case kAsphereToricX:
            surface_profile::one_axis_terms(c, n, x, t.a, t.g);
            t.nx = -t.g * x;
            break;
        case kAsphereToricY:
            surface_profile::one_axis_terms(c, n, y, t.a, t.g);
            t.ny = -t.g * y;
            break;
        case kAsphereBiconic:
            if (n >= 2) surface_profile::pair_terms(c, n % 2, n, x, y, t);
            break;
        case kAsphereEllipticCone:
            if (n >= 4) surface_profile::pair_terms(c, 3, n, x, y, t);
            break;
        case kAsphereXy:
        case kAsphereZernikeXy:
            surface_profile::xy_terms(c, n, x, y, false, t);
            break;
        case kAsphereAbsXy:
            surface_profile::xy_terms(c, n, x, y, true, t);
            break;
        default:
            break;
    }
    return rec.kind != kAsphereXy && rec.kind != kAsphereAbsXy;
}

// Base conic of shapes below 8 (for 0 and 1 only on a Fresnel surface): profile in y, or in x
// on a surface whose toric axis byte is 2. Returns the base sag; slopes and g added to t.
double base_conic(const SurfaceRecord& s, double x, double y, double sarg, Terms& t) {
    const bool in_x = s.toric == 2;
    const double c = in_x ? s.x_curvature : s.curvature;
    const double k = in_x ? s.x_conic : s.conic;
    const double q = 1.0 - (1.0 + k) * c * c * sarg;
    if (q <= 0.0) return rim_sag((1.0 + k) * c);
    const double sq = std::sqrt(q);
    t.g += c / sq;
    if (s.shape == kShapeCylinder) {
        if (s.toric == 1) {
            t.nx = 0.0;
            t.ny -= c * y / sq;
        } else {
            t.ny = 0.0;
            t.nx -= c * x / sq;
        }
    } else if (c != 0.0) {
        t.nx -= c * x / sq;
        t.ny -= c * y / sq;
    }
    return c * sarg / (1.0 + sq);
}

// Base part of the special-base shape: biconic, cones. Returns the base sag; slopes added to t.
double special_base(const SurfaceRecord& s, double x, double y, Terms& t) {
    if (s.asphere == nullptr) return 0.0;
    const AsphereRecord& rec = *s.asphere;
    const double* c = rec.working;
    const int n = surface_profile::coefficient_count(rec);
    switch (rec.kind) {
        case kAsphereBiconic: {
            Terms b;
            if (surface_profile::biconic_terms(s.x_curvature, s.x_conic, s.curvature, s.conic, x, y,
                                               1.0, b)) {
                t.nx += b.nx;
                t.ny += b.ny;
                return b.a;
            }
            const double p = (1.0 + s.x_conic) * s.x_curvature;
            const double r = (1.0 + s.conic) * s.curvature;
            return rim_sag(std::max(p, r));
        }
        case kAsphereCone: {
            const double r = std::sqrt(x * x + y * y);
            if (r < kZeroDenominator || n < 1) return 0.0;
            t.nx -= c[0] * x / r;
            t.ny -= c[0] * y / r;
            return c[0] * r;
        }
        case kAsphereEllipticCone: {
            if (n < 3 || std::fabs(c[1]) < kZeroDenominator || std::fabs(c[2]) < kZeroDenominator) {
                return 0.0;
            }
            const double b = c[0] * std::sqrt(x * x / (c[1] * c[1]) + y * y / (c[2] * c[2]));
            if (std::fabs(b) > kZeroDenominator) {
                t.nx -= c[0] * c[0] * x / (c[1] * c[1] * b);
                t.ny -= c[0] * c[0] * y / (c[2] * c[2] * b);
            }
            return b;
        }
        default:
            return 0.0;
    }
}

// The optical surface swept about an axis at the distance of the other radius: a profile f in
// y swept with the x-curvature, or (toric axis byte 2) a profile in x swept with the curvature.
void sweep_toroid(const SurfaceRecord& s, double x, double y, double f, double g, double& z,
                  double& nx, double& ny) {
    const bool in_x = s.toric == 2;
    const double cs = in_x ? s.curvature : s.x_curvature;
    const double u = in_x ? y : x;
    const double tt = 2.0 * f + cs * (u * u - f * f);
    const double uu = 1.0 - cs * tt;
    if (uu <= 0.0) {
        z = rim_sag(cs);
        nx = ny = 0.0;
        return;
    }
    const double sq = std::sqrt(uu);
    z = tt / (1.0 + sq);
    const double along = -(1.0 - cs * f) * g / sq;
    if (in_x) {
        nx = along * x;
        ny = -cs * y / sq;
    } else {
        nx = -cs * x / sq;
        ny = along * y;
    }
}

}  // namespace

void surface_sag_normal(const SurfaceRecord& s, double x, double y, SagPoint& out) {
    out.x = x;
    out.y = y;
    out.beyond_edge = 0;
    const bool fresnel = s.fresnel != 0;
    if (s.shape == kShapePlane && !fresnel) {
        set_axial(out, 0.0);
        return;
    }
    const double rad2 = x * x + y * y;
    const bool toric_profile = s.shape == kShapeCylinder || s.shape == kShapeToroid;
    const double sarg = toric_profile ? (s.toric == 2 ? x * x : y * y) : rad2;

    if (s.shape == kShapeSphere && !fresnel) {
        const double c = s.curvature;
        const double q = 1.0 - c * c * sarg;
        if (q >= 0.0) {
            const double z = c * sarg / (1.0 + std::sqrt(q));
            out.z = z;
            out.nx = -c * x;
            out.ny = -c * y;
            out.nz = 1.0 - c * z;
            return;
        }
        out.beyond_edge = 1;
        set_axial(out, rim_sag(c));
        return;
    }

    Terms t;
    double nz = 1.0;
    bool beyond_axial = false;  // beyond the edge with an axial normal
    if (s.asphere != nullptr && s.shape > kShapeSphere && s.asphere->kind != kAsphereBiconicPairs) {
        if (!asphere_part(s, x, y, sarg, t)) {
            // A stand-alone XY polynomial: the base curvature does not enter its sag.
            const double len = std::sqrt(t.nx * t.nx + t.ny * t.ny + 1.0);
            if (!fresnel) {
                out.z = t.a;
                out.nx = t.nx / len;
                out.ny = t.ny / len;
                out.nz = 1.0 / len;
                return;
            }
            t.nx /= len;
            t.ny /= len;
            nz = 1.0 / len;
        }
    }

    double b = 0.0;
    if (s.shape < kShapeSpecialBase) {
        b = base_conic(s, x, y, sarg, t);
    } else if (s.shape == kShapeSpecialBase) {
        if (s.asphere != nullptr && s.asphere->kind == kAsphereBiconicPairs) {
            // The surface that rays meet (see the intersection), not a biconic with pairs.
            if (!surface_profile::biconic_pairs_terms(*s.asphere, s.curvature, s.conic,
                                                      s.x_curvature, s.x_conic, x, y, t)) {
                const double p = (1.0 + s.x_conic) * s.x_curvature;
                const double r = (1.0 + s.conic) * s.curvature;
                out.beyond_edge = 1;
                t = Terms{};
                t.a = rim_sag(std::max(p, r));
                beyond_axial = true;
            }
        } else {
            b = special_base(s, x, y, t);
        }
    } else if (s.shape == kShapeSpline && s.spline != nullptr) {
        const double rho = std::sqrt(rad2);
        double slope = 0.0;
        const int at = surface_profile::spline_terms(*s.spline, rho, b, slope);
        if (at != 0) {
            out.beyond_edge = 1;
            beyond_axial = true;
        } else if (rho > kZeroDenominator) {
            // The asphere's own slopes stay: the sag below adds its terms too.
            t.nx -= slope / rho * x;
            t.ny -= slope / rho * y;
        }
    }

    if (fresnel) {
        // The sag is the substrate's; the normal is the optical surface's.
        double z = 0.0;
        const double fc = s.fresnel_curvature;
        if (fc != 0.0) {
            const double k1 = (1.0 + s.fresnel_conic) * fc;
            const double q = 1.0 - k1 * fc * rad2;
            z = q < 0.0 ? rim_sag(k1) : fc * rad2 / (1.0 + std::sqrt(q));
        }
        out.z = z;
        if (beyond_axial) {
            set_axial(out, z);
        } else {
            set_normal(out, t.nx, t.ny, nz);
        }
        return;
    }

    double z = b + t.a;
    if (beyond_axial) {
        set_axial(out, z);
        return;
    }
    double nx = t.nx, ny = t.ny;
    if (s.shape == kShapeToroid) sweep_toroid(s, x, y, z, t.g, z, nx, ny);
    out.z = z;
    set_normal(out, nx, ny, nz);
}

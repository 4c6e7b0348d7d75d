#include "trace/general_intersect.h"

#include <cmath>

#include "lens/lens_data.h"
#include "trace/aperture_shapes.h"
#include "trace/ray_record.h"
#include "trace/sag_point.h"
#include "trace/surface_profile.h"
#include "trace/surface_sag.h"
#include "trace/trace_tolerances.h"

namespace {

using surface_profile::Terms;

constexpr int kMaxRetreats = 50;
constexpr double kRetreatFraction = 0.1;
constexpr int kMaxSearchTries = 50;
constexpr int kMaxWidenings = 50;
constexpr int kMaxWidenTries = 15;
constexpr double kWidenFactor = 1.6;
constexpr double kShrinkFactor = 0.625;
constexpr int kMaxRefinePasses = 100;

enum class Eval { kOk, kOutside, kFail };

// Analytic sag and negated slopes of the surfaces the Newton iteration handles in closed form.
Eval analytic_sag(const SurfaceRecord& s, double x, double y, double c, double c2, double kc,
                  double& z, double& nx, double& ny) {
    const AsphereRecord* asp = s.asphere;
    const int kind = asp != nullptr ? asp->kind : -1;
    const bool spline = s.shape == kShapeSpline && s.spline != nullptr;
    const double aa = (c + kc) * c;
    const double rad2 = x * x + y * y;
    double sarg = rad2;
    double sa;
    if (s.toric == 1) {
        sarg = y * y;
        sa = sarg * aa;
    } else if (s.toric == 2) {
        sarg = x * x;
        sa = sarg * aa;
    } else if (s.shape == kShapeSpecialBase && asp != nullptr && kind >= kAsphereCone &&
               kind <= kAsphereLastCone) {
        sarg = 0.0;
        sa = 0.0;
    } else if (s.shape == kShapeSpecialBase && kind == kAsphereBiconic) {
        sa = (1.0 + s.x_conic) * c2 * c2 * x * x + (1.0 + s.conic) * c * c * y * y;
    } else if (s.shape == kShapeSpecialBase && kind == kAsphereBiconicPairs) {
        const double p = x + y, m = x - y;
        sa = 0.5 * ((1.0 + s.conic) * c * c * p * p + (1.0 + s.x_conic) * c2 * c2 * m * m);
    } else {
        sa = sarg * aa;
    }
    const double q = 1.0 - sa;
    if (spline) {
        const SplineRecord& sp = *s.spline;
        if (sp.count < 2 || sp.radius == nullptr) return Eval::kFail;
        const double limit = sp.radius[sp.count - 1];
        if (!(sarg <= limit * limit)) return Eval::kOutside;
    } else if (!(q > 0.0)) {
        return Eval::kOutside;
    }

    Terms t;
    if (spline) {
        const double rho = std::sqrt(sarg);
        double b = 0.0, slope = 0.0;
        if (surface_profile::spline_terms(*s.spline, rho, b, slope) != 0) return Eval::kFail;
        if (asp != nullptr && s.shape > kShapeSphere) {
            const int n = surface_profile::coefficient_count(*asp);
            if (!surface_profile::radial_terms(kind, asp->working, n, sarg, std::sqrt(rad2), x, y,
                                               t)) {
                return Eval::kFail;
            }
        }
        z = b + t.a;
        nx = t.nx;
        ny = t.ny;
        if (rho > kZeroDenominator) {
            nx -= slope / rho * x;
            ny -= slope / rho * y;
        }
        return Eval::kOk;
    }
    double g = 0.0;
    if (asp == nullptr) {
        const double sq = std::sqrt(q);
        z = c * sarg / (1.0 + sq);
        g = c / sq;
        nx = -g * x;
        ny = -g * y;
    } else {
        const double* cf = asp->working;
        const int n = surface_profile::coefficient_count(*asp);
        switch (kind) {
            case kAsphereEven:
            case kAsphereSeries:
            case kAsphereZernike:
            case kAsphereOdd:
            case kAsphereRadial: {
                surface_profile::radial_terms(kind, cf, n, sarg, std::sqrt(rad2), x, y, t);
                const double sq = std::sqrt(q);
                z = c * sarg / (1.0 + sq) + t.a;
                g = c / sq + t.g;
                nx = -(c / sq) * x + t.nx;
                ny = -(c / sq) * y + t.ny;
                break;
            }
            case kAsphereBiconic:
                if (n >= 2) surface_profile::pair_terms(cf, n % 2, n, x, y, t);
                surface_profile::biconic_terms(c2, s.x_conic, c, s.conic, x, y, 1.0, t);
                z = t.a;
                nx = t.nx;
                ny = t.ny;
                break;
            case kAsphereCone: {
                const double r = std::sqrt(rad2);
                surface_profile::radial_terms(kind, cf, n, sarg, r, x, y, t);
                z = t.a;
                nx = t.nx;
                ny = t.ny;
                if (n >= 1 && std::fabs(cf[0] * r) > kZeroDenominator) {
                    z += cf[0] * r;
                    nx -= cf[0] * x / r;
                    ny -= cf[0] * y / r;
                }
                break;
            }
            case kAsphereBiconicPairs:
                if (!surface_profile::biconic_pairs_terms(*asp, c, s.conic, c2, s.x_conic, x, y,
                                                          t)) {
                    return Eval::kOutside;
                }
                z = t.a;
                nx = t.nx;
                ny = t.ny;
                break;
            default:
                // No closed form here: the caller goes on to the bracketing search.
                return Eval::kFail;
        }
    }
    if (s.toric != 0) {
        if (c2 == 0.0) {
            if (s.toric == 1) {
                nx = 0.0;
                ny = -g * y;
            } else {
                ny = 0.0;
                nx = -g * x;
            }
        } else {
            const double u = s.toric == 1 ? x : y;
            const double tt = 2.0 * z + c2 * (u * u - z * z);
            const double uu = 1.0 - c2 * tt;
            if (uu <= kZeroDenominator) return Eval::kFail;
            const double sq = std::sqrt(uu);
            const double gg = (1.0 - c2 * z) * g / sq;
            if (s.toric == 1) {
                nx = -c2 * x / sq;
                ny = -gg * y;
            } else {
                nx = -gg * x;
                ny = -c2 * y / sq;
            }
            z = tt / (1.0 + sq);
        }
    }
    return Eval::kOk;
}

void fail(RayRecord& ray) {
    ray.failure = kRayFailMissed;
}

// The residual (ray z minus sag) t along the ray, with the point's unit normal.
struct Sample {
    double f;
    SagPoint p;
};

void sample(const SurfaceRecord& s, const RayRecord& ray, double t, Sample& out) {
    surface_sag_normal(s, ray.x + t * ray.k, ray.y + t * ray.l, out.p);
    out.f = ray.z + t * ray.m - out.p.z;
}

// Derivative of the residual along the ray: the unnormalised normal (slopes and 1) dotted with
// the direction, which is the unit normal's product divided by its axial component.
double slope_along(const Sample& s, const RayRecord& ray) {
    const double dot = s.p.nx * ray.k + s.p.ny * ray.l + s.p.nz * ray.m;
    return s.p.nz > kZeroDenominator ? dot / s.p.nz : dot;
}

}  // namespace

void intersect_general_surface(int n, RayRecord& ray, double c, double c2, double kc) {
    const SurfaceRecord& s = surface(n);
    ray.nz = 1.0;
    int retreats = 0;
    int steps = 0;
    bool first = true;
    double t = 0.0;
    double nx = ray.nx, ny = ray.ny;
    for (;;) {
        double z = 0.0;
        const Eval e = analytic_sag(s, ray.x, ray.y, c, c2, kc, z, nx, ny);
        if (e == Eval::kFail) return fail(ray);
        if (e == Eval::kOutside) {
            if (first || ++retreats > kMaxRetreats) return fail(ray);
            ray.x -= kRetreatFraction * t * ray.k;
            ray.y -= kRetreatFraction * t * ray.l;
            ray.z -= kRetreatFraction * t * ray.m;
            ray.dist -= kRetreatFraction * t;
            t *= 1.0 - kRetreatFraction;
            continue;
        }
        first = false;
        ray.nx = nx;
        ray.ny = ny;
        ray.cos_i = nx * ray.k + ny * ray.l + ray.m;
        // A Fresnel surface keeps the start point on its substrate.
        if (s.fresnel) break;
        if (std::fabs(ray.cos_i) < kConvergenceFine) return fail(ray);
        t = (z - ray.z) / ray.cos_i;
        ray.x += t * ray.k;
        ray.y += t * ray.l;
        ray.z += t * ray.m;
        ray.dist += t;
        if (std::fabs(t) < kConvergenceFine) break;
        if (++steps >= kMaxNewtonSteps) return fail(ray);
    }
    ray.normal_len2 = ray.nx * ray.nx + ray.ny * ray.ny + 1.0;
    if (ray.backward &&
        (ray.dist + kConvergenceCoarse < 0.0 || aperture_hit_test(n, ray.x, ray.y) != 0)) {
        ray.failure = kRayRejectedHit;
    }
}

int bracket_surface_crossing(int n, RayRecord& ray, double& t1, double& t2) {
    if (t1 == t2) return 0;
    const SurfaceRecord& s = surface(n);
    const bool backward = ray.backward != 0;
    int passes1 = 4;
    if (backward) {
        passes1 = 2;
        if (t1 < 0.0 || t2 < 0.0) {
            t2 = std::fmax(std::fabs(t1), std::fabs(t2));
            t1 = kConvergenceCoarse;
        }
    }
    static constexpr double kFactors[4] = {kShrinkFactor, kWidenFactor, -kShrinkFactor,
                                           -kWidenFactor};
    Sample s1{}, s2{};
    // A usable start: the first try whose point lies on the surface.
    auto search = [&](double kept, int passes, double& tv, Sample& sv) {
        for (int p = 0; p < passes; ++p) {
            double mult = 1.0;
            for (int i = 0; i < kMaxSearchTries; ++i) {
                tv = mult * kept;
                sample(s, ray, tv, sv);
                mult *= kFactors[p];
                if (!sv.p.beyond_edge) return;
            }
        }
    };
    search(t1, passes1, t1, s1);
    search(t2, 4, t2, s2);

    // Moves 'moving' away from 'fixed' until its point lies on the surface.
    auto widen = [&](double& moving, Sample& sm, double fixed) {
        double w = kWidenFactor;
        const double old = moving;
        for (int i = 0; i < kMaxWidenTries; ++i) {
            const double next = old + w * (old - fixed);
            sample(s, ray, next, sm);
            moving = next;
            if (backward && std::fabs(next - old) < kConvergenceCoarse) sm.p.beyond_edge = 1;
            if (!sm.p.beyond_edge) return;
            w *= kShrinkFactor;
        }
    };
    for (int i = 0; i < kMaxWidenings; ++i) {
        if (s1.p.beyond_edge || s2.p.beyond_edge) return 0;
        if (s1.f * s2.f < 0.0) return 1;
        if (backward || std::fabs(s2.f) <= std::fabs(s1.f)) {
            const double old_t2 = t2;
            const Sample old_s2 = s2;
            widen(t2, s2, t1);
            if (backward) {
                t1 = old_t2;
                s1 = old_s2;
            }
        } else {
            widen(t1, s1, t2);
        }
    }
    return 0;
}

int refine_surface_crossing(int n, RayRecord& ray, double t1, double t2, double tolerance) {
    const SurfaceRecord& s = surface(n);
    Sample at{};
    auto succeed = [&ray](double t, const Sample& sm) {
        ray.dist = t;
        ray.nx = sm.p.nx;
        ray.ny = sm.p.ny;
        ray.nz = sm.p.nz;
        ray.normal_len2 = 1.0;
        ray.cos_i = sm.p.nx * ray.k + sm.p.ny * ray.l + sm.p.nz * ray.m;
        return 0;
    };
    auto failed = [&ray]() {
        ray.dist = 0.0;
        return kRayFailMissed;
    };
    Sample s1{}, s2{};
    sample(s, ray, t1, s1);
    if (s1.p.beyond_edge) return failed();
    if (s1.f == 0.0) return succeed(t1, s1);
    sample(s, ray, t2, s2);
    if (s2.p.beyond_edge) return failed();
    if (s2.f == 0.0) return succeed(t2, s2);
    if ((s1.f > 0.0 && s2.f > 0.0) || (s1.f < 0.0 && s2.f < 0.0)) return failed();
    double hi = s1.f >= 0.0 ? t1 : t2;
    double lo = s1.f >= 0.0 ? t2 : t1;
    double t = 0.5 * (t1 + t2);
    double step = std::fabs(t2 - t1);
    double old_step = step;
    sample(s, ray, t, at);
    if (at.p.beyond_edge) return failed();
    double f = at.f, df = slope_along(at, ray);
    for (int pass = 0; pass < kMaxRefinePasses; ++pass) {
        if (((t - hi) * df - f) * ((t - lo) * df - f) >= 0.0 ||
            std::fabs(2.0 * f) > std::fabs(old_step * df)) {
            old_step = step;
            step = 0.5 * (hi - lo);
            t = lo + step;
            if (t == lo) {
                sample(s, ray, t, at);
                if (at.p.beyond_edge) return failed();
                return succeed(t, at);
            }
        } else {
            old_step = step;
            step = f / df;
            const double before = t;
            t -= step;
            if (t == before) return succeed(t, at);
        }
        sample(s, ray, t, at);
        if (at.p.beyond_edge) return failed();
        if (std::fabs(step) < tolerance) return succeed(t, at);
        f = at.f;
        df = slope_along(at, ray);
        if (f < 0.0) {
            lo = t;
        } else {
            hi = t;
        }
    }
    return failed();
}

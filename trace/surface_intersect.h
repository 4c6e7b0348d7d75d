// Closed-form intersection of a ray with planes, spheres, conics of revolution and cylinders,
// in the surface's own frame (vertex at the origin, axis along z). Pure functions of the ray's
// point and direction; the trace's surface step applies them.
//
// A conic of curvature c and conic constant kappa is c(x^2 + y^2 + z^2) + kc z^2 - 2z = 0 with
// kc = kappa c. Along the ray p + t d this is A t^2 - 2 B t + C = 0; the root nearest the
// vertex is C / (B + s) = (B - s) / A with s = sqrt(B^2 - A C), which also equals the
// (unnormalised) normal dotted with the direction there.
//
// They are forced inline: the surface step that calls them is large enough that the compiler
// would otherwise call them, and the calls and the spills around them cost more than the
// arithmetic.
#pragma once

#include <cmath>

#include "trace/checked_sqrt.h"
#include "trace/ray_lanes.h"
#include "trace/ray_record.h"
#include "trace/trace_tolerances.h"

template <class T>
struct QuadraticOf {
    T a, b, c;
};
using SurfaceQuadratic = QuadraticOf<double>;

// Conic of revolution (kc = 0: a sphere). c must not be 0.
[[gnu::always_inline]] inline SurfaceQuadratic conic_quadratic(double x, double y, double z,
                                                               double k, double l, double m,
                                                               double c, double kc) {
    SurfaceQuadratic q{c, m - c * (k * x + l * y + m * z), c * (x * x + y * y + z * z) - 2.0 * z};
    if (kc != 0.0) {
        q.a += kc * m * m;
        q.b -= kc * z * m;
        q.c += kc * z * z;
    }
    return q;
}

// The same from a direction given as a raw direction (rk, rl, rm) and the factor f that makes it
// the unit direction, whose axial cosine m is given as well: B is the raw direction's B times
// f, equal to conic_quadratic's up to rounding. For one ray or a pair.
template <class T>
[[gnu::always_inline]] inline QuadraticOf<T> conic_quadratic_scaled(T x, T y, T z, T rk, T rl, T rm,
                                                                    T f, T m, double c, double kc) {
    QuadraticOf<T> q{lane_splat<T>(c), f * (rm - c * (rk * x + rl * y + rm * z)),
                     c * (x * x + y * y + z * z) - 2.0 * z};
    if (kc != 0.0) {
        q.a += kc * m * m;
        q.b -= kc * z * m;
        q.c += kc * z * z;
    }
    return q;
}

// Cylinder curved in the plane of the transverse coordinate u (direction component du) and z;
// the other transverse direction component is dv.
[[gnu::always_inline]] inline SurfaceQuadratic cylinder_quadratic(double u, double z, double du,
                                                                  double dv, double m, double c,
                                                                  double kc) {
    SurfaceQuadratic q{(1.0 - dv * dv) * c, m - (du * u + m * z) * c,
                       c * (u * u + z * z) - 2.0 * z};
    if (kc != 0.0) {
        q.a += kc * m * m;
        q.b -= kc * z * m;
        q.c += kc * z * z;
    }
    return q;
}

// Solves A t^2 - 2 B t + C = 0 for the root nearest the vertex, or the far root when
// alternate is set (a reversed ray, or a surface that asks for the other root). 0 with t and
// s, or kRayFailMissed when the discriminant is below kDiscriminantZero or the quadratic
// degenerates.
[[gnu::always_inline]] inline int solve_surface_quadratic(const SurfaceQuadratic& q, bool alternate,
                                                          double& t, double& s) {
    const double disc = q.b * q.b - q.a * q.c;
    if (!(disc >= kDiscriminantZero)) return kRayFailMissed;
    s = checked_sqrt(disc);
    if (alternate) s = -s;
    const double sum = q.b + s;
    if (std::fabs(sum) > std::fabs(q.a)) {
        t = q.c / sum;
        return 0;
    }
    if (std::fabs(q.a) <= kDiscriminantZero) return kRayFailMissed;
    t = (q.b - s) / q.a;
    return 0;
}

// The same for a pair of rays, for the usual case only: 0 when both lanes have their root C / q
// with |q| above |A|, else kRayFailMissed, and the pair must be split for the single solve,
// which also makes every failure decision.
[[gnu::always_inline]] inline int solve_surface_quadratic(const QuadraticOf<RayPair>& q,
                                                          bool alternate, RayPair& t, RayPair& s) {
    const RayPair disc = q.b * q.b - q.a * q.c;
    if (any_lane(not_at_least(disc, kDiscriminantZero))) return kRayFailMissed;
    s = lane_sqrt(disc);
    if (alternate) s = -s;
    const RayPair sum = q.b + s;
    if (any_lane(~(lane_abs(sum) > lane_abs(q.a)))) return kRayFailMissed;
    t = q.c / sum;
    return 0;
}

// Plane z = 0: 0 with t, or kRayFailMissed for a ray parallel to it that does not lie in it.
[[gnu::always_inline]] inline int intersect_plane(double z, double m, double& t) {
    if (std::fabs(m) < kParallelToPlane) {
        if (std::fabs(z) < kDiscriminantZero) {
            t = 0.0;
            return 0;
        }
        return kRayFailMissed;
    }
    t = -z / m;
    return 0;
}

// The same for a pair, for rays that are not parallel to the plane; else kRayFailMissed, and
// the pair must be split.
[[gnu::always_inline]] inline int intersect_plane(RayPair z, RayPair m, RayPair& t) {
    if (any_lane(lane_abs(m) < kParallelToPlane)) return kRayFailMissed;
    t = -z / m;
    return 0;
}

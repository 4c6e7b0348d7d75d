// Refraction and reflection of a ray direction: small pure functions on the direction
// cosines (k, l, m), a surface normal n that need not be of unit length (squared length n2)
// and cos_i = n . d. They take one ray's numbers or a pair of rays' (trace/ray_lanes.h).
//
// They are forced inline: the surface step that calls them is large enough that the compiler
// would otherwise call them, and the calls and the spills around them cost more than the
// arithmetic.
#pragma once

#include <cmath>

#include "trace/checked_sqrt.h"
#include "trace/ray_lanes.h"
#include "trace/trace_tolerances.h"

template <class T>
struct DirectionOf {
    T k, l, m;
};
using Direction = DirectionOf<double>;

// Refracts d from index ratio mu = n_in / n_out. Returns false (d unchanged) at total internal
// reflection, when the squared cosine of refraction (times n2) is below kDiscriminantZero (for
// a pair: in either lane). gamma is the multiple of the normal added to mu d.
template <class T>
[[gnu::always_inline]] inline bool refract_direction(DirectionOf<T>& d, T nx, T ny, T nz, T n2,
                                                     T cos_i, double mu, T& gamma) {
    const T disc = (cos_i * cos_i - n2) * mu * mu + n2;
    if (any_lane(not_at_least(disc, kDiscriminantZero))) return false;
    const T s = negate_where(mu * cos_i < 0.0, lane_sqrt(disc));
    gamma = divide_unless_one(s - mu * cos_i, n2);
    d.k = mu * d.k + gamma * nx;
    d.l = mu * d.l + gamma * ny;
    d.m = mu * d.m + gamma * nz;
    return true;
}

// Mirror reflection: d - gamma n with gamma = 2 cos_i / n2.
template <class T>
[[gnu::always_inline]] inline void reflect_direction(DirectionOf<T>& d, T nx, T ny, T nz, T n2,
                                                     T cos_i, T& gamma) {
    gamma = divide_unless_one(2.0 * cos_i, n2);
    d.k -= gamma * nx;
    d.l -= gamma * ny;
    d.m -= gamma * nz;
}

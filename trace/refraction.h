// Refraction, reflection and transfer of a ray direction: small pure functions on the direction
// cosines (k, l, m), a surface normal n that need not be of unit length (squared length n2)
// and cos_i = n . d.
//
// They are forced inline: the surface step that calls them is large enough that the compiler
// would otherwise call them, and the calls and the spills around them cost more than the
// arithmetic.
#pragma once

#include <cmath>

#include "trace/checked_sqrt.h"
#include "trace/trace_tolerances.h"

struct Direction {
    double k, l, m;
};

// Refracts d from index ratio mu = n_in / n_out. Returns false (d unchanged) at total internal
// reflection, when the squared cosine of refraction (times n2) is below kDiscriminantZero.
// gamma is the multiple of the normal added to mu d.
[[gnu::always_inline]] inline bool refract_direction(Direction& d, double nx, double ny, double nz,
                                                     double n2, double cos_i, double mu,
                                                     double& gamma) {
    const double disc = (cos_i * cos_i - n2) * mu * mu + n2;
    if (!(disc >= kDiscriminantZero)) return false;
    double s = checked_sqrt(disc);
    if (mu * cos_i < 0.0) s = -s;
    gamma = s - mu * cos_i;
    if (n2 != 1.0) gamma /= n2;
    d.k = mu * d.k + gamma * nx;
    d.l = mu * d.l + gamma * ny;
    d.m = mu * d.m + gamma * nz;
    return true;
}

// Mirror reflection: d - gamma n with gamma = 2 cos_i / n2.
[[gnu::always_inline]] inline void reflect_direction(Direction& d, double nx, double ny, double nz,
                                                     double n2, double cos_i, double& gamma) {
    gamma = 2.0 * cos_i;
    if (n2 != 1.0) gamma /= n2;
    d.k -= gamma * nx;
    d.l -= gamma * ny;
    d.m -= gamma * nz;
}

// Pulls a nearly unit direction back to unit length (first-order correction).
[[gnu::always_inline]] inline void renormalise_direction(Direction& d) {
    const double e = 1.0 - (d.k * d.k + d.l * d.l + d.m * d.m);
    if (e == 0.0) return;
    const double f = 1.0 + 0.5 * e;
    d.k *= f;
    d.l *= f;
    d.m *= f;
}

// Moves a point by t along a direction.
[[gnu::always_inline]] inline void transfer_point(double& x, double& y, double& z,
                                                  const Direction& d, double t) {
    x += t * d.k;
    y += t * d.l;
    z += t * d.m;
}

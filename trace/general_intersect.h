// Intersection of a ray with the surfaces that have no closed form: aspheres, toroids,
// biconics, cones, splines and Fresnel surfaces. The surface step first puts the ray on a
// nearby start point; a Newton iteration along the ray refines it, and when that misses, a
// search for a bracket along the ray and a safeguarded Newton-bisection solve inside it, both
// on the general point evaluator, find the crossing.
//
// Coordinates are in the surface's local frame; distances along the ray from its current
// point.
#pragma once

struct RayRecord;

// The Newton iteration's limit of steps; a ray that has not converged then misses.
inline constexpr int kMaxNewtonSteps = 100;

// The rejected-hit verdict for a ray with backward set (internal, never listed).
inline constexpr int kRayRejectedHit = -2201;

// Newton iteration from the ray's current point. c is the curvature of the profile, c2 the
// other curvature, kc the profile's conic constant times c (-c on a spline surface); they are
// the surface's own values, which the surface data also give. On success the position is the
// intersection, dist has grown by the total step, nx and ny are the negated slopes, nz = 1,
// normal_len2 = nx^2 + ny^2 + 1 and cos_i = the normal dotted with the direction. On failure
// failure is -2701 (or -2201 for a backward ray whose point may not be used).
void intersect_general_surface(int surface, RayRecord& ray, double c, double c2, double kc);

// 1 when t1 and t2 now lie on opposite sides of the surface, 0 when no bracket was found. Does
// not move the ray.
int bracket_surface_crossing(int surface, RayRecord& ray, double& t1, double& t2);

// 0 with dist = t of the crossing, the unit normal in nx, ny, nz, normal_len2 = 1 and cos_i
// = the normal dotted with the direction (the position is not moved); -2701 with dist = 0.
int refine_surface_crossing(int surface, RayRecord& ray, double t1, double t2, double tolerance);

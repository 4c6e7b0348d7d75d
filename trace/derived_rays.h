// Rays that come with a derivative: the first derivatives of a ray's end point with respect to
// its pupil fractions and the two focus distances of its neighbours, for rays of kinds 0, 6 and
// 7; for the reference ray also the derivatives of its end point and direction with respect to
// the pupil and the object point (the four RayDerivative records of the ReferenceRay).
//
// Two ways to the same numbers: the differential trace carries linearised neighbour rays along
// with the ray through plain spherical and conic surfaces; the auxiliary rays are complete
// neighbour rays traced after the ray, for every other lens.
//
// Results of a kind 0, 6 or 7 ray, in the six fields after its failure code: dx = dx/da,
// dy = dy/da, dz = dx/db, dtan_x = dy/db (a, b the pupil fractions x, y), dtan_y the focus
// distance of the a direction and sphere_path that of the b direction (positive beyond the end
// point; in dioptres for an afocal lens).
#pragma once

#include "trace/ray_record.h"

// One surface of the differential trace: the ray and its neighbour rays advance together.
void trace_differential_ray(RayRecord& ray);
// The neighbour rays at the start of the trace.
void init_differential_rays(RayRecord& ray);
// One neighbour ray carried to the surface the ray has just met (dist the length travelled).
void transfer_differential_ray(const RayRecord& ray, RayDerivative& d);
// One neighbour ray bent with the ray: a1 = g c, a2 = g kappa c, mu the index ratio and
// s_out the refracted ray's cosine with the (unnormalised) normal.
void refract_differential_ray(const RayRecord& ray, RayDerivative& d, double a1, double a2,
                              double mu, double s_out);
// The neighbours as complete rays after a complete trace without failure. mode 0 sets them up
// against the reference ray.
void trace_auxiliary_rays(RayRecord& ray, int mode);
// The ray whose pupil fractions on entry are fractions of the reference surface's aperture:
// found by Newton steps on the pupil fractions from (start_a, start_b). skip asks for the
// telecentric short cut; reference (or null) is a fractional ray already found for the same
// object point. The outcome is the ray's failure code (1: it crosses the reference ray on the
// wrong side).
void trace_fractional_ray(RayRecord& ray, int kind, double start_a, double start_b, int skip,
                          const RayRecord* reference);
void flip_ray_direction(RayRecord& ray);

// Points the trace's seams at the differential and auxiliary rays.
void install_derived_rays();

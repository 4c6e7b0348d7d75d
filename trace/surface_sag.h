// The sag and unit normal of a surface at one point of its own frame (vertex at the origin, z
// along the local axis), for every surface shape of the lens model. The one place where a
// surface's shape is evaluated point by point; it reads the lens update's prepared data
// (shape word, working coefficients, spline profile) and writes only its result.
#pragma once

#include "trace/sag_point.h"

struct SurfaceRecord;

// beyond_edge is set for a sphere asked outside its hemisphere, for a spline asked outside its
// knots (profile and slope of the last knot, axial normal) or one that cannot be evaluated, and
// for a point outside the domain of the biconic-pairs surface (kAsphereBiconicPairs). Every
// field of out is written in every case.
void surface_sag_normal(const SurfaceRecord& surface, double x, double y, SagPoint& out);

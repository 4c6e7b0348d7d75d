// Curvature and diffractive pickups, the pickup-chain check, and the curvature and thickness
// solves of the paraxial set-up pass. A solve reads the paraxial ray at its surface and gives the
// curvature or thickness that meets its target, or a message number when it cannot.
#pragma once

#include "tables/table_names.h"

struct SurfaceRecord;

// Curvature pickup (kind 1 "CV", 2 "CVM" negated) of target from source, with conics, the toric
// byte, the asphere and the spline profile: 0, or -255 when a copy cannot be had (the target's
// curvature kind is then 0).
int apply_curvature_pickup(const SurfaceRecord& source, SurfaceRecord& target);
// Diffractive data of source copied into target (a pickup from surface source_number): 0 or -255.
int apply_diffractive_pickup(const SurfaceRecord& source, SurfaceRecord& target, int source_number);

// Walks every pickup chain of the lens (curvature, thickness, aperture, diffractive data,
// decentre, special apertures) with a bound of one step per surface. A pickup whose source lies
// outside the lens (-336) or whose chain comes back to itself (-335) is shown with its surface
// and turned into a plain value, so that the set-up never follows it. Returns the number of
// pickups removed.
int check_pickup_chains();

// The paraxial ray at a surface, as a solve reads it.
struct SolveRay {
    double ya, ua;  // axial ray height at the surface, slope in front of it (after, for thickness)
    double yc, uc;  // chief ray
    double r;       // index ratio of the surface
};

// Curvature of a solve of curvature kind 3, 4, 8, 9, 10 or 11 with target v: 0 with c set, or
// -256 (a zero height), -260 (a chief-ray solve before the stop). Other kinds: 0, c unchanged.
int solve_curvature(int kind, double v, const SolveRay& ray, bool before_stop, double* c);
// Thickness of a height solve (kind 5 "PY", 6 "PYC") with target v and the slopes behind the
// surface: 0 with t set, or -257, -260.
int solve_height_thickness(int kind, double v, const SolveRay& ray, bool before_stop, double* t);
// Edge-thickness solve "ET" of surface j to the next surface k: 0 with t set, or -330, -331.
// The next surface's curvature pickup is applied first, and refresh brings its shape word up to
// date before its sag is read.
int solve_edge_thickness(int j, int k, bool before_stop, void (*refresh)(int surface), double* t);

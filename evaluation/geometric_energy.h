// The geometric energy distribution of the spot: for n equal steps of energy fraction, the
// radius of the circle (encircled) or the full width of the square (ensquared) about the spot
// centroid that holds that fraction of the ray energy, at a focus shift.
#pragma once

#include "tables/table_names.h"

inline constexpr int kMaxEnergyLines = 1000;

// Prints the table of n levels, or writes 0 to first_out[0] and the level radii to
// first_out[1..n], and, for i = 0 .. ray count + 1, the sorted radius (or full square width) and
// the cumulative energy to radii_out and energies_out (each ray count + 2 long; either may be
// null). 0 or -10.
int encircled_energy_curve(bool print, int n, bool radial, double z, double* first_out,
                           double* radii_out, double* energies_out);

// Sorts keys[1..n] ascending, carrying the 1-based ray numbers of the store's sort index; with
// energies, energies[k] is the running weight of the rays in sorted order.
void sort_keys_with_index(int n, double* keys, double* energies, bool with_energies);

// The radius (full width when not radial) holding each fraction k/n of the energy, k = 1..n,
// interpolated between the midpoints of neighbouring distinct ray distances; printed, or
// written to out[k - 1].
void energy_radii_at_levels(bool print, const double* keys, const double* energies, double* out,
                            int n, bool radial);

// Handler of 742 (encircled) and 743 (ensquared): step of energy fraction, focus shift.
int cmd_encircled_energy();

// The paraxial system matrix of the lens between two surfaces, on (height, minus optical
// slope): a power P adds P times the first row to the second, a gap of reduced length T
// subtracts T times the second row from the first; a radial gradient gap is its closed-form
// rod matrix. The arrays behind it (index, power and reduced length per surface) are sized on
// every preparation; releasing them only frees memory, and no caller keeps a pointer into them.
#pragma once

#include <cstdint>

struct ParaxialMatrixSteps;

struct SystemMatrix {
    double a, b, c, d;
};

// The gap behind a surface applied to m (downstream of it): reduced length t, the signed index
// of the medium and its radial gradient coefficient (0: a homogeneous gap, a plain transfer).
// A focusing gradient is a rod of period 2 pi / g; a defocusing one has its growth clamped so
// that a long gap stays finite.
void apply_gap_matrix(SystemMatrix& m, double reduced, double index, double radial);
// The matrix over surfaces first..last (both powers included) of a walk's steps; the identity
// when last < first. Surfaces beyond top are not reached.
SystemMatrix steps_system_matrix(const ParaxialMatrixSteps& steps, int top, int first, int last);

// Fills the arrays for the y-section (y_section 1) or the x-section (0) at wavelength slot w.
// 0, or -10 when the arrays cannot be made.
int prepare_system_matrix_arrays(int y_section, int w);
// The matrix from surface first (its power included) to surface last (its power included).
// 0, or -10 when the arrays cannot be made.
int paraxial_system_matrix(int y_section, int w, int first, int last, SystemMatrix& out);
// The signed index behind surface j as the last preparation found it (1 outside the lens).
double system_matrix_index(int j);
// The last surface before the image that the last preparation reached.
int system_matrix_last_surface();
void release_system_matrix_arrays();

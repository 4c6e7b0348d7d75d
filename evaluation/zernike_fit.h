// Fringe Zernike polynomials fitted by least squares to the wavefront of the current field point
// as the spot-diagram rays sample it: the coefficients, the rms wavefront error they represent
// and the rms residual of the fit, for one wavelength or all with their weights.
#pragma once

#include "tables/table_names.h"

inline constexpr int kMaxZernikeTerms = 37;
inline constexpr int kParamZernikeReference = 1327;

// The term count, piston included, for a term-count argument: 0 or above 24 gives 37, 1 gives
// 3 (a fit needs two terms besides the piston); -1 for a negative argument.
int zernike_term_count(int argument);

// Values of terms 2..count+1 at the pupil point (u, v), r2 = u^2 + v^2, into P[1..count]; the
// axis switch (the lens's "ZRXR") makes u the first coordinate, else v.
void zernike_polynomials(double u, double v, double r2, int count, bool axis_on, double* P);

// The fit of wavelength wave (0-based) about the reference point (y, x, focus) already chosen:
// c[0..n-1] the coefficients of terms 1..n (piston first) and c[n] the rms residual, in waves
// when the lens's OPD-in-waves option is on. 0, or the 1-based term whose normal equation is
// singular for these rays (nothing written then).
int zernike_fit_wavelength(int wave, int n, double y, double x, double focus, double* c);

// The rms wavefront error the coefficients c[1..n-1] (terms 2..n) represent.
double zernike_rms(const double* c, int n);

// Handlers: reference mode (10-13), wavelength number (0 the diagram's), x and y offsets, focus,
// term-count argument; the all-wavelength form without the wavelength number.
int cmd_zernike_fit();
int cmd_zernike_fit_poly();

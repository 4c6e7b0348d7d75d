// Polynomial interpolation through tabulated points, and a piecewise-cubic fit of a table.
#pragma once

// Value at x of the polynomial of degree n - 1 through the n points (Neville's algorithm).
// Returns 0 with *result set; -1 for n < 2 or two equal abscissae met; -10 without memory.
int poly_interpolate(const double* xa, const double* ya, int n, double x, double* result);

// Fits the n points (strictly increasing abscissae) with one cubic per interval and keeps the
// fit in the one shared record: a straight line for two points, one parabola for three, else a
// cubic spline whose end intervals have the third derivative of the cubic through the four end
// points (so a cubic is reproduced exactly). Returns 0, -193 for fewer than two points or
// abscissae not strictly increasing, or -10 without memory; a failure discards the fit.
int table_fit_build(const double* xa, const double* ya, int n);

// Value and derivative of the shared fit at x. Outside the table the end ordinate and a zero
// derivative. Returns 0, or -194 when no fit is held. Sweeps of increasing x are linear.
int table_fit_eval(double x, double* value, double* derivative);

// Interpolating cubic spline through a table: second derivatives, then values.
//
// A spline is three caller-owned arrays of n doubles: strictly increasing abscissae x, the
// ordinates y and the second derivatives y2 that spline_coefficients fills.
//
// End slopes: a slope of 9.9e29 or less is used as given (9.9e29 itself is a slope). A slope
// above 9.9e29 means "no slope given": the end slope is estimated from the cubic through the
// four end points (n above 3), or from the parabola through the three end points when n is 3
// or the cubic's estimate is itself above 9.9e29. The end is natural (zero second derivative)
// only when that estimate also exceeds 9.9e29, e.g. for ordinates near 1e31.
#pragma once

// The value callers pass for "no end slope given".
inline constexpr double kSplineNoSlope = 1e30;

// Fills y2[0..n-1]. n below 1 does nothing; n of 1 or 2 gives zeros (a straight line).
// Returns 0, -193 when an abscissa is not greater than the one before it (y2 untouched), or -10
// when the work array cannot be had.
int spline_coefficients(const double* x, const double* y, int n, double first_slope,
                        double last_slope, double* y2);

// The spline's value at abscissa into *result. Outside [x[0], x[n-1]] the end ordinate (no
// extrapolation). Returns 0, or -193 for n below 1 or a bracketing interval of zero width.
int spline_eval(const double* x, const double* y, const double* y2, int n, double abscissa,
                double* result);

// The value on the known interval [x[lo], x[lo + 1]], without searching (lo in 0..n-2).
double spline_eval_interval(const double* x, const double* y, const double* y2, int lo,
                            double abscissa);

// Bessel functions J0, J1 and the modified ones of order zero and rounding to significant digits.
#pragma once

// I0(x), polynomial approximations 9.8.1 and 9.8.2 of Abramowitz and Stegun.
double bessel_i0(double x);

// K0(x) for x > 0, approximations 9.8.5 and 9.8.6 of Abramowitz and Stegun; x = 0 gives
// +infinity and a negative x gives NaN.
double bessel_k0(double x);

// x rounded to the given number of significant digits, clamped to 1..24.
double round_significant(double x, int digits);

// The Bessel functions of the first kind J0(x) and J1(x) (the C library's).
double bessel_j0(double x);
double bessel_j1(double x);

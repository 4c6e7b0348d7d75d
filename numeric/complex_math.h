// Complex numbers in the careful standard forms that avoid needless overflow and underflow.
#pragma once

struct Complex {
    double re;
    double im;
};

Complex cx_make(double re, double im);
Complex cx_add(Complex a, Complex b);
Complex cx_sub(Complex a, Complex b);
Complex cx_mul(Complex a, Complex b);
// Smith's method: no square of b's parts is formed.
Complex cx_div(Complex a, Complex b);
Complex cx_conj(Complex z);
Complex cx_scale(double s, Complex z);
// Modulus of re + i im, scaled by the larger part.
double cx_abs(double re, double im);
// Principal square root: real part not negative; a negative real axis with imaginary part
// +0 or -0 gives the root on the positive imaginary axis.
Complex cx_sqrt(Complex z);

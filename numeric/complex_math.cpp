#include "numeric/complex_math.h"

#include <cmath>

Complex cx_make(double re, double im) {
    return Complex{re, im};
}

Complex cx_add(Complex a, Complex b) {
    return Complex{a.re + b.re, a.im + b.im};
}

Complex cx_sub(Complex a, Complex b) {
    return Complex{a.re - b.re, a.im - b.im};
}

Complex cx_mul(Complex a, Complex b) {
    return Complex{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

Complex cx_div(Complex a, Complex b) {
    if (std::fabs(b.re) >= std::fabs(b.im)) {
        const double r = b.im / b.re;
        const double d = b.re + r * b.im;
        return Complex{(a.re + r * a.im) / d, (a.im - r * a.re) / d};
    }
    const double r = b.re / b.im;
    const double d = b.im + r * b.re;
    return Complex{(r * a.re + a.im) / d, (r * a.im - a.re) / d};
}

Complex cx_conj(Complex z) {
    return Complex{z.re, -z.im};
}

Complex cx_scale(double s, Complex z) {
    return Complex{s * z.re, s * z.im};
}

double cx_abs(double re, double im) {
    if (re == 0.0) return std::fabs(im);
    if (im == 0.0) return std::fabs(re);
    const double x = std::fabs(re);
    const double y = std::fabs(im);
    if (x > y) {
        const double ratio = y / x;
        return x * std::sqrt(1.0 + ratio * ratio);
    }
    const double ratio = x / y;
    return y * std::sqrt(1.0 + ratio * ratio);
}

Complex cx_sqrt(Complex z) {
    if (z.re == 0.0 && z.im == 0.0) return Complex{0.0, 0.0};
    const double a = std::fabs(z.re);
    const double b = std::fabs(z.im);
    double w = 0.0;
    if (a >= b) {
        const double ratio = b / a;
        w = std::sqrt(a) * std::sqrt(0.5 * (1.0 + std::sqrt(1.0 + ratio * ratio)));
    } else {
        const double ratio = a / b;
        w = std::sqrt(b) * std::sqrt(0.5 * (ratio + std::sqrt(1.0 + ratio * ratio)));
    }
    if (z.re >= 0.0) return Complex{w, z.im / (2.0 * w)};
    const double signed_w = z.im >= 0.0 ? w : -w;
    return Complex{z.im / (2.0 * signed_w), signed_w};
}

#include "numeric/math_functions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Horner evaluation of c[0] + c[1] t + ... + c[N-1] t^(N-1).
template <std::size_t N>
double polynomial(const double (&c)[N], double t) {
    double sum = c[N - 1];
    for (std::size_t k = N - 1; k > 0; --k) sum = sum * t + c[k - 1];
    return sum;
}

// 9.8.1, in (x / 3.75)^2.
constexpr double kI0Small[] = {1.0,       3.5156229, 3.0899424, 1.2067492,
                               0.2659732, 0.0360768, 0.0045813};
// 9.8.2, in 3.75 / |x|: sqrt(|x|) exp(-|x|) I0(x).
constexpr double kI0Large[] = {0.39894228,  0.01328592, 0.00225319,  -0.00157565, 0.00916281,
                               -0.02057706, 0.02635537, -0.01647633, 0.00392377};
// 9.8.5, in (x / 2)^2: K0(x) + ln(x / 2) I0(x).
constexpr double kK0Small[] = {-0.57721566, 0.42278420, 0.23069756, 0.03488590,
                               0.00262698,  0.00010750, 0.00000740};
// 9.8.6, in 2 / x: sqrt(x) exp(x) K0(x).
constexpr double kK0Large[] = {1.25331414, -0.07832358, 0.02189568, -0.01062446,
                               0.00587872, -0.00251540, 0.00053208};

// Digit limits of round_significant.
constexpr int kMinDigits = 1;
constexpr int kMaxDigits = 24;

}  // namespace

double bessel_i0(double x) {
    const double ax = std::fabs(x);
    if (ax < 3.75) {
        const double t = x / 3.75;
        return polynomial(kI0Small, t * t);
    }
    return std::exp(ax) / std::sqrt(ax) * polynomial(kI0Large, 3.75 / ax);
}

double bessel_k0(double x) {
    if (x <= 2.0) {
        const double y = 0.25 * x * x;
        return -std::log(0.5 * x) * bessel_i0(x) + polynomial(kK0Small, y);
    }
    return std::exp(-x) / std::sqrt(x) * polynomial(kK0Large, 2.0 / x);
}

double round_significant(double x, int digits) {
    digits = std::clamp(digits, kMinDigits, kMaxDigits);
    // The exponent format with digits - 1 decimals rounds to exactly that many digits; reading
    // the text back gives the nearest double.
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, x);
    return std::strtod(text, nullptr);
}

double bessel_j0(double x) {
    return ::j0(x);
}

double bessel_j1(double x) {
    return ::j1(x);
}

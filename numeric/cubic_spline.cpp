#include "numeric/cubic_spline.h"

#include "numeric/memory.h"

#include <memory>

namespace {

constexpr double kSlopeLimit = 9.9e29;

// Derivative at p0 of the cubic through p0..p3 (Lagrange form differentiated at p0). The
// points may run backwards (the last end mirrored), which the formula allows.
double cubic_end_slope(double x0, double x1, double x2, double x3, double y0, double y1,
                       double y2, double y3) {
    return -(1.0 / (x1 - x0) + 1.0 / (x2 - x0) + 1.0 / (x3 - x0)) * y0 +
           (x2 - x0) * (x3 - x0) * y1 / ((x1 - x0) * (x2 - x1) * (x3 - x1)) -
           (x1 - x0) * (x3 - x0) * y2 / ((x2 - x0) * (x2 - x1) * (x3 - x2)) +
           (x1 - x0) * (x2 - x0) * y3 / ((x3 - x0) * (x3 - x1) * (x3 - x2));
}

// Derivative at p0 of the parabola through p0..p2.
double parabola_end_slope(double x0, double x1, double x2, double y0, double y1, double y2) {
    return (x2 - x0) * y1 / ((x2 - x1) * (x1 - x0)) -
           ((x2 - x0) + (x1 - x0)) * y0 / ((x2 - x0) * (x1 - x0)) -
           (x1 - x0) * y2 / ((x2 - x0) * (x2 - x1));
}

// The slope to use at one end, given its points from the end inward; *has_slope false means
// the end is natural.
double end_slope(double given, int n, const double* px, const double* py, bool* has_slope) {
    *has_slope = true;
    if (!(given > kSlopeLimit)) return given;
    if (n > 3) {
        const double s = cubic_end_slope(px[0], px[1], px[2], px[3], py[0], py[1], py[2], py[3]);
        if (!(s > kSlopeLimit)) return s;
    }
    const double s = parabola_end_slope(px[0], px[1], px[2], py[0], py[1], py[2]);
    if (!(s > kSlopeLimit)) return s;
    *has_slope = false;
    return 0.0;
}

}  // namespace

int spline_coefficients(const double* x, const double* y, int n, double first_slope,
                        double last_slope, double* y2) {
    if (n < 1) return 0;
    for (int i = 1; i < n; ++i) {
        // Written so that a NaN abscissa counts as out of order.
        if (!(x[i] > x[i - 1])) return -193;
    }
    if (n <= 2) {
        for (int i = 0; i < n; ++i) y2[i] = 0.0;
        return 0;
    }
    std::unique_ptr<double, void (*)(void*)> work(alloc_array_of<double>(n), mem_free);
    if (!work) return -10;
    double* u = work.get();

    bool has_slope = false;
    const double s0 = end_slope(first_slope, n, x, y, &has_slope);
    if (has_slope) {
        y2[0] = -0.5;
        u[0] = (3.0 / (x[1] - x[0])) * ((y[1] - y[0]) / (x[1] - x[0]) - s0);
    } else {
        y2[0] = u[0] = 0.0;
    }
    for (int i = 1; i < n - 1; ++i) {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        u[i] = (6.0 * ((y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1])) /
                    (x[i + 1] - x[i - 1]) -
                sig * u[i - 1]) /
               p;
    }
    // The last end, its points taken from the end inward.
    const int m = n < 4 ? n : 4;
    double ex[4];
    double ey[4];
    for (int k = 0; k < m; ++k) {
        ex[k] = x[n - 1 - k];
        ey[k] = y[n - 1 - k];
    }
    const double sn = end_slope(last_slope, n, ex, ey, &has_slope);
    double qn = 0.0;
    double un = 0.0;
    if (has_slope) {
        qn = 0.5;
        un = (3.0 / (x[n - 1] - x[n - 2])) * (sn - (y[n - 1] - y[n - 2]) / (x[n - 1] - x[n - 2]));
    }
    y2[n - 1] = (un - qn * u[n - 2]) / (qn * y2[n - 2] + 1.0);
    for (int k = n - 2; k >= 0; --k) y2[k] = y2[k] * y2[k + 1] + u[k];
    return 0;
}

double spline_eval_interval(const double* x, const double* y, const double* y2, int lo,
                            double abscissa) {
    const int hi = lo + 1;
    const double h = x[hi] - x[lo];
    const double a = (x[hi] - abscissa) / h;
    const double b = (abscissa - x[lo]) / h;
    return a * y[lo] + b * y[hi] + ((a * a * a - a) * y2[lo] + (b * b * b - b) * y2[hi]) * h * h / 6.0;
}

int spline_eval(const double* x, const double* y, const double* y2, int n, double abscissa,
                double* result) {
    if (n < 1) return -193;
    if (abscissa > x[n - 1]) {
        *result = y[n - 1];
        return 0;
    }
    if (abscissa < x[0] || n == 1) {
        *result = y[0];
        return 0;
    }
    int lo = 0;
    int hi = n - 1;
    while (hi - lo > 1) {
        const int k = (hi + lo) / 2;
        if (x[k] <= abscissa) {
            lo = k;
        } else {
            hi = k;
        }
    }
    if (x[hi] - x[lo] == 0.0) return -193;
    *result = spline_eval_interval(x, y, y2, lo, abscissa);
    return 0;
}

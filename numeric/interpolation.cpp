#include "numeric/interpolation.h"

#include <algorithm>
#include <cmath>

#include "numeric/memory.h"
#include "tables/table_names.h"

namespace {

// The last piecewise-cubic fit: on interval i, with t = x - x[i],
// value = y[i] + b[i] t + c[i] t^2 + d[i] t^3.
struct TableFit {
    int intervals = 0;  // 0: no fit
    int capacity = 0;   // points the arrays have room for
    double* x = nullptr;
    double* y = nullptr;
    double* b = nullptr;
    double* c = nullptr;
    double* d = nullptr;
    int cached_interval = 0;
};

TableFit g_fit;

void free_fit_arrays() {
    for (double** array : {&g_fit.x, &g_fit.y, &g_fit.b, &g_fit.c, &g_fit.d}) {
        mem_free(*array);
        *array = nullptr;
    }
    g_fit.capacity = 0;
}

bool reserve_fit_arrays(int n) {
    if (n <= g_fit.capacity) return true;
    free_fit_arrays();
    const auto count = static_cast<std::size_t>(n);
    for (double** array : {&g_fit.x, &g_fit.y, &g_fit.b, &g_fit.c, &g_fit.d}) {
        *array = alloc_array_of<double>(count);
        if (*array == nullptr) {
            free_fit_arrays();
            return false;
        }
    }
    g_fit.capacity = n;
    return true;
}

// Solves the spline system for c (n unknowns, n >= 4) given the intervals h and slopes delta.
// Rows are sub[i] c[i-1] + c[i] + super[i] c[i+1] = rhs[i]; the elimination runs from the last
// row upwards (c[i] = p[i] + q[i] c[i-1]) and the substitution downwards.
void solve_spline(int n, const double* h, const double* delta, double* c, double* work) {
    double* sub = work;
    double* super = work + n;
    double* rhs = work + 2 * n;
    double* p = work + 3 * n;
    double* q = work + 4 * n;
    const int last = n - 1;
    for (int i = 1; i < last; ++i) {
        const double span = h[i - 1] + h[i];
        super[i] = 0.5 * h[i] / span;
        sub[i] = 0.5 - super[i];
        rhs[i] = 1.5 * (delta[i] - delta[i - 1]) / span;
    }
    // End rows: the third derivative of the end intervals equals that of the cubic through the
    // four end points.
    sub[0] = 0.0;
    super[0] = -1.0;
    rhs[0] = -2.0 * h[0] * (rhs[2] - rhs[1]) / (h[0] + h[1] + h[2]);
    sub[last] = -1.0;
    super[last] = 0.0;
    rhs[last] = 2.0 * h[last - 1] * (rhs[last - 1] - rhs[last - 2]) /
                (h[last - 1] + h[last - 2] + h[last - 3]);

    p[last] = rhs[last];
    q[last] = -sub[last];
    for (int i = last - 1; i >= 0; --i) {
        const double pivot = 1.0 + super[i] * q[i + 1];
        p[i] = (rhs[i] - super[i] * p[i + 1]) / pivot;
        q[i] = -sub[i] / pivot;
    }
    c[0] = p[0];
    for (int i = 1; i <= last; ++i) c[i] = p[i] + q[i] * c[i - 1];
}

}  // namespace

int poly_interpolate(const double* xa, const double* ya, int n, double x, double* result) {
    if (n < 2) return -1;
    const auto count = static_cast<std::size_t>(n);
    double* c = alloc_array_of<double>(count);
    double* d = alloc_array_of<double>(count);
    if (c == nullptr || d == nullptr) {
        mem_free(c);
        mem_free(d);
        return kMsgOutOfMemory;
    }
    int nearest = 0;
    double distance = std::fabs(x - xa[0]);
    for (int i = 0; i < n; ++i) {
        const double here = std::fabs(x - xa[i]);
        if (here < distance) {
            nearest = i;
            distance = here;
        }
        c[i] = ya[i];
        d[i] = ya[i];
    }
    double value = ya[nearest];
    // ns: the tableau path lies between entries ns and ns + 1.
    int ns = nearest - 1;
    for (int m = 1; m < n; ++m) {
        for (int i = 0; i < n - m; ++i) {
            const double ho = xa[i] - x;
            const double hp = xa[i + m] - x;
            const double span = ho - hp;
            if (span == 0.0) {
                mem_free(c);
                mem_free(d);
                return -1;
            }
            const double factor = (c[i + 1] - d[i]) / span;
            d[i] = hp * factor;
            c[i] = ho * factor;
        }
        // Take the correction that keeps the path nearest the middle of the tableau.
        value += 2 * (ns + 1) < n - m ? c[ns + 1] : d[ns--];
    }
    mem_free(c);
    mem_free(d);
    *result = value;
    return 0;
}

int table_fit_build(const double* xa, const double* ya, int n) {
    g_fit.intervals = 0;
    if (n < 2) return kMsgBadFitTable;
    if (!reserve_fit_arrays(n)) return kMsgOutOfMemory;
    const auto count = static_cast<std::size_t>(n);
    double* h = alloc_array_of<double>(count);
    double* delta = alloc_array_of<double>(count);
    double* work = alloc_array_of<double>(5 * count);
    auto free_temporaries = [&] {
        mem_free(h);
        mem_free(delta);
        mem_free(work);
    };
    if (h == nullptr || delta == nullptr || work == nullptr) {
        free_temporaries();
        return kMsgOutOfMemory;
    }

    double* x = g_fit.x;
    double* y = g_fit.y;
    double* b = g_fit.b;
    double* c = g_fit.c;
    double* d = g_fit.d;
    std::copy(xa, xa + n, x);
    std::copy(ya, ya + n, y);
    for (int i = 0; i + 1 < n; ++i) {
        h[i] = x[i + 1] - x[i];
        // Written so that a NaN abscissa is refused as well.
        if (!(h[i] > 0.0)) {
            free_temporaries();
            return kMsgBadFitTable;
        }
        delta[i] = (y[i + 1] - y[i]) / h[i];
    }
    std::fill(b, b + n, 0.0);
    std::fill(c, c + n, 0.0);
    std::fill(d, d + n, 0.0);

    if (n == 2) {
        b[0] = delta[0];
    } else if (n == 3) {
        const double curvature = (delta[1] - delta[0]) / (h[0] + h[1]);
        c[0] = curvature;
        c[1] = curvature;
        b[0] = delta[0] - h[0] * curvature;
        b[1] = delta[0] + h[0] * curvature;
    } else {
        solve_spline(n, h, delta, c, work);
        for (int i = 0; i + 1 < n; ++i) {
            b[i] = delta[i] - (2.0 * c[i] + c[i + 1]) * h[i] / 3.0;
            d[i] = (c[i + 1] - c[i]) / (3.0 * h[i]);
        }
    }
    g_fit.intervals = n - 1;
    g_fit.cached_interval = 0;
    free_temporaries();
    return 0;
}

int table_fit_eval(double x, double* value, double* derivative) {
    const int intervals = g_fit.intervals;
    if (intervals == 0) return kMsgNoFit;
    const double* xs = g_fit.x;
    if (x < xs[0]) {
        *value = g_fit.y[0];
        *derivative = 0.0;
        return 0;
    }
    int i = x < xs[g_fit.cached_interval] ? 0 : g_fit.cached_interval;
    while (i < intervals && x >= xs[i + 1]) ++i;
    if (i == intervals) {
        *value = g_fit.y[intervals];
        *derivative = 0.0;
        return 0;
    }
    g_fit.cached_interval = i;
    const double t = x - xs[i];
    *value = ((g_fit.d[i] * t + g_fit.c[i]) * t + g_fit.b[i]) * t + g_fit.y[i];
    *derivative = (3.0 * g_fit.d[i] * t + 2.0 * g_fit.c[i]) * t + g_fit.b[i];
    return 0;
}

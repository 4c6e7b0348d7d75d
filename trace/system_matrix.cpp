#include "trace/system_matrix.h"

#include <cmath>
#include <vector>

#include "lens/lens_data.h"
#include "trace/paraxial_trace.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHyperbolicLimit = 500.0;

struct Arrays {
    std::vector<double> index, power, reduced, radial;
    int last = 0;
};

Arrays g_arrays;

}  // namespace

int prepare_system_matrix_arrays(int y_section, int w) {
    const int count = lens_data().image_surface + 1;
    try {
        g_arrays.index.assign(count, 1.0);
        g_arrays.power.assign(count, 0.0);
        g_arrays.reduced.assign(count, 0.0);
        g_arrays.radial.assign(count, 0.0);
    } catch (...) {
        release_system_matrix_arrays();
        return -10;
    }
    ParaxialMatrixSteps steps{g_arrays.index.data(), g_arrays.power.data(), g_arrays.reduced.data(),
                              g_arrays.radial.data(), 0};
    paraxial_matrix_walk(y_section != 0 ? 0 : 1, w, steps);
    g_arrays.last = steps.last;
    return 0;
}

void apply_gap_matrix(SystemMatrix& m, double reduced, double index, double radial) {
    const double n = std::fabs(index);
    const double g =
        radial != 0.0 && n >= kParaxialZero ? std::sqrt(2.0 * std::fabs(radial) / n) : 0.0;
    if (g < kParaxialZero) {
        m.a -= reduced * m.c;
        m.b -= reduced * m.d;
        return;
    }
    // The rod's own matrix [[k, b], [s, k]] applied at once: the same product as three shears
    // with q = (1 - k) / s, without the loss that q suffers when s is tiny.
    double theta = reduced * n * g;
    double k, s, b;
    if (radial >= 0.0) {
        if (theta > kHyperbolicLimit) theta = kHyperbolicLimit;
        if (theta < -kHyperbolicLimit) theta = -kHyperbolicLimit;
        k = std::cosh(theta);
        s = -std::sinh(theta) * g * n;
        b = -std::sinh(theta) / (g * n);
    } else {
        theta = std::fmod(theta, kTwoPi);
        k = std::cos(theta);
        s = std::sin(theta) * g * n;
        b = -std::sin(theta) / (g * n);
    }
    const SystemMatrix in = m;
    m.a = k * in.a + b * in.c;
    m.b = k * in.b + b * in.d;
    m.c = s * in.a + k * in.c;
    m.d = s * in.b + k * in.d;
}

SystemMatrix steps_system_matrix(const ParaxialMatrixSteps& steps, int top, int first, int last) {
    SystemMatrix m{1.0, 0.0, 0.0, 1.0};
    for (int j = first < 0 ? 0 : first; j <= last && j <= top; ++j) {
        const double P = steps.power[j];
        m.c += P * m.a;
        m.d += P * m.b;
        if (j == last) break;
        apply_gap_matrix(m, steps.reduced[j], steps.index[j], steps.radial[j]);
    }
    return m;
}

int paraxial_system_matrix(int y_section, int w, int first, int last, SystemMatrix& out) {
    if (const int rc = prepare_system_matrix_arrays(y_section, w); rc != 0) return rc;
    const ParaxialMatrixSteps steps{g_arrays.index.data(), g_arrays.power.data(),
                                    g_arrays.reduced.data(), g_arrays.radial.data(), g_arrays.last};
    out = steps_system_matrix(steps, static_cast<int>(g_arrays.index.size()) - 1, first, last);
    return 0;
}

double system_matrix_index(int j) {
    if (j < 0 || j >= static_cast<int>(g_arrays.index.size())) return 1.0;
    return g_arrays.index[j];
}

int system_matrix_last_surface() {
    return g_arrays.last;
}

void release_system_matrix_arrays() {
    g_arrays = Arrays{};
}

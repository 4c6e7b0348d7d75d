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

int paraxial_system_matrix(int y_section, int w, int first, int last, SystemMatrix& out) {
    if (const int rc = prepare_system_matrix_arrays(y_section, w); rc != 0) return rc;
    double A = 1.0, B = 0.0, C = 0.0, D = 1.0;
    const int top = static_cast<int>(g_arrays.index.size()) - 1;
    for (int j = first < 0 ? 0 : first; j <= last && j <= top; ++j) {
        const double P = g_arrays.power[j];
        C += P * A;
        D += P * B;
        if (j == last) break;
        const double T = g_arrays.reduced[j];
        const double n1 = g_arrays.radial[j];
        const double n = std::fabs(g_arrays.index[j]);
        const double g = n1 != 0.0 && n >= kParaxialZero ? std::sqrt(2.0 * std::fabs(n1) / n) : 0.0;
        if (g >= kParaxialZero) {
            // The rod's own matrix [[k, b], [s, k]] applied at once: the same product as three
            // shears with q = (1 - k) / s, without the loss that q suffers when s is tiny.
            double theta = T * n * g;
            double k, s, b;
            if (n1 >= 0.0) {
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
            const double a2 = k * A + b * C, b2 = k * B + b * D;
            const double c2 = s * A + k * C, d2 = s * B + k * D;
            A = a2;
            B = b2;
            C = c2;
            D = d2;
        } else {
            A -= T * C;
            B -= T * D;
        }
    }
    out = {A, B, C, D};
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

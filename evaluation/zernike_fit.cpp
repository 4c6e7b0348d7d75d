#include "evaluation/zernike_fit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "evaluation/point_intensity.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/arg_cells.h"
#include "runtime/list_item_text.h"
#include "runtime/messages.h"
#include "runtime/parameters.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/ray_trace.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kSize = kMaxZernikeTerms + 1;
constexpr double kPivotFloor = 1e-12;

// The rms of each term 2..37 over the unit disk is its coefficient over the square root of
// this: n + 1 for rotationally symmetric terms, 2 (n + 1) for the others (n the radial order).
constexpr unsigned char kFringeNorm[36] = {4,  4,  3,  6,  6,  8,  8,  5,  8,  8,  10, 10,
                                           12, 12, 7,  10, 10, 12, 12, 14, 14, 16, 16, 9,
                                           12, 12, 14, 14, 16, 16, 18, 18, 20, 20, 11, 13};

// The sums of one fit; the matrix holds only its upper triangle until the solve.
struct ZernikeWork {
    double b[kSize];
    double P[kSize];
    double D[kSize];
    double diag[kSize];
    double M[kSize][kSize];
};

void clear_sums(ZernikeWork& w, int n) {
    for (int i = 0; i <= n; ++i) {
        w.b[i] = 0.0;
        for (int j = 0; j <= n; ++j) w.M[i][j] = 0.0;
    }
}

void accumulate(ZernikeWork& w, int n) {
    for (int i = 1; i <= n; ++i) {
        const double pi = w.P[i];
        w.b[i] += pi;
        double* row = w.M[i];
        for (int j = i; j <= n; ++j) row[j] += pi * w.P[j];
    }
}

// Central moments, then the square-root-free Cholesky elimination of the coefficient rows and
// the wavefront row; 0 or the 1-based term whose pivot vanishes (D not positive, or lost below
// 1e-12 of its own variance).
int solve(ZernikeWork& w, double samples, int n, double* c) {
    const int m = n - 1;
    for (int i = 1; i <= n; ++i) w.b[i] /= samples;
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) w.M[i][j] = w.M[i][j] / samples - w.b[i] * w.b[j];
        w.diag[i] = w.M[i][i];
    }
    w.D[1] = w.M[1][1];
    for (int i = 2; i <= n; ++i) {
        w.D[i] = w.M[i][i];
        for (int j = 1; j < i; ++j) {
            w.M[i][j] = w.M[j][i];
            if (w.D[j] != 0.0) {
                double s = w.M[i][j];
                for (int k = 1; k < j; ++k) s -= w.M[j][k] * w.M[i][k] / w.D[k];
                w.M[i][j] = s;
                w.D[i] -= s * s / w.D[j];
            }
        }
    }
    for (int k = 1; k <= m; ++k) {
        if (!(w.D[k] > 0.0) || w.D[k] < kPivotFloor * w.diag[k]) return k + 1;
    }
    c[m] = w.M[n][m] / w.D[m];
    for (int k = m - 1; k >= 1; --k) {
        double s = w.M[n][k];
        for (int l = k + 1; l <= m; ++l) s -= w.M[l][k] * c[l];
        c[k] = s / w.D[k];
    }
    double piston = w.b[n];
    for (int k = 1; k <= m; ++k) piston -= w.b[k] * c[k];
    c[0] = piston;
    double v = w.M[n][n];
    for (int k = 1; k <= m; ++k) v -= w.M[k][n] * c[k];
    c[m + 1] = v >= 0.0 ? std::sqrt(v) : 0.0;
    return 0;
}

double unit_factor() {
    const double u = lens_data().units;
    return u > 0.0 ? u : 1.0;
}

double wave_scale(int w) {
    const LensData& lens = lens_data();
    return lens.opdw ? unit_factor() / (lens.wavelengths[w].wavelength * 0.001) : 1.0;
}

void print_zernike_value(double value) {
    const double limit = lens_data().opdw ? 1e-6 : 1e-10;
    print_number_cell(std::fabs(value) <= limit ? 0.0 : value);
}

// The reference point by mode: y, x offsets and focus for the chooser, and what is added after.
void reference_point(int mode, int wave, double arg_x, double arg_y, double arg_focus, double& y,
                     double& x, double& f) {
    y = x = 0.0;
    f = 0.0;
    if (mode == kZernikeReferenceFitted || mode == kZernikeReferenceGiven ||
        mode == kZernikeReferenceLateral) {
        f = arg_focus;
    }
    if (mode == kZernikeReferenceGiven) {
        y = arg_y;
        x = arg_x;
    }
    select_reference_sphere(mode, wave, y, x, f);
    if (mode == kZernikeReferenceFitted) {
        y += arg_y;
        x += arg_x;
    }
}

void print_heading(int mode) {
    print_msg(-2131);
    if (mode > kZernikeReferenceFitted && select_param_list(kParamZernikeReference) == 0) {
        text_printf("%s", list_item_text(mode));
    }
    text_newline();
}

void print_axis_line() {
    print_msg(lens_data().zrxr ? -2224 : -2223);
    text_newline();
}

void print_coefficients(const double* c, int n, double scale, double rms, double residual) {
    for (int i = 0; i < n; ++i) {
        print_zernike_value(c[i] * scale);
        print_msg(-2068 - i);
        text_newline();
    }
    print_msg(-2105);
    print_number_cell(rms);
    print_msg(-2106);
    print_number_cell_eol(residual);
}

int refuse_singular(int term, int rays) {
    return set_error_msg(kMsgZernikeSingular, term, rays);
}

}  // namespace

int zernike_term_count(int a) {
    if (a < 0) return -1;
    if (a == 0 || a > 24) return 37;
    const int n = a + 1;
    if (n >= 17) return 25;
    if (n >= 10) return 16;
    if (n >= 5) return 9;
    if (n <= 4) return 3;
    return n;
}

void zernike_polynomials(double u, double v, double r2, int count, bool axis_on, double* P) {
    const double p = axis_on ? u : v;
    const double q = axis_on ? v : u;
    P[1] = p;
    P[2] = q;
    if (count <= 2) return;
    const double r4 = r2 * r2;
    P[3] = 2.0 * r2 - 1.0;
    if (count <= 3) return;
    const double A = p * p - q * q;
    const double B = 2.0 * p * q;
    P[4] = A;
    P[5] = B;
    P[6] = (3.0 * r2 - 2.0) * p;
    P[7] = (3.0 * r2 - 2.0) * q;
    P[8] = 6.0 * r4 - 6.0 * r2 + 1.0;
    if (count <= 8) return;
    const double r6 = r4 * r2;
    const double C = A * p - B * q;
    const double E = A * q + B * p;
    P[9] = C;
    P[10] = E;
    P[11] = (4.0 * r2 - 3.0) * A;
    P[12] = (4.0 * r2 - 3.0) * B;
    const double t14 = 10.0 * r4 - 12.0 * r2 + 3.0;
    P[13] = t14 * p;
    P[14] = t14 * q;
    P[15] = 20.0 * r6 - 30.0 * r4 + 12.0 * r2 - 1.0;
    if (count <= 15) return;
    const double r8 = r4 * r4;
    const double G = A * A - B * B;
    const double H = 2.0 * A * B;
    P[16] = G;
    P[17] = H;
    P[18] = (5.0 * r2 - 4.0) * C;
    P[19] = (5.0 * r2 - 4.0) * E;
    const double t21 = 15.0 * r4 - 20.0 * r2 + 6.0;
    P[20] = t21 * A;
    P[21] = t21 * B;
    const double t23 = 35.0 * r6 - 60.0 * r4 + 30.0 * r2 - 4.0;
    P[22] = t23 * p;
    P[23] = t23 * q;
    P[24] = 70.0 * r8 - 140.0 * r6 + 90.0 * r4 - 20.0 * r2 + 1.0;
    if (count <= 24) return;
    const double r10 = r8 * r2;
    const double r12 = r6 * r6;
    P[25] = C * A - E * B;
    P[26] = C * B + E * A;
    P[27] = (6.0 * r2 - 5.0) * G;
    P[28] = (6.0 * r2 - 5.0) * H;
    const double t30 = 21.0 * r4 - 30.0 * r2 + 10.0;
    P[29] = t30 * C;
    P[30] = t30 * E;
    const double t32 = 56.0 * r6 - 105.0 * r4 + 60.0 * r2 - 10.0;
    P[31] = t32 * A;
    P[32] = t32 * B;
    const double t34 = 126.0 * r8 - 280.0 * r6 + 210.0 * r4 - 60.0 * r2 + 5.0;
    P[33] = t34 * p;
    P[34] = t34 * q;
    P[35] = 252.0 * r10 - 630.0 * r8 + 560.0 * r6 - 210.0 * r4 + 30.0 * r2 - 1.0;
    P[36] = 924.0 * r12 - 2772.0 * r10 + 3150.0 * r8 - 1680.0 * r6 + 420.0 * r4 - 42.0 * r2 + 1.0;
}

double zernike_rms(const double* c, int n) {
    double s = 0.0;
    for (int k = 1; k <= n - 1; ++k) s += c[k] * c[k] / kFringeNorm[k - 1];
    return std::sqrt(s);
}

int zernike_fit_wavelength(int wave, int n, double y, double x, double focus, double* c) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const double s = wave_scale(wave);
    const double index = spot_image_index(wave);
    const double R = reference_ray().sphere_radius;
    const RayRecord& ref = reference_ray().ray;
    const bool sphere = !lens.afocal && lens.wrsp != 0;
    double e1 = y, e2 = x, t = 0.0, d = 0.0;
    bool use_d = false;
    if (sphere) {
        if (std::fabs(ref.m) >= kTiny) {
            e2 -= ref.k / ref.m * focus;
            e1 -= ref.l / ref.m * focus;
            t = focus / ref.m + R;
        } else {
            t = R;
        }
        if (std::fabs(t) > kTiny) t = 1.0 / t;
        d = std::fabs(R) > kTiny ? (1.0 / R - t) * index * 0.5 : 0.0;
        use_d = std::fabs(d) > kTiny;
    }
    const std::int32_t first = spot_first_ray(wave);
    const std::int32_t count = st.wave_ray_counts[wave];
    // The pupil of the reference sphere scaled so that the traced extent maps onto the
    // lattice's, else the entrance-pupil lattice itself.
    double q = 0.0;
    if (!get_setting_flag(kSetEntrancePupWvfrntCoords)) {
        double mx = 0.0, my = 0.0;
        for (std::int32_t i = first; i < first + count; ++i) {
            mx = std::max(mx, std::fabs(st.rays[i].px));
            my = std::max(my, std::fabs(st.rays[i].py));
        }
        const double hx = st.x_half_extent[wave], hy = st.y_half_extent[wave];
        if (mx > 0.0 && my > 0.0 && hx > 0.0 && hy > 0.0) {
            const double qq = std::max(mx / hx, my / hy);
            if (std::fabs(qq) > kTiny) q = qq;
        }
    }
    static ZernikeWork work;
    ZernikeWork& w = work;
    clear_sums(w, n);
    const bool axis_on = lens.zrxr != 0;
    const int copies = st.half_pupil ? 2 : 1;
    for (std::int32_t i = first; i < first + count; ++i) {
        const SpotRay& r = st.rays[i];
        double u, v;
        if (q != 0.0) {
            u = r.px / q;
            v = r.py / q;
        } else {
            u = r.col * st.lattice_unit;
            v = r.row * st.lattice_unit;
        }
        double w1, w2;
        if (lens.afocal) {
            w1 = r.opd + index * e1 * r.py;
            w2 = index * e2 * r.px;
        } else if (!sphere) {
            w1 = r.opd + index * (focus * r.nz + e1 * r.ny);
            w2 = index * e2 * r.nx;
        } else {
            w1 = r.opd + index * t * e1 * r.py;
            if (use_d) w1 += d * (r.px * r.px + r.py * r.py + r.pz * r.pz);
            w2 = index * t * e2 * r.px;
        }
        for (int copy = 0; copy < copies; ++copy) {
            const double uu = copy == 0 ? u : -u;
            zernike_polynomials(uu, v, uu * uu + v * v, n - 1, axis_on, w.P);
            w.P[n] = (copy == 0 ? w1 + w2 : w1 - w2) * s;
            accumulate(w, n);
        }
    }
    const double samples = static_cast<double>(count) * copies;
    if (samples <= 0.0) return 2;
    return solve(w, samples, n, c);
}

int cmd_zernike_fit() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const SpotStore& st = spot_store();
    const int mode = arg_int(0);
    const int number = arg_int(1);
    const int n = zernike_term_count(arg_int(5));
    if (n < 0) return set_error_msg(kMsgZernikeTermCount);
    int wave = 0;
    if (const int r = spot_command_wavelength(0, number, wave); r != 0) return r;
    double y = 0.0, x = 0.0, f = 0.0;
    double c[kSize + 1] = {};
    // The fit comes first: a refused fit prints nothing.
    reference_point(mode, wave, arg_double(2), arg_double(3), arg_double(4), y, x, f);
    const int failed = zernike_fit_wavelength(wave, n, y, x, f, c);
    if (failed != 0) {
        return refuse_singular(failed, st.wave_ray_counts[wave] * (st.half_pupil ? 2 : 1));
    }
    print_heading(mode);
    print_msg(-266, wave + 1);
    text_newline();
    print_axis_line();
    print_coefficients(c, n, 1.0, zernike_rms(c, n), c[n]);
    return 0;
}

int cmd_zernike_fit_poly() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    const int mode = arg_int(0);
    const int n = zernike_term_count(arg_int(4));
    if (n < 0) return set_error_msg(kMsgZernikeTermCount);
    double y = 0.0, x = 0.0, f = 0.0;
    reference_point(mode, st.wavelength_capacity + 1, arg_double(1), arg_double(2), arg_double(3),
                    y, x, f);
    double sum[kSize + 1] = {};
    double rms_sum = 0.0, weights = 0.0;
    for (int w = 0; w < lens.wavelength_count && w < st.wavelength_capacity; ++w) {
        if (st.wave_ray_counts[w] <= 0) continue;
        double c[kSize + 1] = {};
        const int failed = zernike_fit_wavelength(w, n, y, x, f, c);
        if (failed != 0) {
            return refuse_singular(failed, st.wave_ray_counts[w] * (st.half_pupil ? 2 : 1));
        }
        const double weight = lens.wavelengths[w].weight;
        for (int i = 0; i <= n; ++i) sum[i] += weight * c[i];
        const double r = zernike_rms(c, n);
        rms_sum += weight * r * r;
        weights += weight;
    }
    const double g = std::fabs(weights) <= kTiny ? 1.0 : 1.0 / weights;
    print_heading(mode);
    if (lens.wavelength_count < 2) {
        print_msg(-266, 1);
    } else {
        print_msg(-2165);
    }
    text_newline();
    print_axis_line();
    print_coefficients(sum, n, g, std::sqrt(std::max(0.0, g * rms_sum)), g * sum[n]);
    return 0;
}

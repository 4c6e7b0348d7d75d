#include "evaluation/coupling.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/psf.h"
#include "evaluation/spot_statistics.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "numeric/fft.h"
#include "numeric/math_functions.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/run_as.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/object_point.h"
#include "trace/ray_record.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

double unit_factor() {
    const double u = lens_data().units;
    return u > 0.0 ? u : 1.0;
}

// The tilted phase of a mode cell, or none.
void set_mode_cell(double* cell, double A, double x, double y, double tilt1, double tilt2,
                   double k) {
    if (std::fabs(tilt1) > kTiny || std::fabs(tilt2) > kTiny) {
        const double t1 = tilt1 * kPi / 180.0, t2 = tilt2 * kPi / 180.0;
        const double phi =
            std::fmod(k * (-x * std::sin(t1) + y * std::sin(t2) * std::cos(t1)), kTwoPi);
        cell[0] = A * std::cos(phi);
        cell[1] = A * std::sin(phi);
    } else {
        cell[0] = A;
        cell[1] = 0.0;
    }
}

// Rounded to four significant digits, printed and recorded.
void print_rounded(double value) {
    text_number_fmt(round_significant(value, 4), 0, 0, 1);
}

}  // namespace

int psf_complex_field(double* work, double* spacing, int wave, int n, int m,
                      double* amplitude_sum) {
    const LensData& lens = lens_data();
    double cy = 0, cx = 0, radius = 0, E2 = 0, E1 = 0;
    if (const int r = find_pupil_extents_quietly(wave, &cy, &cx, &radius, &E2, &E1); r != 0) {
        return r;
    }
    const double E = std::max(E1, E2);
    if (!(E > kTiny)) return kMsgPupilNotFound;
    const double lambda = lens.wavelengths[wave].wavelength;
    const double index = spot_image_index(wave);
    const double U = unit_factor();
    const double R = reference_ray().sphere_radius;
    double s = m * lambda * 0.001 / (n * index * U * E);
    if (!lens.afocal) s *= std::fabs(R);
    *spacing = s;
    const int N1 = std::max(1, static_cast<int>(std::floor(m * E1 / E + 0.5)));
    const int N2 = std::max(1, static_cast<int>(std::floor(m * E2 / E + 0.5)));
    build_pupil_grid(work, *amplitude_sum, wave, n, std::min(N1, n), std::min(N2, n));
    psf_centre_shift(work, n);
    if (const int r = fft_2d(work, work, n, n, 0); r != 0) return r;
    psf_centre_shift(work, n);
    const double C =
        lens.afocal || std::fabs(R) <= kTiny ? 0.0 : U * index * kPi * 1000.0 / (R * lambda);
    const double K1 = reference_ray().ray.k, K2 = reference_ray().ray.l;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double x = (c - n / 2) * s, y = (n / 2 - r) * s;
            const double phi = std::fmod(
                C * (x * x + y * y + 2.0 * R * K1 * x + 2.0 * R * K2 * y) - (r + c - n) * kPi / n,
                kTwoPi);
            double* cell = work + 2LL * (static_cast<long long>(r) * n + c);
            const double re = cell[0], im = cell[1];
            // (sin phi + i cos phi) F, then conjugated.
            const double sp = std::sin(phi), cp = std::cos(phi);
            cell[0] = sp * re - cp * im;
            cell[1] = -(sp * im + cp * re);
        }
    }
    return 0;
}

void mode_overlap(double overlap[2], const double* a, const double* b, int n) {
    double re = 0.0, im = 0.0, aa = 0.0, bb = 0.0;
    for (int r = 1; r < n; ++r) {
        for (int c = 1; c < n; ++c) {
            const long long at = 2LL * (static_cast<long long>(r) * n + c);
            const double ar = a[at], ai = a[at + 1], br = b[at], bi = b[at + 1];
            re += ar * br + ai * bi;
            im += ai * br - ar * bi;
            aa += ar * ar + ai * ai;
            bb += br * br + bi * bi;
        }
    }
    const double product = aa * bb;
    const double norm = product < kTiny ? 1.0 : std::sqrt(product);
    overlap[0] = re / norm;
    overlap[1] = im / norm;
}

void gaussian_mode_field(double* field, int n, double spacing, double waist, double y_offset,
                         double x_offset, double tilt1, double tilt2, double wave_number) {
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double x = (c - n / 2) * spacing - x_offset;
            const double y = (n / 2 - r) * spacing - y_offset;
            const double e = -(x * x + y * y) / (waist * waist);
            const double A = e < -200.0 ? 0.0 : std::exp(e);
            set_mode_cell(field + 2LL * (static_cast<long long>(r) * n + c), A, x, y, tilt1, tilt2,
                          wave_number);
        }
    }
}

void fibre_mode_field(double* field, int n, double spacing, double core_index,
                      double cladding_index, double core_radius, double lambda_um, double y_offset,
                      double x_offset, double tilt1, double tilt2, double wave_number) {
    const double V = (kTwoPi * 1000.0 / lambda_um) *
                     std::sqrt(core_index * core_index - cladding_index * cladding_index) *
                     core_radius * unit_factor();
    const double u = V * (1.0 + std::sqrt(2.0)) / (1.0 + std::pow(4.0 + V * V * V * V, 0.25));
    const double v = std::sqrt(std::max(V * V - u * u, 0.0));
    double j0u = std::cyl_bessel_j(0, u);
    double k0v = v > 0.0 ? bessel_k0(v) : 0.0;
    if (std::fabs(j0u) < kTiny) j0u = 1.0;
    if (std::fabs(k0v) < kTiny || !std::isfinite(k0v)) k0v = 1.0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double x = (c - n / 2) * spacing - x_offset;
            const double y = (n / 2 - r) * spacing - y_offset;
            const double d = std::sqrt(x * x + y * y) / core_radius;
            double A = 0.0;
            if (d <= 1.0) {
                A = std::cyl_bessel_j(0, u * d) / j0u;
            } else if (v > 0.0) {
                A = bessel_k0(v * d) / k0v;
                if (!std::isfinite(A)) A = 0.0;
            }
            set_mode_cell(field + 2LL * (static_cast<long long>(r) * n + c), A, x, y, tilt1, tilt2,
                          wave_number);
        }
    }
}

int cmd_coupling_efficiency() {
    const LensData& lens = lens_data();
    if (lens.afocal) return set_error_msg(kMsgCouplingAfocal);
    int number = arg_int(0);
    const int mode = arg_int(1);
    double waist = arg_double(2);
    if (waist < kTiny) waist = 0.01;
    double core = arg_double(3);
    if (core < 1.0) core = 1.5;
    double cladding = arg_double(4);
    if (cladding >= core) cladding = 0.99 * core;
    double radius = arg_double(5);
    if (radius < kTiny) radius = 0.01;
    const int grid_argument = arg_int(7);
    if (grid_argument >= 8192) return set_error_msg(-2381, 8191);
    const int n = fft_grid_size(grid_argument);
    int m = arg_int(8);
    if (m >= n) m = n / 2;
    if (m < 1) m = 1;
    const double y_offset = arg_double(9), x_offset = arg_double(10);
    const double tilt1 = arg_double(11), tilt2 = arg_double(12);
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        const int r = set_object_point();
        if (r != 0) return r;
    }
    if (number <= 0 || number > lens.wavelength_count) number = reference_ray().ray.wavelength + 1;
    const int wave = number - 1;
    std::vector<double> image, mode_field;
    try {
        image.assign(2ULL * n * n, 0.0);
        mode_field.assign(2ULL * n * n, 0.0);
    } catch (const std::bad_alloc&) {
        return -10;
    }
    double spacing = 0.0, amplitude_sum = 0.0;
    if (const int r = psf_complex_field(image.data(), &spacing, wave, n, m, &amplitude_sum);
        r != 0) {
        return r;
    }
    const double lambda = lens.wavelengths[wave].wavelength;
    const double k = spot_image_index(wave) * kTwoPi * 1000.0 / lambda * unit_factor();
    if (mode == 1) {
        fibre_mode_field(mode_field.data(), n, spacing, core, cladding, radius, lambda, y_offset,
                         x_offset, tilt1, tilt2, k);
    } else {
        gaussian_mode_field(mode_field.data(), n, spacing, waist, y_offset, x_offset, tilt1, tilt2,
                            k);
    }
    double c[2] = {0.0, 0.0};
    mode_overlap(c, image.data(), mode_field.data(), n);
    const double eta = c[0] * c[0] + c[1] * c[1];
    const double db = eta < kTiny ? 0.0 : 10.0 * std::log10(eta);

    print_msg(-2193);
    text_newline();
    print_msg(-2171, number);
    text_newline();
    warn_multiple_configurations();
    if (mode == 1) {
        print_msg(-2199);
        print_msg(-2200);
        text_number(core);
        print_msg(-2201);
        text_number(cladding);
        print_msg(-2202);
        text_number(radius);
    } else {
        print_msg(-2195);
        text_number(waist);
    }
    text_newline();
    print_msg(-2203);
    text_number(y_offset);
    print_msg(-2204);
    text_number(x_offset);
    text_newline();
    print_msg(-2205);
    text_number(tilt1);
    print_msg(-2206);
    text_number(tilt2);
    text_newline();
    const std::uint8_t trim = get_setting_flag(kSetTrimNumericOutput);
    set_setting_flag(kSetTrimNumericOutput, 1);
    print_msg(-2196);
    print_rounded(eta);
    print_msg(-2207);
    print_rounded(db);
    print_msg(-2208);
    text_newline();
    print_msg(-2197);
    print_rounded(c[0]);
    print_msg(-2198);
    print_rounded(c[1]);
    text_newline();
    set_setting_flag(kSetTrimNumericOutput, trim);
    return 0;
}

int cmd_coupling_efficiency_short() {
    ArgCell cells[13] = {};
    for (int i = 0; i < 6; ++i) {
        if (const ArgCell* from = arg_cell(i)) cells[i] = *from;
    }
    // The unused list cell of the full command: a list value with no entry.
    cells[6].type = kArgChar;
    cells[6].value.i = -1;
    for (int i = 6; i < 12; ++i) {
        if (const ArgCell* from = arg_cell(i)) cells[i + 1] = *from;
    }
    return run_as_command(kCmdCouplingEfficiency, cmd_coupling_efficiency, cells, 13);
}

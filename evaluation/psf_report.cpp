#include "evaluation/psf_report.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/psf.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/object_point.h"
#include "trace/ray_record.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kInvE2 = 0.1353352832366127;

double linear_fraction(double near, double far, double level) {
    return std::fabs(near - far) < kTiny ? 0.0 : (near - level) / (near - far);
}

// Distance in cells from the peak to where the scan falls through level, or -1.
double scan_crossing(double* const* grid, int n, int lo, int hi, int row, int col, int dr, int dc,
                     double level) {
    int r = row, c = col;
    for (int passed = 0;; ++passed) {
        const int r2 = r + dr, c2 = c + dc;
        if (r2 < lo || r2 > hi || c2 < lo || c2 > hi) return -1.0;
        const double near = grid[r][c], far = grid[r2][c2];
        if (far <= level && level <= near) {
            double t = linear_fraction(near, far, level);
            const int r3 = r2 + dr, c3 = c2 + dc;
            const bool far_edge = r3 < lo || r3 > hi || c3 < lo || c3 > hi;
            if (std::fabs(level - far) <= std::fabs(near - level) && !far_edge) {
                t = interpolate_crossing(near, far, grid[r3][c3], level, 0, t);
            } else {
                const int rb = r - dr, cb = c - dc;
                if (rb >= 0 && rb < n && cb >= 0 && cb < n) {
                    t = interpolate_crossing(grid[rb][cb], near, far, level, 1, t);
                }
            }
            return passed + t;
        }
        r = r2;
        c = c2;
    }
}

void print_pair(double y, double x) {
    text_number(y);
    text_spaces(2);
    text_number(x);
}

}  // namespace

double interpolate_crossing(double y0, double y1, double y2, double level, int segment,
                            double linear) {
    const double d1 = 3.0 * y0 - 4.0 * y1 + y2;
    const double d2 = y0 - 2.0 * y1 + y2;
    const double disc = d1 * d1 - 8.0 * (y0 - level) * d2;
    if (disc < 0.0 || std::fabs(2.0 * d2) < kTiny) return linear;
    const double root = std::sqrt(disc);
    for (double t : {(d1 + root) / (2.0 * d2), (d1 - root) / (2.0 * d2)}) {
        if (t >= segment && t <= segment + 1) {
            return t - segment;
        }
    }
    return linear;
}

void psf_moments(double* const* grid, PsfMoments* x, PsfMoments* y, int n, int window) {
    *x = PsfMoments{};
    *y = PsfMoments{};
    psf_centroid(grid, &x->centroid, &y->centroid, n, window);
    const int h = psf_window_half(n, window);
    double S = 0, sx = 0, sy = 0, sxx = 0, syy = 0, x3 = 0, y3 = 0, x4 = 0, y4 = 0, ax = 0, ay = 0;
    for (int r = n / 2 - h; r <= n / 2 + h; ++r) {
        for (int c = n / 2 - h; c <= n / 2 + h; ++c) {
            const double I = grid[r][c];
            const double dx = (c - n / 2) - x->centroid, dy = (n / 2 - r) - y->centroid;
            S += I;
            sx += I * dx;
            sy += I * dy;
            sxx += I * dx * dx;
            syy += I * dy * dy;
            x3 += I * dx * dx * dx;
            y3 += I * dy * dy * dy;
            x4 += I * dx * dx * dx * dx;
            y4 += I * dy * dy * dy * dy;
            ax += I * std::fabs(dx);
            ay += I * std::fabs(dy);
        }
    }
    if (S < kTiny) return;
    x->variance = (sxx - sx * sx / S) / S;
    y->variance = (syy - sy * sy / S) / S;
    x->third = x3 / S;
    y->third = y3 / S;
    x->fourth = x4 / S;
    y->fourth = y4 / S;
    x->mean_abs = ax / S;
    y->mean_abs = ay / S;
}

void psf_peak_widths(double* const* grid, double spacing, int n, int window, PsfPeak* peak) {
    *peak = PsfPeak{};
    const int h = psf_window_half(n, window);
    const int lo = n / 2 - h, hi = n / 2 + h;
    int pr = lo, pc = lo;
    double P = grid[lo][lo];
    for (int r = lo; r <= hi; ++r) {
        for (int c = lo; c <= hi; ++c) {
            if (grid[r][c] > P) {
                P = grid[r][c];
                pr = r;
                pc = c;
            }
        }
    }
    double x = (pc - n / 2) * spacing, y = (n / 2 - pr) * spacing;
    // A peak off the window's edge is refined on the parabola through its neighbours.
    if (pr > lo && pc > lo && pr < hi && pc < hi) {
        const double I = grid[pr][pc];
        const double left = grid[pr][pc - 1], right = grid[pr][pc + 1];
        const double up = grid[pr - 1][pc], down = grid[pr + 1][pc];
        const double gx = (right - left) / 2.0, gy = (up - down) / 2.0;
        const double hxx = left - 2.0 * I + right, hyy = down - 2.0 * I + up;
        const double hxy = (grid[pr - 1][pc + 1] - grid[pr - 1][pc - 1] - grid[pr + 1][pc + 1] +
                            grid[pr + 1][pc - 1]) /
                           4.0;
        const double det = hxx * hyy - hxy * hxy;
        if (std::fabs(det) > kTiny) {
            double dx = (hxy * gy - hyy * gx) / det, dy = (hxy * gx - hxx * gy) / det;
            if (std::fabs(dx) < 1e-12) dx = 0.0;
            if (std::fabs(dy) < 1e-12) dy = 0.0;
            const double rise = (0.5 * hyy * dy + gy) * dy + (0.5 * hxx * dx + hxy * dy + gx) * dx;
            if (std::fabs(dx) <= 1.0 && std::fabs(dy) <= 1.0 && rise >= 0.0) {
                P += rise;
                x += dx * spacing;
                y += dy * spacing;
            }
        }
    }
    peak->x = x;
    peak->y = y;
    peak->value = P;
    const double levels[2] = {P / 2.0, P * kInvE2};
    double width_x[2] = {0, 0}, width_y[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        const double up = scan_crossing(grid, n, lo, hi, pr, pc, -1, 0, levels[k]);
        const double down = scan_crossing(grid, n, lo, hi, pr, pc, 1, 0, levels[k]);
        const double left = scan_crossing(grid, n, lo, hi, pr, pc, 0, -1, levels[k]);
        const double right = scan_crossing(grid, n, lo, hi, pr, pc, 0, 1, levels[k]);
        width_y[k] = (std::max(up, 0.0) + std::max(down, 0.0)) * spacing;
        width_x[k] = (std::max(left, 0.0) + std::max(right, 0.0)) * spacing;
    }
    peak->half_x = width_x[0];
    peak->half_y = width_y[0];
    peak->e2_x = width_x[1];
    peak->e2_y = width_y[1];
}

int cmd_psf_report() {
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        const int r = set_object_point();
        if (r != 0) return r;
    }
    const LensData& lens = lens_data();
    const bool encircled = current_command() != kCmdPsfEnsquared;
    const bool polychromatic = arg_int(0) == 1 && lens.wavelength_count >= 2;
    int number = arg_int(1);
    if (number <= 0 || number > lens.wavelength_count) {
        number = reference_ray().ray.wavelength + 1;
    }
    const int grid_argument = arg_int(2);
    if (grid_argument >= 8192) return set_error_msg(kMsgPsfGridTooLarge, 8191);
    const int n = fft_grid_size(grid_argument);
    int m = arg_int(3);
    if (m >= n) m = n / 2;
    if (m < 1) m = 1;
    const int window = arg_int(4);
    const bool energy_against_size = arg_int(5) != 0;
    const double energy_step = arg_double(6);
    const double size_step = arg_double(7);
    const int rows = std::max(arg_int(8), 2);
    if (rows > kMaxPsfRows) return set_error_msg(kMsgPsfTooManyRows, kMaxPsfRows);

    double** grid = alloc_matrix_of<double>(n, n);
    double* values = alloc_array_of<double>(rows);
    struct Free {
        double** g;
        double* v;
        ~Free() {
            if (g != nullptr) free_matrix_of(g);
            mem_free(v);
        }
    } free_guard{grid, values};
    if (grid == nullptr || values == nullptr) return -10;

    double spacing = 0.0, scale = 0.0;
    if (const int r = compute_psf(grid, &spacing, &scale, polychromatic, number - 1, n, m);
        r != 0) {
        return r;
    }
    PsfMoments mx, my;
    psf_moments(grid, &mx, &my, n, window);
    const int h = psf_window_half(n, window);
    double step_cells = energy_step;
    if (energy_against_size) {
        if (size_step >= kTiny && spacing > 0.0) {
            step_cells = size_step / spacing;
        } else {
            step_cells = (2.0 * h) / (rows - 1);
            if (encircled) step_cells *= 0.5;
        }
    }
    const int mode = energy_against_size ? 0 : 1;
    const PsfGridView view{
        .cells = grid, .n = n, .window = window, .x0 = mx.centroid, .y0 = my.centroid};
    const int r = encircled ? psf_width_stats(view, values, step_cells, rows, mode)
                            : psf_energy_stats(view, values, step_cells, rows, mode);
    if (r != 0) return r;

    print_msg(encircled ? -2177 : -2178);
    text_newline();
    if (polychromatic) {
        print_msg(-2165);
    } else {
        print_msg(-2171, number);
    }
    text_newline();
    warn_multiple_configurations();
    if (!energy_against_size) {
        text_spaces(1);
        print_msg(-2179);
        if (encircled) {
            text_spaces(6);
            print_msg(-2180);
        } else {
            text_spaces(2);
            print_msg(-2181);
        }
    } else {
        if (encircled) {
            text_spaces(7);
            print_msg(-2180);
            text_spaces(5);
        } else {
            text_spaces(2);
            print_msg(-2181);
            text_spaces(2);
        }
        print_msg(-2179);
    }
    text_newline();
    for (int i = 0; i < rows; ++i) {
        text_spaces(3);
        text_number(energy_against_size ? i * step_cells * spacing : i * energy_step);
        text_spaces(6);
        text_number(energy_against_size ? std::min(values[i], 1.0) : values[i] * spacing);
        text_newline();
    }
    const double s = spacing;
    print_msg(-2182);
    text_newline();
    print_msg(-2183);
    print_pair(my.centroid * s, mx.centroid * s);
    print_msg(-2227);
    print_pair(my.mean_abs * s, mx.mean_abs * s);
    text_newline();
    print_msg(-2184);
    print_pair(my.variance * s * s, mx.variance * s * s);
    print_msg(-2216);
    print_pair(my.variance > 0.0 ? std::sqrt(my.variance) * s : 0.0,
               mx.variance > 0.0 ? std::sqrt(mx.variance) * s : 0.0);
    text_newline();
    auto skew = [](const PsfMoments& p) {
        const double v3 = p.variance * p.variance * p.variance;
        return v3 > 0.0 ? p.third / std::sqrt(v3) : 0.0;
    };
    auto kurtosis = [](const PsfMoments& p) {
        const double v2 = p.variance * p.variance;
        return v2 > 0.0 ? p.fourth / v2 - 3.0 : 0.0;
    };
    print_msg(-2185);
    print_pair(my.third * s * s * s, mx.third * s * s * s);
    print_msg(-2217);
    print_pair(skew(my), skew(mx));
    text_newline();
    print_msg(-2186);
    print_pair(my.fourth * s * s * s * s, mx.fourth * s * s * s * s);
    print_msg(-2218);
    print_pair(kurtosis(my), kurtosis(mx));
    text_newline();
    PsfPeak peak;
    psf_peak_widths(grid, spacing, n, window, &peak);
    text_newline();
    print_msg(-2228);
    print_pair(peak.y, peak.x);
    print_msg(-2229);
    text_number(peak.value);
    text_newline();
    print_msg(-2226);
    print_pair(peak.e2_y, peak.e2_x);
    print_msg(-2225);
    print_pair(peak.half_y, peak.half_x);
    text_newline();
    return 0;
}

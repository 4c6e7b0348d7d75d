#include "evaluation/sections.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/psf.h"
#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "numeric/cubic_spline.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "trace/object_point.h"
#include "trace/ray_record.h"

namespace {

constexpr double kTiny = 1e-40;

// Normalises the cells by their peak, splines them and evaluates the line spread, then the
// running sums shifted by half a cell for the edge spread.
int finish_curves(std::vector<double>& x, std::vector<double>& cells, double peak, double half_cell,
                  const SectionSampling& sampling, const SectionCurves& out) {
    double* const abscissae = out.abscissae;
    double* const line = out.line;
    double* const edge = out.edge;
    const int points = sampling.points;
    const double inv = peak < kTiny ? 1.0 : 1.0 / peak;
    for (double& c : cells) c *= inv;
    double start = sampling.start, end = sampling.end;
    if (start > end) std::swap(start, end);
    const double step = points > 1 ? (end - start) / (points - 1) : 0.0;
    const int n = static_cast<int>(cells.size());
    std::vector<double> m(n);
    if (const int r = spline_coefficients(x.data(), cells.data(), n, kSplineNoSlope, kSplineNoSlope,
                                          m.data());
        r != 0) {
        return r;
    }
    for (int i = 0; i < points; ++i) {
        abscissae[i] = start + i * step;
        spline_eval(x.data(), cells.data(), m.data(), n, abscissae[i], &line[i]);
    }
    if (!sampling.with_edge) return 0;
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        sum += cells[k];
        cells[k] = sum;
        x[k] += half_cell;
    }
    const double inv_sum = sum < kTiny ? 1.0 : 1.0 / sum;
    for (double& c : cells) c *= inv_sum;
    if (const int r = spline_coefficients(x.data(), cells.data(), n, kSplineNoSlope, kSplineNoSlope,
                                          m.data());
        r != 0) {
        return r;
    }
    for (int i = 0; i < points; ++i) {
        spline_eval(x.data(), cells.data(), m.data(), n, abscissae[i], &edge[i]);
    }
    return 0;
}

void print_rows(const double* abscissae, const double* line, const double* edge, int points) {
    for (int i = 0; i < points; ++i) {
        text_spaces(2);
        text_number(std::fabs(abscissae[i]) < 1e-12 ? 0.0 : abscissae[i]);
        text_spaces(3);
        text_number(line[i]);
        text_spaces(3);
        text_number(edge[i]);
        text_newline();
    }
}

struct Curves {
    std::vector<double> x, line, edge;
    bool make(int points) {
        try {
            x.assign(points, 0.0);
            line.assign(points, 0.0);
            edge.assign(points, 0.0);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    SectionCurves out(double* peak) { return {x.data(), line.data(), edge.data(), peak}; }
};

}  // namespace

int spot_section_curves(const SectionSampling& sampling, double dz, double width, int bins,
                        const SectionCurves& out) {
    const SpotStore& st = spot_store();
    const bool x_section = sampling.axis != 0;
    const bool mirrored = x_section && st.half_pupil != 0;
    try {
        std::vector<double> c(st.ray_count);
        double M = 0.0;
        for (std::int32_t i = 0; i < st.ray_count; ++i) {
            double x = 0.0, y = 0.0;
            ray_offset_from_reference(0, i, x, y, dz);
            c[i] = x_section ? x : y;
            if (std::isfinite(c[i])) M = std::max(M, std::fabs(c[i]));
        }
        SectionSampling over = sampling;
        if (std::fabs(over.start) < kTiny && std::fabs(over.end) < kTiny) {
            over.start = -M;
            over.end = M;
        }
        if (bins < 10) bins = 201;
        if (bins % 2 == 0) ++bins;
        const double delta = std::max(2.0 * M / (bins - 1), kTiny);
        if (width < 0.0) width = 0.0;
        if (std::fabs(width) < kTiny) width = 2.0 * delta;
        const double half_length = std::floor(width / delta + 0.5);
        const double cells = bins + 2.0 + 2.0 * half_length;
        if (!(cells <= kMaxSectionCells)) {
            return set_error_msg(kMsgSectionTooManyBins, kMaxSectionCells);
        }
        const int K = static_cast<int>(half_length);
        std::vector<double> kernel(2 * K + 1, 1.0);
        if (K > 0) {
            for (int j = -K; j <= K; ++j) {
                const double e = -1.3862943611198906 * (j * delta) * (j * delta) / (width * width);
                kernel[j + K] = e < -200.0 ? 0.0 : std::exp(e);
            }
        }
        const int N = static_cast<int>(cells);
        std::vector<double> hist(N, 0.0), x(N);
        for (int k = 0; k < N; ++k) x[k] = (k - N / 2) * delta;
        auto add = [&](double centre, double weight) {
            if (!std::isfinite(centre)) return;
            const double k0 = centre + N / 2;
            for (int j = -K; j <= K; ++j) {
                const double k = k0 + j;
                if (k >= 0 && k < N) hist[static_cast<int>(k)] += weight * kernel[j + K];
            }
        };
        for (std::int32_t i = 0; i < st.ray_count; ++i) {
            const double a = st.rays[i].amplitude;
            add(std::floor(c[i] / delta + 0.5), a * a);
            if (mirrored) add(std::floor(0.5 - c[i] / delta), a * a);
        }
        double p = *std::max_element(hist.begin(), hist.end());
        const double reported = (!x_section && st.half_pupil != 0) ? 2.0 * p : p;
        if (out.peak != nullptr) *out.peak = reported;
        return finish_curves(x, hist, p, delta / 2.0, over, out);
    } catch (const std::bad_alloc&) {
        return -10;
    }
}

int psf_section_curves(const PsfGridView& psf, const SectionSampling& sampling,
                       const SectionCurves& out) {
    double* const* grid = psf.cells;
    const int n = psf.n;
    const double spacing = psf.spacing;
    const int h = psf_window_half(n, psf.window);
    const bool x_section = sampling.axis != 0;
    try {
        std::vector<double> x(2 * h + 1), cells(2 * h + 1, 0.0);
        for (int k = 0; k <= 2 * h; ++k) {
            if (x_section) {
                const int column = n / 2 - h + k;
                for (int r = n / 2 - h; r <= n / 2 + h; ++r) cells[k] += grid[r][column];
                x[k] = ((column - n / 2) - psf.x0) * spacing;
            } else {
                // Bottom row first, so that the abscissae increase.
                const int row = n / 2 + h - k;
                for (int c = n / 2 - h; c <= n / 2 + h; ++c) cells[k] += grid[row][c];
                x[k] = ((n / 2 - row) - psf.y0) * spacing;
            }
        }
        const double p = *std::max_element(cells.begin(), cells.end());
        if (out.peak != nullptr) *out.peak = p;
        return finish_curves(x, cells, p, spacing / 2.0, sampling, out);
    } catch (const std::bad_alloc&) {
        return -10;
    }
}

int cmd_spot_sections() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const int axis = arg_int(0);
    const int points = std::max(arg_int(3), 1);
    const double dz = arg_double(5);
    Curves c;
    if (!c.make(points)) return -10;
    double peak = 0.0;
    const int r = spot_section_curves(
        {.start = arg_double(1), .end = arg_double(2), .points = points, .axis = axis}, dz,
        arg_double(4), arg_int(6), c.out(&peak));
    if (r != 0) return r;
    const bool afocal = lens_data().afocal != 0;
    print_msg(-2189);
    text_out(axis != 0 ? "X\n" : "Y\n");
    warn_multiple_configurations();
    print_msg(afocal ? -2190 : -2191);
    text_newline();
    print_rows(c.x.data(), c.line.data(), c.edge.data(), points);
    if (std::fabs(dz) >= kTiny && !afocal) {
        print_msg(-2034);
        print_number_cell_eol(dz);
    }
    return 0;
}

int cmd_psf_sections() {
    const LensData& lens = lens_data();
    const int axis = arg_int(0);
    const bool polychromatic = arg_int(1) == 1 && lens.wavelength_count >= 2;
    const int grid_argument = arg_int(6);
    if (grid_argument >= 8192) return set_error_msg(-2381, 8191);
    const int n = fft_grid_size(grid_argument);
    int m = arg_int(7);
    if (m >= n) m = n / 2;
    if (m < 1) m = 1;
    const int window = arg_int(8);
    const int points = std::max(arg_int(5), 1);
    if (test_state_flag(kFlagReferenceRayCurrent) == 0) {
        const int r = set_object_point();
        if (r != 0) return r;
    }
    int number = arg_int(2);
    if (number <= 0 || number > lens.wavelength_count) number = reference_ray().ray.wavelength + 1;
    double** grid = alloc_matrix_of<double>(n, n);
    if (grid == nullptr) return -10;
    struct Free {
        double** g;
        ~Free() { free_matrix_of(g); }
    } free_guard{grid};
    double spacing = 0.0, scale = 0.0;
    if (const int r = compute_psf(grid, &spacing, &scale, polychromatic, number - 1, n, m);
        r != 0) {
        return r;
    }
    double start = arg_double(3), end = arg_double(4);
    const int h = psf_window_half(n, window);
    if (std::fabs(start) < kTiny && std::fabs(end) < kTiny) {
        start = -h * spacing;
        end = h * spacing;
    }
    if (start > end) std::swap(start, end);
    double x0 = 0.0, y0 = 0.0;
    psf_centroid(grid, &x0, &y0, n, window);
    Curves c;
    if (!c.make(points)) return -10;
    double peak = 0.0;
    const int r = psf_section_curves(
        {.cells = grid, .n = n, .window = window, .x0 = x0, .y0 = y0, .spacing = spacing},
        {.start = start, .end = end, .points = points, .axis = axis}, c.out(&peak));
    if (r != 0) return r;
    print_msg(-2192);
    text_out(axis != 0 ? "X - " : "Y - ");
    if (polychromatic) {
        print_msg(-2165);
    } else {
        print_msg(-2171, number);
    }
    text_newline();
    warn_multiple_configurations();
    print_msg(lens.afocal ? -2190 : -2191);
    text_newline();
    print_rows(c.x.data(), c.line.data(), c.edge.data(), points);
    return 0;
}

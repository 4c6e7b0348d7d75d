#include "evaluation/mtf_autocorrelation.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/mtf_curves.h"
#include "evaluation/mtf_shared.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"

namespace {

constexpr double kTiny = 1e-40;

struct Quadratic {
    double a = 0, b = 0, c = 0;
    double at(double x) const { return (a * x + b) * x + c; }
};

// The parabola through three points.
Quadratic parabola(const double* x, const double* y) {
    const double d01 = (y[1] - y[0]) / (x[1] - x[0]);
    const double d12 = (y[2] - y[1]) / (x[2] - x[1]);
    Quadratic q;
    q.a = (d12 - d01) / (x[2] - x[0]);
    q.b = d01 - q.a * (x[0] + x[1]);
    q.c = y[0] - (q.a * x[0] + q.b) * x[0];
    return q;
}

// One run of consecutive samples one grid step apart, extended half a step at both ends, with
// one quadratic per interval. Coordinates are in grid steps from the row's origin.
struct Run {
    std::vector<double> x, w, a;
    std::vector<Quadratic> wq, aq;
    double start = 0, end = 0;

    // Index of the interval holding t, walking forward from the cursor.
    int interval(double t, int& cursor) const {
        const int last = static_cast<int>(x.size()) - 2;
        if (cursor > last || cursor < 0 || t < x[cursor]) cursor = 0;
        while (cursor < last && t > x[cursor + 1]) ++cursor;
        return cursor;
    }
};

// Extends the values of a run of two or more samples half a step beyond both ends: linearly
// for two samples, on the parabola through the three end samples otherwise.
void extend(std::vector<double>& v) {
    const std::size_t m = v.size();
    if (m == 2) {
        const double y1 = v[0], y2 = v[1];
        v.insert(v.begin(), (3.0 * y1 - y2) / 2.0);
        v.push_back((3.0 * y2 - y1) / 2.0);
        return;
    }
    const double f = (3.75 * v[0] - 2.5 * v[1] + 0.75 * v[2]) / 2.0;
    const double l = (3.75 * v[m - 1] - 2.5 * v[m - 2] + 0.75 * v[m - 3]) / 2.0;
    v.insert(v.begin(), f);
    v.push_back(l);
}

void fit_quadratics(const std::vector<double>& x, const std::vector<double>& y,
                    std::vector<Quadratic>& out) {
    const int M = static_cast<int>(x.size());
    std::vector<Quadratic> runs(M - 2);
    for (int k = 0; k + 2 < M; ++k) runs[k] = parabola(&x[k], &y[k]);
    out.assign(M - 1, Quadratic{});
    for (int k = 0; k < M - 1; ++k) {
        if (k == 0) {
            out[k] = runs[0];
        } else if (k == M - 2) {
            out[k] = runs[M - 3];
        } else {
            out[k] = {(runs[k - 1].a + runs[k].a) / 2.0, (runs[k - 1].b + runs[k].b) / 2.0,
                      (runs[k - 1].c + runs[k].c) / 2.0};
        }
    }
}

// Builds the run from samples xs[from..to) (grid-step coordinates), adding the squared
// amplitudes of the samples to the normaliser.
Run make_run(const std::vector<double>& xs, const std::vector<double>& ws,
             const std::vector<double>& as, std::size_t from, std::size_t to, bool ideal,
             bool amplitudes_vary, double& normaliser) {
    Run r;
    r.x.assign(xs.begin() + from, xs.begin() + to);
    r.w.assign(ws.begin() + from, ws.begin() + to);
    r.a.assign(as.begin() + from, as.begin() + to);
    for (double a : r.a) normaliser += a * a;
    const bool one = r.x.size() == 1;
    if (one) {
        const double x1 = r.x[0];
        r.x = {x1 - 0.5, x1, x1 + 0.5};
        r.w = {r.w[0], r.w[0], r.w[0]};
        r.a = {r.a[0], r.a[0], r.a[0]};
    } else {
        const std::size_t m = r.x.size();
        const double x0 = (3.0 * r.x[0] - r.x[1]) / 2.0;
        const double xe = (3.0 * r.x[m - 1] - r.x[m - 2]) / 2.0;
        r.x.insert(r.x.begin(), x0);
        r.x.push_back(xe);
        extend(r.w);
        if (amplitudes_vary) {
            extend(r.a);
        } else {
            r.a.insert(r.a.begin(), r.a[0]);
            r.a.push_back(r.a.back());
        }
    }
    if (!ideal) fit_quadratics(r.x, r.w, r.wq);
    if (amplitudes_vary) fit_quadratics(r.x, r.a, r.aq);
    r.start = r.x.front();
    r.end = r.x.back();
    return r;
}

// What every row of one call shares: the lattice, the shear per frequency step and the phase
// scale, read once from the store and the lens.
struct RowSetting {
    int direction = 0;
    double u = kLatticeUnit;  // lattice unit
    double g = 2.0;           // grid steps per lattice unit, at least one unit each way
    double sigma = 0.0;       // shear per frequency step, as a fraction of the pupil
    double P = 0.0;           // degrees of phase per unit of wavefront
    bool ideal = false;
    bool amplitudes_vary = false;
    bool half_x = false;  // a half pupil mirrored into the other half along x
    const double* table = nullptr;
};

RowSetting row_setting(const MtfRequest& q, double C) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    RowSetting r;
    r.direction = q.direction;
    r.u = st.lattice_unit > 0.0 ? st.lattice_unit : kLatticeUnit;
    const double D = st.divisions > 0.0 ? st.divisions : 1.0;
    const double e = std::floor(1.0 / (r.u * D) + 0.5);
    r.g = std::max(2.0 * e, 2.0);
    const double Zp = q.direction == 0 ? st.x_half_extent[q.wave] : st.y_half_extent[q.wave];
    r.sigma = Zp * q.S / C;
    r.P = mtf_unit_factor() * 360000.0 / lens.wavelengths[q.wave].wavelength;
    r.ideal = mtf_ideal_pupil();
    r.amplitudes_vary = lens.spot_settings->ray_amplitudes_vary != 0 || st.apodisation_on != 0;
    r.half_x = st.half_pupil != 0 && q.direction == 0;
    r.table = st.sine_table;
    return r;
}

// The row (or column) a ray lies in, for frequencies along the direction.
std::int32_t row_key(const SpotStore& st, int direction, std::int32_t i) {
    return direction == 0 ? st.rays[i].row : st.rays[i].col;
}

// The rays of the wavelength, ordered by row, each row in its stored order.
std::vector<std::int32_t> rays_by_row(const SpotStore& st, int direction, std::int32_t first_ray,
                                      std::int32_t count) {
    std::vector<std::int32_t> order(count);
    for (std::int32_t i = 0; i < count; ++i) order[i] = first_ray + i;
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return row_key(st, direction, a) < row_key(st, direction, b);
    });
    return order;
}

// The samples of one row, reused from row to row.
struct RowSamples {
    std::vector<double> xs, ws, as;
    std::vector<Run> runs;
};

// The samples of rays order[from..to) (one row) in grid steps along the row, sorted; a half
// pupil adds the mirror image of each. False when the sort cannot get its memory.
bool gather_row(const RowSetting& rs, const ShiftedWavefront& wavefront,
                const std::vector<std::int32_t>& order, std::int32_t from, std::int32_t to,
                RowSamples& row) {
    const SpotStore& st = spot_store();
    row.xs.clear();
    row.ws.clear();
    row.as.clear();
    for (std::int32_t i = from; i < to; ++i) {
        const SpotRay& r = st.rays[order[i]];
        const double x = (rs.direction == 0 ? r.col : r.row) / rs.g;
        const double w = wavefront.at(r);
        const double a = rs.amplitudes_vary ? r.amplitude : 1.0;
        row.xs.push_back(x);
        row.ws.push_back(w);
        row.as.push_back(a);
        if (rs.half_x) {
            row.xs.push_back(-x);
            row.ws.push_back(w);
            row.as.push_back(a);
        }
    }
    const int m = static_cast<int>(row.xs.size());
    return sort_three_by_key(row.xs.data(), row.ws.data(), row.as.data(), m) == 0;
}

// The row's runs: the whole row, or with gaps in the pupil the pieces one grid step apart.
void split_into_runs(const RowSetting& rs, RowSamples& row, double& normaliser) {
    const SpotStore& st = spot_store();
    const int m = static_cast<int>(row.xs.size());
    row.runs.clear();
    std::size_t from = 0;
    for (int i = 1; i <= m; ++i) {
        const bool split =
            i == m || (st.pupil_gap != 0 && std::fabs(row.xs[i] - row.xs[i - 1] - 1.0) > 1e-9);
        if (!split) continue;
        row.runs.push_back(
            make_run(row.xs, row.ws, row.as, from, i, rs.ideal, rs.amplitudes_vary, normaliser));
        from = i;
    }
}

// The integral of run a against run b sheared by twice hs grid steps, by the midpoint rule
// over their overlap, added to (sum_re, sum_im).
void add_sheared_overlap(const RowSetting& rs, const Run& ra, const Run& rb, double hs,
                         double& sum_re, double& sum_im) {
    const double lo = std::max(ra.start + hs, rb.start - hs);
    const double hi = std::min(ra.end + hs, rb.end - hs);
    const double L = hi - lo;
    if (!(L > 0.0)) return;
    const double K = std::max(1.0, std::ceil(L));
    const double step = L / K;
    const double weight = step;
    int ca = 0, cb = 0;
    for (double s = 0; s < K; s += 1.0) {
        const double mid = lo + step * (s + 0.5);
        const double x1 = mid - hs, x2 = mid + hs;
        double A = weight;
        if (rs.amplitudes_vary) {
            A *= ra.aq[ra.interval(x1, ca)].at(x1) * rb.aq[rb.interval(x2, cb)].at(x2);
        }
        if (rs.ideal) {
            sum_re += A;
            continue;
        }
        const double w1 = ra.wq[ra.interval(x1, ca)].at(x1);
        const double w2 = rb.wq[rb.interval(x2, cb)].at(x2);
        const double dw = w1 - w2;
        const int d = mtf_whole_degrees(dw, rs.P);
        sum_re += A * rs.table[d + 90];
        if (!rs.half_x) sum_im += dw >= 0.0 ? A * rs.table[d] : -A * rs.table[d];
    }
}

// The row's part of the OTF at frequency steps 1..n, up to the shear that leaves no overlap.
void add_row_otf(const RowSetting& rs, const std::vector<Run>& runs, int n, std::vector<double>& re,
                 std::vector<double>& im) {
    for (int j = 1; j <= n; ++j) {
        const double h = j * rs.sigma;
        if (!(h < 1.0)) break;
        const double hs = h / (rs.g * rs.u);  // half-shear in grid steps
        double sum_re = 0.0, sum_im = 0.0;
        for (const Run& ra : runs) {
            for (const Run& rb : runs) add_sheared_overlap(rs, ra, rb, hs, sum_re, sum_im);
        }
        re[j] += sum_re;
        im[j] += sum_im;
    }
}

// The slope at frequency 0 of modes 0 and 2: into second[0] (mode 0) or kept for the weighted
// sum of all wavelengths (mode 2).
void zero_frequency_slope(const MtfRequest& q, const RowSetting& rs, std::int32_t first_ray,
                          std::int32_t count, const std::vector<double>& re,
                          const std::vector<double>& im, int n, double* second) {
    double real_slope = 0.0, imaginary_slope = 0.0;
    const double index = spot_image_index(q.wave);
    mtf_zero_slopes(q.direction, q.wave, first_ray, first_ray + count, rs.g, index, q.shift_x,
                    q.shift_y, q.dz, real_slope, imaginary_slope);
    if (real_slope > 0.0) {
        real_slope = mtf_numeric_slope_stencil(re.data(), std::min(n + 1, 4)) * 0.5 / q.S;
    }
    if (q.mode == kMtfModeModulus) {
        const double norm = re[0] * re[0] + im[0] * im[0];
        second[0] =
            norm <= kTiny ? 0.0 : (real_slope * re[0] + imaginary_slope * im[0]) / std::sqrt(norm);
    } else {
        mtf_slopes_at_zero() = {real_slope, imaginary_slope};
    }
}

// The ideal-pupil column of a mode-1 listing.
int ideal_column(const MtfRequest& q, int n, std::vector<double>& ideal) {
    ideal.assign(n + 1, 0.0);
    std::vector<double> scratch(n + 1, 0.0);
    double c = 0.0;
    IdealPupilScope scope;
    return mtf_at_frequency(ideal_column_request(q), ideal.data(), scratch.data(), &c);
}

}  // namespace

int mtf_by_autocorrelation(const MtfRequest& q, double* first, double* second, double* cutoff_out) {
    int n = 0;
    if (const int r = mtf_step_count(q.F, q.S, n); r != 0) return r;
    try {
        std::vector<double> ideal_curve;
        if (q.mode == kMtfModeListing) {
            if (const int r = ideal_column(q, n, ideal_curve); r != 0) return r;
        }
        const ShiftedWavefront wavefront(q.wave, q.shift_x, q.shift_y, q.dz);
        const double C = std::max(mtf_adjusted_cutoff(q.direction, q.wave, wavefront), kTiny);
        if (cutoff_out != nullptr) *cutoff_out = C;
        const RowSetting rs = row_setting(q, C);

        const SpotStore& st = spot_store();
        const std::int32_t first_ray = mtf_first_ray(q.wave);
        const std::int32_t count = st.wave_ray_counts[q.wave];
        const std::vector<std::int32_t> order = rays_by_row(st, q.direction, first_ray, count);
        std::vector<double> re(n + 1, 0.0), im(n + 1, 0.0);
        double normaliser = 0.0;
        RowSamples row;
        for (std::int32_t k = 0; k < count;) {
            std::int32_t end = k;
            const std::int32_t key = row_key(st, q.direction, order[k]);
            while (end < count && row_key(st, q.direction, order[end]) == key) ++end;
            if (!gather_row(rs, wavefront, order, k, end, row)) return -10;
            k = end;
            split_into_runs(rs, row, normaliser);
            add_row_otf(rs, row.runs, n, re, im);
        }
        re[0] = normaliser;
        im[0] = 0.0;
        const double scale = normaliser > 0.0 ? 1.0 / normaliser : 1.0;
        for (int j = 0; j <= n; ++j) {
            re[j] *= scale;
            im[j] *= scale;
        }
        if (q.mode == kMtfModeModulus || q.mode == kMtfModeParts) {
            zero_frequency_slope(q, rs, first_ray, count, re, im, n, second);
        }
        for (int j = 0; j <= n; ++j) {
            const bool beyond = j * q.S > C;
            mtf_curve_point(q.mode, j, q.S, beyond ? 0.0 : re[j], beyond ? 0.0 : im[j],
                            q.mode == kMtfModeListing ? ideal_curve[j] : 0.0, first, second);
        }
        if (q.mode == kMtfModeListing) mtf_print_cutoff(C, q.dz);
        return 0;
    } catch (const std::bad_alloc&) {
        return -10;
    }
}

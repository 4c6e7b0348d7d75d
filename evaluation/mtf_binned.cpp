#include "evaluation/mtf_binned.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/mtf_curves.h"
#include "evaluation/mtf_shared.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "numeric/cubic_spline.h"
#include "numeric/fft.h"

namespace {

constexpr double kTiny = 1e-40;

// What both methods share of a call: the wavelength's rays ordered by row, the wavefront rule
// and the cut-offs.
struct Pupil {
    const SpotStore& st = spot_store();
    int direction = 0, wave = 0;
    double u = kLatticeUnit, D = 1.0, g = 2.0, Zp = 0.0, C = 0.0, P = 0.0;
    bool half_x = false, amplitudes_vary = false;
    std::int32_t first = 0, count = 0;
    std::vector<std::int32_t> order;

    Pupil(int dir, int w) : direction(dir), wave(w) {
        const LensData& lens = lens_data();
        u = st.lattice_unit > 0.0 ? st.lattice_unit : kLatticeUnit;
        D = st.divisions > 0.0 ? st.divisions : 1.0;
        g = std::max(2.0 * std::floor(1.0 / (u * D) + 0.5), 2.0);
        Zp = direction == 0 ? st.x_half_extent[wave] : st.y_half_extent[wave];
        P = mtf_unit_factor() * 360000.0 / lens.wavelengths[wave].wavelength;
        half_x = st.half_pupil != 0 && direction == 0;
        amplitudes_vary = lens.spot_settings->ray_amplitudes_vary != 0 || st.apodisation_on != 0 ||
                          mtf_lens_has_special_data();
        first = mtf_first_ray(wave);
        count = st.wave_ray_counts[wave];
        order.resize(count);
        for (std::int32_t i = 0; i < count; ++i) order[i] = first + i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::int32_t a, std::int32_t b) { return key(a) < key(b); });
    }
    std::int32_t key(std::int32_t i) const {
        return direction == 0 ? st.rays[i].row : st.rays[i].col;
    }
    double coordinate(std::int32_t i) const {
        return direction == 0 ? st.rays[i].col : st.rays[i].row;
    }
};

// The ideal column of a mode-1 listing, computed first under the ideal pupil.
int ideal_curve(const MtfRequest& q, int n, std::vector<double>& ideal) {
    if (q.mode != kMtfModeListing) return 0;
    ideal.assign(n + 1, 0.0);
    std::vector<double> scratch(n + 1, 0.0);
    double c = 0.0;
    IdealPupilScope scope;
    return mtf_at_frequency(ideal_column_request(q), ideal.data(), scratch.data(), &c);
}

// The zero-frequency slopes of modes 0 and 2, the numeric real slope taken when the analytic
// one is positive; scale converts the stencil to a slope per frequency unit.
void zero_slopes(const Pupil& p, const MtfRequest& q, const double* re, int samples, double scale,
                 double& real_slope, double& imaginary_slope) {
    mtf_zero_slopes(p.direction, p.wave, p.first, p.first + p.count, p.g, spot_image_index(p.wave),
                    q.shift_x, q.shift_y, q.dz, real_slope, imaginary_slope);
    if (real_slope > 0.0) real_slope = mtf_numeric_slope_stencil(re, std::min(samples, 4)) * scale;
}

void store_slopes(int mode, double real_slope, double imaginary_slope, double re0, double im0,
                  double* second) {
    if (mode == 0) {
        const double norm = re0 * re0 + im0 * im0;
        second[0] =
            norm <= kTiny ? 0.0 : (real_slope * re0 + imaginary_slope * im0) / std::sqrt(norm);
    } else if (mode == 2) {
        mtf_slopes_at_zero() = {real_slope, imaginary_slope};
    }
}

// A sorted run of samples extended by one point at each end, with its splines.
struct Resampled {
    std::vector<double> x, w, a, w2, a2;
};

void extend_linear(std::vector<double>& v) {
    const std::size_t m = v.size();
    const double f = 2.0 * v[0] - v[1];
    const double l = 2.0 * v[m - 1] - v[m - 2];
    v.insert(v.begin(), f);
    v.push_back(l);
}

int fit_run(Resampled& r, bool ideal, bool vary) {
    const int m = static_cast<int>(r.x.size());
    auto fit = [&](const std::vector<double>& y, std::vector<double>& y2) {
        y2.assign(m, 0.0);
        const double s0 = (y[1] - y[0]) / (r.x[1] - r.x[0]);
        const double sn = (y[m - 1] - y[m - 2]) / (r.x[m - 1] - r.x[m - 2]);
        return spline_coefficients(r.x.data(), y.data(), m, s0, sn, y2.data());
    };
    if (!ideal) {
        if (const int e = fit(r.w, r.w2); e != 0) return e;
    }
    if (vary) {
        if (const int e = fit(r.a, r.a2); e != 0) return e;
    }
    return 0;
}

}  // namespace

int mtf_by_spline(const MtfRequest& request, double* first, double* second, double* cutoff_out) {
    const int mode = request.mode, direction = request.direction, wave = request.wave;
    const double S = request.S;
    int n = 0;
    if (const int r = mtf_step_count(request.F, S, n); r != 0) return r;
    const SpotStore& st = spot_store();
    {
        const double C0 = direction == 0 ? st.x_cutoff[wave] : st.y_cutoff[wave];
        const double D = st.divisions;
        const double Zp = direction == 0 ? st.x_half_extent[wave] : st.y_half_extent[wave];
        const double K = C0 > 0.0 ? std::floor(std::fabs(D * Zp * S / C0)) : 0.0;
        if (!(K >= 1.0)) {
            return mtf_by_resampled_fft(request, first, second, cutoff_out);
        }
    }
    try {
        std::vector<double> ideal;
        if (const int r = ideal_curve(request, n, ideal); r != 0) return r;
        const Pupil p(direction, wave);
        const ShiftedWavefront wavefront(wave, request.shift_x, request.shift_y, request.dz);
        const double C = std::max(mtf_adjusted_cutoff(direction, wave, wavefront), kTiny);
        if (cutoff_out != nullptr) *cutoff_out = C;
        const int size = std::max(130, static_cast<int>(p.D) + 1);
        std::vector<double> re(size, 0.0), im(size, 0.0);
        const double* table = st.sine_table;
        std::vector<double> coord, w, a;
        for (std::int32_t k = 0; k < p.count;) {
            std::int32_t end = k;
            while (end < p.count && p.key(p.order[end]) == p.key(p.order[k])) ++end;
            coord.clear();
            w.clear();
            a.clear();
            for (std::int32_t i = k; i < end; ++i) {
                const std::int32_t ray = p.order[i];
                coord.push_back(p.coordinate(ray));
                w.push_back(wavefront.at(st.rays[ray]));
                a.push_back(st.rays[ray].amplitude);
            }
            k = end;
            const int m = static_cast<int>(coord.size());
            for (int i = 0; i < m; ++i) {
                for (int j = i; j < m; ++j) {
                    const bool i_first = coord[i] <= coord[j];
                    const double dw = i_first ? w[i] - w[j] : w[j] - w[i];
                    const double A = a[i] * a[j];
                    const int d = mtf_whole_degrees(dw, p.P);
                    const double b = std::fabs(std::trunc((coord[j] - coord[i]) / p.g));
                    if (!(b < size)) continue;
                    const int bin = static_cast<int>(b);
                    if (p.half_x) {
                        re[bin] += 2.0 * A * table[d + 90];
                        const double mb = std::fabs(std::trunc((coord[j] + coord[i]) / p.g));
                        if (mb < size) {
                            re[static_cast<int>(mb)] += (i != j ? 2.0 : 1.0) * A * table[d + 90];
                        }
                    } else {
                        re[bin] += A * table[d + 90];
                        im[bin] += dw >= 0.0 ? A * table[d] : -A * table[d];
                    }
                }
            }
        }
        const double D_eff = p.D * p.Zp;
        const int m = std::clamp(static_cast<int>(D_eff), 1, size);
        const double r0 = re[0];
        if (r0 != 0.0) {
            for (int b = 0; b < m; ++b) {
                re[b] /= r0;
                im[b] /= r0;
            }
        }
        double real_slope = 0.0, imaginary_slope = 0.0;
        zero_slopes(p, request, re.data(), m, D_eff * 0.5 / C, real_slope, imaginary_slope);
        store_slopes(mode, real_slope, imaginary_slope, re[0], im[0], second);
        real_slope *= C;
        imaginary_slope *= C;
        std::vector<double> knots(m), re2(m), im2(m);
        for (int b = 0; b < m; ++b) knots[b] = b / D_eff;
        if (const int e = spline_coefficients(knots.data(), re.data(), m, real_slope,
                                              kSplineNoSlope, re2.data());
            e != 0) {
            return e;
        }
        if (const int e = spline_coefficients(knots.data(), im.data(), m, imaginary_slope,
                                              kSplineNoSlope, im2.data());
            e != 0) {
            return e;
        }
        for (int j = 0; j <= n; ++j) {
            const double x = j * S / C;
            int i = 0;
            while ((i + 1) <= x * D_eff) ++i;
            const double t = x - i / D_eff;
            double vr = 0.0, vi = 0.0;
            if (i < m - 1) {
                vr = spline_value(i, t, 1.0 / D_eff, re.data(), re2.data());
                vi = spline_value(i, t, 1.0 / D_eff, im.data(), im2.data());
            }
            mtf_curve_point(mode, j, S, vr, vi, mode == 1 ? ideal[j] : 0.0, first, second);
        }
        if (mode == 1) mtf_print_cutoff(C, request.dz);
        return 0;
    } catch (const std::bad_alloc&) {
        return -10;
    }
}

int mtf_by_resampled_fft(const MtfRequest& request, double* first, double* second,
                         double* cutoff_out) {
    const int mode = request.mode, direction = request.direction, wave = request.wave;
    const double S = request.S;
    int n = 0;
    if (const int r = mtf_step_count(request.F, S, n); r != 0) return r;
    try {
        const SpotStore& st = spot_store();
        std::vector<double> ideal;
        if (const int r = ideal_curve(request, n, ideal); r != 0) return r;
        const Pupil p(direction, wave);
        const ShiftedWavefront wavefront(wave, request.shift_x, request.shift_y, request.dz);
        const double C = std::max(mtf_adjusted_cutoff(direction, wave, wavefront), kTiny);
        if (cutoff_out != nullptr) *cutoff_out = C;
        const bool ideal_pupil = mtf_ideal_pupil();
        const int size = std::max(n + 1, static_cast<int>(p.D) + 10);
        std::vector<double> re(size, 0.0), im(size, 0.0);

        const double q = C / (std::max(p.Zp, kTiny) * S);
        const double r_steps = std::floor(std::fabs(p.D / q)) + 1.0;
        const double t = std::floor(1.0 / (r_steps * q * p.u) + 0.5);
        if (!(t >= 1.0) || !(r_steps <= kMaxMtfSteps)) return kMsgMtfStepTooFine;
        const int r = static_cast<int>(r_steps);
        const double Q = 16200.0 / t + r * (n + 1.0);
        if (!(Q < 130000.0)) return kMsgMtfStepTooFine;
        // 128 for Q below 120, 256 below 250, ... 131072 below 130000.
        const double thresholds[] = {120, 250, 500, 1000, 2000, 4000, 8000, 16000, 32000, 64000};
        int L = 128;
        for (double th : thresholds) {
            if (Q < th) break;
            L *= 2;
        }
        std::vector<double> row(2 * static_cast<std::size_t>(L));
        const double* table = st.sine_table;
        auto put = [&](double pos, double A, double wv) {
            long long index = std::llround((pos - t) / (2.0 * t));
            index %= L;
            if (index < 0) index += L;
            const int d = mtf_whole_degrees(wv, p.P);
            row[2 * index] += A * table[d + 90];
            row[2 * index + 1] += wv >= 0.0 ? -A * table[d] : A * table[d];
        };
        std::vector<Resampled> runs;
        for (std::int32_t k = 0; k < p.count;) {
            std::int32_t end = k;
            while (end < p.count && p.key(p.order[end]) == p.key(p.order[k])) ++end;
            Resampled all;
            for (std::int32_t i = k; i < end; ++i) {
                const std::int32_t ray = p.order[i];
                all.x.push_back(p.coordinate(ray));
                all.w.push_back(wavefront.at(st.rays[ray]));
                all.a.push_back(p.amplitudes_vary ? st.rays[ray].amplitude : 1.0);
            }
            k = end;
            const int m = static_cast<int>(all.x.size());
            if (sort_three_by_key(all.x.data(), all.w.data(), all.a.data(), m) != 0) return -10;
            runs.clear();
            int from = 0;
            for (int i = 1; i <= m; ++i) {
                const bool split =
                    i == m || (st.pupil_gap != 0 && std::fabs(all.x[i] - all.x[i - 1] - p.g) > 0.5);
                if (!split) continue;
                Resampled run;
                run.x.assign(all.x.begin() + from, all.x.begin() + i);
                run.w.assign(all.w.begin() + from, all.w.begin() + i);
                run.a.assign(all.a.begin() + from, all.a.begin() + i);
                if (run.x.size() == 1) {
                    const double x1 = run.x[0];
                    run.x = {x1 - p.g, x1, x1 + p.g};
                    run.w.assign(3, run.w[0]);
                    run.a.assign(3, run.a[0]);
                } else {
                    extend_linear(run.x);
                    extend_linear(run.w);
                    extend_linear(run.a);
                }
                if (const int e = fit_run(run, ideal_pupil, p.amplitudes_vary); e != 0) return e;
                runs.push_back(std::move(run));
                from = i;
            }
            std::fill(row.begin(), row.end(), 0.0);
            for (const Resampled& run : runs) {
                const int rm = static_cast<int>(run.x.size());
                // Odd multiples of t within the run's extended range.
                const double lo = std::ceil((run.x.front() / t - 1.0) / 2.0);
                const double hi = std::floor((run.x.back() / t - 1.0) / 2.0);
                for (double s = lo; s <= hi; s += 1.0) {
                    const double pos = (2.0 * s + 1.0) * t;
                    if (!(std::fabs(pos) < 16201.0)) continue;
                    double wv = 0.0, A = 1.0;
                    if (!ideal_pupil) {
                        spline_eval(run.x.data(), run.w.data(), run.w2.data(), rm, pos, &wv);
                    }
                    if (p.amplitudes_vary) {
                        spline_eval(run.x.data(), run.a.data(), run.a2.data(), rm, pos, &A);
                    }
                    put(pos, A, wv);
                    if (p.half_x) put(-pos, A, wv);
                }
            }
            if (fft_2d(row.data(), row.data(), 1, L, 0) != 0) return -10;
            for (int i = 0; i < L; ++i) {
                const double v = (row[2 * i] * row[2 * i] + row[2 * i + 1] * row[2 * i + 1]) / L;
                row[2 * i] = v;
                row[2 * i + 1] = 0.0;
            }
            if (fft_2d(row.data(), row.data(), 1, L, 1) != 0) return -10;
            for (int j = 0; j <= n && j < size; ++j) {
                const long long lag = static_cast<long long>(j) * r;
                if (lag >= L) break;
                re[j] += row[2 * lag];
                im[j] += row[2 * lag + 1];
            }
        }
        const double r0 = re[0];
        if (r0 != 0.0) {
            for (int j = 0; j < size; ++j) {
                re[j] /= r0;
                im[j] /= r0;
            }
        }
        double real_slope = 0.0, imaginary_slope = 0.0;
        zero_slopes(p, request, re.data(), std::min(n + 1, size), 0.5 / S, real_slope,
                    imaginary_slope);
        store_slopes(mode, real_slope, imaginary_slope, re[0], im[0], second);
        for (int j = 0; j <= n; ++j) {
            const bool beyond = j >= size || j * S > C;
            mtf_curve_point(mode, j, S, beyond ? 0.0 : re[j], beyond ? 0.0 : im[j],
                            mode == 1 ? ideal[j] : 0.0, first, second);
        }
        if (mode == 1) mtf_print_cutoff(C, request.dz);
        return 0;
    } catch (const std::bad_alloc&) {
        return -10;
    }
}

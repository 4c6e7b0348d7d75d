#include "evaluation/mtf_curves.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "evaluation/mtf_autocorrelation.h"
#include "evaluation/mtf_binned.h"
#include "evaluation/mtf_shared.h"
#include "evaluation/spot_ray_listing.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/text_output.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kTwoPi = 6.283185307179586;

// The wavelengths the store and the lens both know.
int stored_wavelengths() {
    return std::min(lens_data().wavelength_count, spot_store().wavelength_capacity);
}

}  // namespace

int mtf_at_frequency(const MtfRequest& request, double* first, double* second, double* cutoff_out) {
    const int wave = request.wave;
    if (wave < 0 || wave >= stored_wavelengths() || spot_store().wave_ray_counts[wave] <= 0) {
        return set_error_msg(-2042, wave + 1);
    }
    if (get_setting_flag(kSetQrMtf) != 0) return mtf_by_spline(request, first, second, cutoff_out);
    return mtf_by_autocorrelation(request, first, second, cutoff_out);
}

int mtf_frequency_scan(const MtfRequest& request, double* first, double* second) {
    const int mode = request.mode, direction = request.direction, wave = request.wave;
    const double S = request.S, dz = request.dz;
    int n = 0;
    if (const int r = mtf_step_count(request.F, S, n); r != 0) return r;
    const SpotStore& st = spot_store();
    std::int32_t from = 0, to = st.ray_count;
    if (wave >= 0) {
        if (wave >= stored_wavelengths()) return set_error_msg(-2042, wave + 1);
        from = mtf_first_ray(wave);
        to = from + st.wave_ray_counts[wave];
    }
    try {
        std::vector<double> ideal;
        double cutoff = 0.0;
        if (mode == 1) {
            ideal.assign(n + 1, 0.0);
            std::vector<double> scratch(n + 1, 0.0);
            IdealPupilScope scope;
            const MtfRequest ideal_request = ideal_column_request(request);
            const int r =
                wave >= 0 ? mtf_at_frequency(ideal_request, ideal.data(), scratch.data(), &cutoff)
                          : mtf_polychromatic(ideal_request, ideal.data(), scratch.data(), &cutoff);
            if (r != 0) return r;
        }
        std::vector<double> position(std::max(to - from, 0));
        std::vector<double> weight(position.size());
        double W = 0.0;
        for (std::int32_t i = from; i < to; ++i) {
            double x = 0.0, y = 0.0;
            ray_offset_from_reference(0, i, x, y, dz);
            position[i - from] = direction == 0 ? x : y;
            const double a = st.rays[i].amplitude;
            weight[i - from] = a * a;
            W += a * a;
        }
        if (!(W > 0.0)) return kMsgMtfNoLight;
        const bool cosine_only = st.half_pupil != 0 && direction == 0;
        const double k = mtf_unit_factor() * kTwoPi;
        if (mode == 1) {
            mtf_print_row(0, 0.0, 1.0, 0.0, 1.0);
        } else {
            first[0] = 1.0;
            if (mode == 3) second[0] = 0.0;
        }
        for (int j = 1; j <= n; ++j) {
            const double f = j * S;
            double c = 0.0, s = 0.0;
            for (std::size_t i = 0; i < position.size(); ++i) {
                const double arg = k * f * position[i];
                c += weight[i] * std::cos(arg);
                if (!cosine_only) s += weight[i] * std::sin(arg);
            }
            const double modulus = std::sqrt(c * c + s * s) / W;
            const double phase = mtf_phase_degrees(s, c);
            if (mode == 1) {
                mtf_print_row(j, f, modulus, phase, ideal[j]);
            } else {
                first[j] = modulus;
                if (mode == 3) second[j] = phase;
            }
        }
        if (mode == 1) mtf_print_cutoff(cutoff, 0.0);
        return 0;
    } catch (const std::bad_alloc&) {
        return -10;
    }
}

int mtf_polychromatic(const MtfRequest& request, double* first, double* second,
                      double* cutoff_out) {
    const int mode = request.mode;
    const double S = request.S;
    int n = 0;
    if (const int r = mtf_step_count(request.F, S, n); r != 0) {
        return r == kErrorTextReady ? r : set_error_msg(r);
    }
    try {
        std::vector<double> sum_re(n + 1, 0.0), sum_im(n + 1, 0.0);
        std::vector<double> re(n + 1, 0.0), im(n + 1, 0.0);
        std::vector<double> ideal;
        if (mode == 1) {
            ideal.assign(n + 1, 0.0);
            std::vector<double> scratch(n + 1, 0.0);
            double c = 0.0;
            IdealPupilScope scope;
            const int r =
                mtf_polychromatic(ideal_column_request(request), ideal.data(), scratch.data(), &c);
            if (r != 0) return r;
        }
        const LensData& lens = lens_data();
        const SpotStore& st = spot_store();
        double g_re0 = 0.0, g_slope_re = 0.0, g_im0 = 0.0, g_slope_im = 0.0, g_sum = 0.0;
        double cutoff = 0.0;
        int taking_part = 0;
        for (int w = 0; w < stored_wavelengths(); ++w) {
            const double g = lens.wavelengths[w].weight;
            if (st.wave_ray_counts[w] == 0 || g == 0.0) continue;
            double c = 0.0;
            MtfRequest one = request;
            one.mode = 2;
            one.wave = w;
            const int r = mtf_at_frequency(one, re.data(), im.data(), &c);
            if (r != 0) return r == kErrorTextReady ? r : set_error_msg(r);
            const double otf0 = std::hypot(re[0], im[0]);
            if (!(otf0 > 0.0)) return set_error_msg(kMsgMtfNoLight);
            const MtfSlopesAtZero slopes = mtf_slopes_at_zero();
            g_re0 += g * re[0];
            g_slope_re += g * slopes.real;
            g_im0 += g * im[0];
            g_slope_im += g * slopes.imaginary;
            g_sum += g;
            for (int j = 0; j <= n; ++j) {
                sum_re[j] += re[j] * g / otf0;
                sum_im[j] += im[j] * g / otf0;
            }
            cutoff = std::max(cutoff, c);
            ++taking_part;
        }
        const double norm = std::hypot(sum_re[0], sum_im[0]);
        if (taking_part == 0 || !(norm > 0.0)) return set_error_msg(kMsgMtfNoLight);
        if (cutoff_out != nullptr) *cutoff_out = cutoff;
        if (mode == 0) {
            const double root = std::hypot(g_re0, g_im0);
            const double inv = std::fabs(g_sum) <= kTiny ? 0.0 : 1.0 / g_sum;
            second[0] = root > 0.0 ? (g_slope_re * g_re0 + g_slope_im * g_im0) * inv / root : 0.0;
        }
        for (int j = 0; j <= n; ++j) {
            const double modulus = std::hypot(sum_re[j], sum_im[j]) / norm;
            const double phase = mtf_phase_degrees(sum_im[j], sum_re[j]);
            switch (mode) {
                case 0:
                    first[j] = modulus;
                    break;
                case 2:
                    first[j] = sum_re[j] / norm;
                    second[j] = sum_im[j] / norm;
                    break;
                case 3:
                    first[j] = modulus;
                    second[j] = phase;
                    break;
                case 1:
                    mtf_print_row(j, j * S, modulus, phase, ideal[j]);
                    break;
                default:
                    break;
            }
        }
        if (mode == 1) mtf_print_cutoff(cutoff, request.dz);
        return 0;
    } catch (const std::bad_alloc&) {
        return set_error_msg(-10);
    }
}

int through_focus_step_count(double d, double s, int& m) {
    m = 0;
    if (!std::isfinite(d) || !std::isfinite(s) || d < 0.0 || !(s > 0.0)) {
        return kMsgMtfBadFrequencies;
    }
    const double steps = std::floor(2.0 * d / s + 0.5);
    if (!(steps <= kMaxMtfSteps)) return kMsgMtfTooManySteps;
    m = static_cast<int>(steps);
    return 0;
}

int through_focus_mtf(bool print, bool polychromatic, bool diffraction, int direction, int wave,
                      double f, double d, double s, double* out) {
    int m = 0;
    if (const int r = through_focus_step_count(d, s, m); r != 0) return r;
    double z = -d;
    int status = 0;
    for (int i = 0; i <= m; ++i, z += s) {
        double first[2] = {0.0, 0.0};
        double second[2] = {0.0, 0.0};
        if (!diffraction) {
            status = mtf_frequency_scan({.mode = 3,
                                         .direction = direction,
                                         .wave = polychromatic ? -1 : wave,
                                         .F = f,
                                         .S = f,
                                         .dz = z},
                                        first, second);
        } else {
            double y = 0.0, x = 0.0, c = 0.0;
            if (polychromatic) {
                spot_reference_offset(spot_store().wavelength_capacity, y, x, z);
                status = mtf_polychromatic({.mode = 3,
                                            .direction = direction,
                                            .F = f,
                                            .S = f,
                                            .shift_y = y,
                                            .shift_x = x,
                                            .dz = z},
                                           first, second, &c);
            } else {
                spot_reference_offset(wave, y, x, z);
                status = mtf_at_frequency({.mode = 3,
                                           .direction = direction,
                                           .wave = wave,
                                           .F = f,
                                           .S = f,
                                           .shift_y = y,
                                           .shift_x = x,
                                           .dz = z},
                                          first, second, &c);
            }
        }
        if (status != 0) return status;
        if (print) {
            text_printf("%3d ", i + 1);
            // The sums of the steps leave a rounding residue where the focus itself is meant.
            print_number_cell(std::fabs(z) < 1e-12 * s ? 0.0 : z);
            print_number_cell(first[1]);
            print_number_cell_eol(second[1]);
        } else {
            out[i] = first[1];
        }
    }
    return status;
}

#include "evaluation/point_intensity.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "evaluation/spot_commands.h"
#include "evaluation/spot_rays.h"
#include "evaluation/spot_statistics.h"
#include "evaluation/spot_store.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/ray_trace.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr double kPi = std::numbers::pi;
constexpr double kDegreesPerRadian = 57.29577951308232;

double unit_factor() {
    const double u = lens_data().units;
    return u > 0.0 ? u : 1.0;
}

// Adds amplitude a at phase theta (degrees) through the whole-degree sine table.
// Whole degrees by integer remainder where the phase fits an integer (fmod costs more than the
// rest of the sum); the two differ only in taking 360 or 0 for the last half degree.
inline void add_phasor(const double* table, double a, double theta, double& s, double& c) {
    const double m = std::fabs(theta);
    const int d = m < 1e15 ? static_cast<int>(static_cast<std::int64_t>(m + 0.5) % 360)
                           : static_cast<int>(std::fmod(m, 360.0) + 0.5);
    const double sine = table[d];
    s += theta < 0.0 ? -a * sine : a * sine;
    c += a * table[d + 90];
}

}  // namespace

std::int32_t spot_first_ray(int w) {
    const SpotStore& st = spot_store();
    std::int32_t first = 0;
    for (int i = 0; i < w && i < st.wavelength_capacity; ++i) first += st.wave_ray_counts[i];
    return first;
}

double ray_phasor_sum(int wave, bool want_phase, double x, double y, double z, double& norm,
                      double& phase) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    norm = 0.0;
    phase = 0.0;
    if (wave < 0 || wave >= st.wavelength_capacity || st.wave_ray_counts[wave] <= 0) return 0.0;
    const double n = spot_image_index(wave);
    const double lambda = lens.wavelengths[wave].wavelength;
    const double U = unit_factor();
    const double R = reference_ray().sphere_radius;
    const RayRecord& ref = reference_ray().ray;
    const double L = ref.k, M = ref.l, N = ref.m;
    const double k = U * 360000.0 / lambda;
    const bool afocal = lens.afocal != 0;
    const bool sphere = !afocal && lens.wrsp != 0 && std::fabs(N) > kTiny;
    double g = 0.0, q = 0.0;
    bool curvature = false;
    if (sphere) {
        x -= L / N * z;
        y -= M / N * z;
        const double r1 = z / N + R;
        g = std::fabs(r1) <= kTiny ? r1 : 1.0 / r1;
        q = (1.0 / R - g) * n * 0.5;
        curvature = std::fabs(q) > kTiny;
    }
    const double inv_r = std::fabs(R) > kTiny ? 1.0 / R : 0.0;
    const double* table = st.sine_table;
    double ss = 0.0, sc = 0.0, A = 0.0;
    const std::int32_t first = spot_first_ray(wave);
    const std::int32_t end = first + st.wave_ray_counts[wave];
    for (std::int32_t i = first; i < end; ++i) {
        const SpotRay& r = st.rays[i];
        double w1, w2;
        if (afocal) {
            w1 = n * r.py * y + r.opd;
            w2 = n * r.px * x;
        } else if (sphere) {
            w1 = g * r.py * n * y + r.opd;
            if (curvature) w1 += (r.px * r.px + r.py * r.py + r.pz * r.pz) * q;
            w2 = g * r.px * n * x;
        } else {
            w1 = (z * r.pz + y * r.py) * n * inv_r + r.opd;
            w2 = n * r.px * x * inv_r;
        }
        A += r.amplitude;
        add_phasor(table, r.amplitude, (w1 + w2) * k, ss, sc);
        if (st.half_pupil) {
            A += r.amplitude;
            add_phasor(table, r.amplitude, (w1 - w2) * k, ss, sc);
        }
    }
    norm = A * A;
    double intensity = norm > 0.0 ? (ss * ss + sc * sc) / norm : 0.0;
    if (want_phase) {
        double p = 0.0;
        if (std::fabs(ss) >= kTiny || std::fabs(sc) >= kTiny) p = std::atan2(ss, sc);
        double P = 0.0;
        if (!afocal) {
            if (sphere) {
                const double t = std::fabs(g) < kTiny ? 0.0 : 2.0 * (L * x + M * y) / g;
                P = (t + x * x + y * y) * U * g * n * kPi * 1000.0 / lambda - kPi / 2.0 - p;
            } else {
                P = U * n * 2.0 * kPi * 1000.0 / lambda * (L * x + M * y) - kPi / 2.0 - p;
            }
        }
        P = std::fmod(P, 2.0 * kPi);
        if (P < -kPi) P += 2.0 * kPi;
        if (P > kPi) P -= 2.0 * kPi;
        phase = P;
    }
    if (sphere && std::fabs(z) > kTiny) {
        const double f = ((z / N + R) / R) * ((z / N + R) / R);
        if (f > kTiny) {
            intensity /= f;
            norm *= f;
        }
    }
    return intensity;
}

double intensity_at_point(int wave, bool want_phase, double x, double y, double z, double& phase) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    phase = 0.0;
    double norm = 0.0;
    if (wave >= st.wavelength_capacity) {
        double sum = 0.0, weights = 0.0;
        for (int w = 0; w < lens.wavelength_count && w < st.wavelength_capacity; ++w) {
            if (lens.wavelengths[w].weight <= 0.0) continue;
            double p = 0.0;
            const double i = ray_phasor_sum(w, false, x, y, z, norm, p);
            const double lambda = lens.wavelengths[w].wavelength;
            const double c = norm / (lambda * lambda);
            sum += c * i;
            weights += c;
        }
        return weights <= kTiny ? 0.0 : sum / weights;
    }
    if (wave < 0 || wave >= lens.wavelength_count || lens.wavelengths[wave].weight <= 0.0) {
        return 0.0;
    }
    return ray_phasor_sum(wave, want_phase, x, y, z, norm, phase);
}

int diffraction_encircled_energy(bool print, const DiffractionSampling& sampling, double* out) {
    const int centre_mode = sampling.centre_mode, n = sampling.n, wave = sampling.wave;
    const double width = sampling.width, z = sampling.z;
    const double x0 = sampling.x0, y0 = sampling.y0;
    const SpotStore& st = spot_store();
    const double d = width / n;
    const int h = n / 2;
    const double half = width / 2.0;
    double* r2 = alloc_array_of<double>(static_cast<std::size_t>(h) + 1);
    double* E = alloc_array_of<double>(static_cast<std::size_t>(h) + 1);
    if (r2 == nullptr || E == nullptr) {
        mem_free(r2);
        mem_free(E);
        return -10;
    }
    for (int i = 0; i <= h; ++i) {
        r2[i] = static_cast<double>(i) * i * width * width / (static_cast<double>(n) * n);
        E[i] = 0.0;
    }
    // With the half pupil the image is symmetric in x: the half x < 0 stands for both.
    const double x_end = st.half_pupil ? 0.0 : half;
    double phase = 0.0;
    double xc = x0, yc = y0;
    if (centre_mode == 2) {
        double s = 0.0, sx = 0.0, sy = 0.0;
        for (int iy = 0;; ++iy) {
            const double y = d / 2.0 - half + iy * d;
            if (y >= half) break;
            for (int ix = 0;; ++ix) {
                const double x = d / 2.0 - half + ix * d;
                if (x >= x_end) break;
                const double I = intensity_at_point(wave, false, x + x0, y + y0, z, phase);
                s += I;
                if (!st.half_pupil) sx += (x + x0) * I;
                sy += (y + y0) * I;
            }
        }
        if (s > 0.0) {
            xc = st.half_pupil ? x0 : sx / s;
            yc = sy / s;
        }
    }
    double total = 0.0;
    for (int iy = 0;; ++iy) {
        const double y = d / 2.0 - half + iy * d;
        if (y >= half) break;
        for (int ix = 0;; ++ix) {
            const double x = d / 2.0 - half + ix * d;
            if (x >= x_end) break;
            const double I = intensity_at_point(wave, false, x + xc, y + yc, z, phase);
            total += I;
            const double rr = x * x + y * y;
            if (rr < half * half) {
                for (int i = h - 1; i >= 0; --i) {
                    if (r2[i] < rr) {
                        E[i + 1] += I;
                        break;
                    }
                }
            }
        }
    }
    for (int k = 2; k <= h; ++k) E[k] += E[k - 1];
    for (int k = 1; k <= h; ++k) E[k] = total > 0.0 ? E[k] / total : 0.0;
    if (print) {
        for (int k = 0; k <= h; ++k) {
            print_number_cell(std::sqrt(r2[k]));
            text_spaces(2);
            print_number_cell_eol(E[k]);
        }
        if (centre_mode == 2) {
            print_msg(kMsgCentroidAt);
            print_number_cell(yc);
            print_number_cell_eol(xc);
        }
    } else {
        for (int k = 0; k <= h; ++k) out[k] = E[k];
    }
    mem_free(r2);
    mem_free(E);
    return 0;
}

int spot_command_wavelength(int all, int number, int& wave) {
    const SpotStore& st = spot_store();
    const LensData& lens = lens_data();
    if (all != 0) {
        wave = st.wavelength_capacity;
        return 0;
    }
    wave = number == 0 ? st.reference_wavelength : number - 1;
    if (number < 0 || number > lens.wavelength_count || wave >= st.wavelength_capacity) {
        return set_error_msg(kMsgSpotWavelengthNumber, lens.wavelength_count);
    }
    if (st.wave_ray_counts[wave] <= 0) {
        return set_error_msg(kMsgNoRays, wave + 1);
    }
    return 0;
}

namespace {

void print_wavelength_line(int wave) {
    if (wave >= spot_store().wavelength_capacity) {
        print_msg(kMsgAllWavelengths);
    } else {
        print_msg(kMsgWavelength, wave + 1);
    }
    text_newline();
    warn_multiple_configurations();
}

}  // namespace

int cmd_point_intensity() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const LensData& lens = lens_data();
    const int reference = arg_int(0);
    int all = arg_int(1);
    int number = arg_int(2);
    const double y = arg_double(3), x = arg_double(4), focus = arg_double(5);
    if (all != 0 && lens.wavelength_count < 2) {
        all = 0;
        number = 0;
    }
    int wave = 0;
    if (const int r = spot_command_wavelength(all, number, wave); r != 0) return r;
    const bool want_phase = all == 0 && !lens.afocal;
    print_msg(kMsgPointIntensity);
    double py = y, px = x;
    if (reference == 0) {
        double y0 = 0.0, x0 = 0.0;
        spot_reference_offset(wave, y0, x0, focus);
        py = y0 + y;
        px = x0 + x;
    } else {
        text_printf("%s", "REF");
    }
    text_newline();
    print_wavelength_line(wave);
    print_msg(lens.afocal  ? kMsgIntensityHeadingAfocal
              : want_phase ? kMsgIntensityHeadingPhase
                           : kMsgIntensityHeading);
    text_newline();
    double phase = 0.0;
    const double I = intensity_at_point(wave, want_phase, px, py, focus, phase);
    print_number_cell(y);
    print_number_cell(x);
    if (!lens.afocal) print_number_cell(focus);
    if (want_phase) {
        print_number_cell(I);
        print_number_cell(I > 0.0 ? std::sqrt(I) : 0.0);
        print_number_cell_eol(phase * kDegreesPerRadian);
    } else {
        print_number_cell_eol(I);
    }
    return 0;
}

int cmd_diffraction_encircled_energy() {
    if (test_state_flag(kFlagSpotDiagramCurrent) == 0) {
        const int r = ensure_spot_diagram();
        if (r != 0) return r;
    }
    const LensData& lens = lens_data();
    const SpotStore& st = spot_store();
    const int centre = arg_int(0);
    int all = arg_int(1);
    int number = arg_int(2);
    double width = arg_double(3);
    int n = arg_int(4);
    const double focus = arg_double(5);
    if (all != 0 && lens.wavelength_count < 2) {
        all = 0;
        number = 0;
    }
    int wave = 0;
    if (const int r = spot_command_wavelength(all, number, wave); r != 0) return r;
    double x0 = 0.0, y0 = 0.0;
    if (centre == 0) spot_reference_offset(wave, y0, x0, focus);
    if (width <= 0.0) {
        const int w = wave >= st.wavelength_capacity ? st.reference_wavelength : wave;
        width = 5.0 * st.airy_radius[w];
    }
    // Five Airy radii of a diagram whose pupil has no extent are still nothing to sample.
    if (!(width > 0.0)) return set_error_msg(kMsgDiffractionWidthZero);
    if (n < 4) n = 24;
    if (n % 2 != 0) ++n;
    text_newline();
    print_msg(kMsgDiffractionEnergy);
    text_newline();
    print_wavelength_line(wave);
    print_msg(kMsgDiffractionHeading);
    text_newline();
    if (diffraction_encircled_energy(true,
                                     {.centre_mode = centre,
                                      .width = width,
                                      .n = n,
                                      .wave = wave,
                                      .x0 = x0,
                                      .y0 = y0,
                                      .z = focus},
                                     nullptr) != 0) {
        return set_error_msg(-10);
    }
    print_focus_shift(focus);
    print_msg(kMsgDiffractionCentre);
    print_msg(centre == 0   ? kMsgCentreBestFit
              : centre == 1 ? kMsgCentreReference
                            : kMsgCentreCentroid);
    text_newline();
    return 0;
}
